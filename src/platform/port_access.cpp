#include "platform/port_access.h"

#include "platform/serial_device.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

// The folders where serial libraries leave their LCK.. files.
const char* const lockFolders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                   "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                   "/var/lock/lockdev", "/run/lock"};

bool processAlive(long long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

OpenRefusal explainPermissionError(const QString& device, long long lockHolder, int openErrno) {
    if (lockHolder > 0)
        return {comm::PortAlreadyOpen,
                QStringLiteral("%1 is in use by another program (process %2).")
                    .arg(device)
                    .arg(lockHolder)};
    if (openErrno == EBUSY)
        return {comm::PortAlreadyOpen,
                QStringLiteral("%1 is in use by another program.").arg(device)};
    if (openErrno == EACCES || openErrno == EPERM) {
        const QString group = QFileInfo(device).group();
        return {comm::PermissionDenied,
                QStringLiteral(
                    "%1: Permission denied.\nYour user must be in the group that owns the device "
                    "(%2), for example: sudo adduser $USER %2, then log in again.")
                    .arg(device, group.isEmpty() ? QStringLiteral("dialout") : group)};
    }
    return {comm::PermissionDenied,
            QStringLiteral("%1: %2").arg(
                device, openErrno ? QString::fromLocal8Bit(std::strerror(openErrno))
                                  : QStringLiteral("The device could not be locked."))};
}

long long lockHolderOf(const QString& device) {
    QString name = device;
    if (name.startsWith(u"/dev/"))
        name.remove(0, 5);
    name.replace(u'/', u'_');
    for (const char* folder : lockFolders) {
        QLockFile lock(QDir(QString::fromLatin1(folder)).filePath(QStringLiteral("LCK..") + name));
        qint64 pid = 0;
        QString host, application;
        if (lock.getLockInfo(&pid, &host, &application) && processAlive(pid))
            return pid;
    }
    return 0;
}

int plainOpenErrno(const QString& device) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}
