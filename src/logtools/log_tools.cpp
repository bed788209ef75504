#include "platform/code_page.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QSaveFile>

#include <algorithm>

namespace {

// Writes text in the encoding a piece at a time, so that a large receive
// area is never held twice over as bytes.
bool writeText(QSaveFile& file, QStringView text, TextEncoding encoding) {
    constexpr qsizetype piece = 1 << 20;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype length = std::min(piece, text.size() - at);
        // A surrogate pair stays whole.
        if (at + length < text.size() && text[at + length - 1].isHighSurrogate())
            --length;
        const QByteArray bytes = encodeText(text.sliced(at, length), encoding);
        if (file.write(bytes) != bytes.size())
            return false;
        at += length;
    }
    return true;
}

} // namespace

// "Seva log": the receive area saved whole, followed by CR LF. The file is
// replaced only once it is completely written.
void frmmain::Command5_Click() {
    if (!MSComm1.portOpen()) {
        MsgBox(QStringLiteral("Please open the serial device"));
        return;
    }
    CommonDialog1.FileName = QStringLiteral("text");
    CommonDialog1.InitDir = QStringLiteral("c:\\windows\\desktop\\");
    if (!CommonDialog1.showSave()) {
        CommonDialog1.FileName.clear();
        return;
    }
    const QString path = CommonDialog1.FileName;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !writeText(file, Text1->text(), encoding()) ||
        file.write("\r\n", 2) != 2 || !file.commit())
        MsgBox(QStringLiteral("Save failed"), MessageBoxes::Icon::Exclamation,
               path + QStringLiteral(": ") + file.errorString());
}

// "Clcar buffer": the receive area only.
void frmmain::Command4_Click() {
    Text1->clear();
}

// "Clear": both counters, and the line's error counts in the status bar.
void frmmain::Command8_Click() {
    Label10->setText(QStringLiteral("0"));
    Label11->setText(QStringLiteral("0"));
    MSComm1.resetLineErrors();
    showLineErrors({}, !MSComm1.portOpen() || MSComm1.lineOffer().errorCounts);
}

void frmmain::Label6_Click() {
    m_shell.open(QString::fromLatin1(WebAddress));
}
