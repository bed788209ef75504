#include "platform/qt_desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

void QtShell::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

void QtEventLoop::yield() {
    QCoreApplication::processEvents();
}

void QtEventLoop::wait() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
