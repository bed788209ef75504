#include "platform/code_page.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QFile>
#include <QPushButton>

// Send File: the file shown in the receive area with its size, then sent byte
// by byte, the window kept responsive between bytes.
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
    QFile file(path);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly))
        content = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        MsgBox(QStringLiteral("Cannot open file"), MessageBoxes::Icon::Exclamation,
               path + QStringLiteral(": ") + file.errorString());
        return;
    }
    file.close();

    Text1->setText(decodeAnsi(content) +
                   QStringLiteral("\r\n %1 bytes\r\n\r\n").arg(content.size()));
    Text1->append(u"\r\nSending......");
    // One file at a time: two sends would interleave their bytes on the line.
    Command3->setEnabled(false);
    qsizetype sent = 0;
    bool refused = false;
    while (sent < content.size()) {
        m_events.yield();
        if (m_closing)
            return;
        try {
            MSComm1.output(QByteArrayView(content).sliced(sent, 1));
        } catch (const CommError&) {
            refused = true;
            break;
        }
        ++sent;
    }
    Command3->setEnabled(true);
    if (refused)
        Text1->append(
            QStringLiteral("\r\nSend failed\r\n%1 of %2 bytes sent").arg(sent).arg(content.size()));
    else
        Text1->append(u"\r\nSend successfully");
}
