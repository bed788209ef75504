#pragma once

#include "platform/capture_file.h"
#include "platform/qt_serial_device.h"
#include "support/fakes.h"
#include "support/pty_pair.h"
#include "window/frmmain.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

// The window with the real serial component on COM1 over a pseudo-terminal,
// doubles for the rest of the platform, and a capture of what it receives.
struct WindowOnPty {
    PtyPair device;
    QtSerialDevice serial{PortMap({{1, device.portPath()}})};
    QTemporaryDir dir;
    const std::unique_ptr<CaptureFile> capture = openCapture(dir);
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events},
                 {capture.get()}};

    QByteArray captured() const {
        QFile file(capture->path());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private:
    static std::unique_ptr<CaptureFile> openCapture(const QTemporaryDir& dir) {
        QString why;
        return CaptureFile::open(dir.filePath("capture.bin"), &why);
    }
};
