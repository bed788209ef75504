#include "platform/code_page.h"
#include "receive/render_batch.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QBuffer>
#include <QFile>
#include <QPushButton>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace {

// The file is decoded for the log this much at a time.
constexpr qint64 ReadPiece = 1 << 20;
// It goes to the line this much at a time, with at most QueueLimit bytes
// waiting in the program for the driver to take them.
constexpr qint64 SendPiece = 16 << 10;
constexpr qint64 QueueLimit = 64 << 10;

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// Opens a regular file for reading. Anything else (a FIFO, a device, a
// folder, a socket) may block or never end, and is refused unread.
std::unique_ptr<QFile> openRegularFile(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        *why = QStringLiteral("This is %1, not a regular file.").arg(kindOf(status.st_mode));
        return {};
    }
    // Checked again on what was opened, in case the name changed hands.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *why = fd < 0
                   ? QString::fromLocal8Bit(std::strerror(errno))
                   : QStringLiteral("This is %1, not a regular file.").arg(kindOf(status.st_mode));
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    auto file = std::make_unique<QFile>();
    file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return file;
}

// Everything the file holds now, whatever size it reports. Throws
// std::bad_alloc when it cannot be held.
QByteArray readToEnd(QIODevice& file) {
    QByteArray whole;
    for (QByteArray piece; !(piece = file.read(ReadPiece)).isEmpty();)
        whole += piece;
    return whole;
}

// The file's content as the log shows it, followed by `after`: decoded a
// piece at a time, a lead byte carried to the next piece. Throws
// std::bad_alloc when it cannot be held.
QString logText(QIODevice& file, qint64 size, QStringView after, TextEncoding encoding) {
    QString text;
    // One character per byte at most.
    text.reserve(size + after.size());
    PendingLead lead;
    for (QByteArray piece; !(piece = file.read(ReadPiece)).isEmpty();)
        text += renderBatch(piece, true, lead, encoding);
    if (lead.held)
        text += decodeText(lead.waiting(), encoding);
    text += after;
    return text;
}

} // namespace

// Send File: the file shown in the receive area with its size, then streamed
// through the line; the log says it was sent only once the driver took every
// byte.
void frmmain::Command3_Click() {
    if (!MSComm1.portOpen()) {
        MsgBox(QStringLiteral("Please open the serial device"));
        return;
    }
    if (!CommonDialog1.showOpen()) {
        CommonDialog1.FileName.clear();
        return;
    }
    const QString path = CommonDialog1.FileName;
    QString why;
    const std::unique_ptr<QFile> file = openRegularFile(path, &why);
    if (!file) {
        MsgBox(QStringLiteral("Cannot open file"), MessageBoxes::Icon::Exclamation,
               path + QStringLiteral(": ") + why);
        return;
    }
    qint64 size = file->size();
    // A pseudo-file (under /proc or /sys) reports 0 or 4096 bytes whatever it
    // holds, and may hold something else when read again: one that reports
    // little is read once, to its end, and sent from memory as it was shown.
    QByteArray whole;
    QBuffer held(&whole);
    QIODevice* source = file.get();
    try {
        if (size < ReadPiece) {
            whole = readToEnd(*file);
            held.open(QIODevice::ReadOnly);
            source = &held;
            size = whole.size();
        }
        Text1->setText(logText(*source, size,
                               QStringLiteral("\r\n %1 bytes\r\n\r\n\r\nSending......").arg(size),
                               encoding()));
    } catch (const std::bad_alloc&) {
        MsgBox(
            QStringLiteral("Cannot open file"), MessageBoxes::Icon::Exclamation,
            path +
                QStringLiteral(": The file is too large to hold in memory (%1 bytes).").arg(size));
        return;
    }

    // One file at a time: two sends would interleave their bytes on the line.
    Command3->setEnabled(false);
    const qint64 sent = source->seek(0) ? streamFile(*source, size) : 0;
    Command3->setEnabled(true);
    if (sent == size)
        Text1->append(u"\r\nSend successfully");
    else
        Text1->append(QStringLiteral("\r\nSend failed\r\n%1 of %2 bytes sent").arg(sent).arg(size));
}

// Hands the file to the line a piece at a time while the window goes on,
// until the driver has taken all of it, or the port is closed or lost, the
// window closes, or the file cannot be read. Returns how many of the file's
// bytes the driver took.
qint64 frmmain::streamFile(QIODevice& file, qint64 size) {
    // Where each piece stands among all bytes queued for the line: bytes that
    // other sends queue in between are not the file's.
    struct Piece {
        qint64 start, end;
    };
    std::deque<Piece> waiting;
    qint64 taken = 0, handed = 0;
    // Shrinks to what was read when the file ends early.
    qint64 end = size;
    const int closings = m_portClosings;
    for (;;) {
        // The window is going away: what the driver has not taken stays unsent.
        if (m_closing && MSComm1.portOpen()) {
            try {
                MSComm1.setPortOpen(false);
            } catch (const CommError&) {
            }
        }
        const qint64 accepted = MSComm1.bytesAccepted();
        while (!waiting.empty() && waiting.front().end <= accepted) {
            taken += waiting.front().end - waiting.front().start;
            waiting.pop_front();
        }
        const qint64 done =
            taken + (waiting.empty() ? 0 : std::max<qint64>(0, accepted - waiting.front().start));
        if (done == end || m_closing || m_portClosings != closings || !MSComm1.portOpen())
            return done;
        const qint64 room = QueueLimit - MSComm1.bytesToWrite();
        if (handed == end || room <= 0) {
            m_events.wait();
            continue;
        }
        const QByteArray piece = file.read(std::min({SendPiece, end - handed, room}));
        if (piece.isEmpty()) {
            end = handed;
            continue;
        }
        const qint64 start = accepted + MSComm1.bytesToWrite();
        try {
            MSComm1.output(piece);
        } catch (const CommError&) {
            return done;
        }
        waiting.push_back({start, start + piece.size()});
        handed += piece.size();
        m_events.yield();
    }
}
