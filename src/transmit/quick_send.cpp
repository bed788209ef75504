#include "transmit/quick_sends.h"
#include "window/frmmain.h"
#include "window/quick_send_editor.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>

namespace {

// Larger than any list of commands: the rest of such a file is not read.
constexpr qint64 LargestFile = 1 << 20;

} // namespace

// A quick send goes out as the Send button sends the send box, which it
// leaves as it is.
void frmmain::quickSend_Click(int index) {
    if (index < 0 || index >= int(m_quickSends.size()))
        return;
    if (shared.portState != 1) {
        MsgBox(QStringLiteral("Please open the serial device"));
        return;
    }
    const QuickSend send = m_quickSends[index];
    transmit(send.data, send.hex);
}

// The menu's entries follow the quick sends.
void frmmain::showQuickSends() {
    noQuickSends->setVisible(m_quickSends.empty());
    for (int i = 0; i < MaxQuickSends; ++i) {
        QAction* action = quickSendActions[i];
        const bool used = i < int(m_quickSends.size());
        action->setVisible(used);
        action->setEnabled(used);
        if (!used)
            continue;
        const QuickSend& send = m_quickSends[i];
        action->setText(QString(send.name).replace(u'&', QLatin1String("&&")));
        const QString data = send.hex ? send.data : escapeQuickSendText(send.data);
        action->setToolTip(send.name + QStringLiteral(": ") + data +
                           (send.hex ? QStringLiteral(" (hex)") : QString()));
    }
    quickSend->setToolTip(m_quickSends.empty()
                              ? QStringLiteral("No quick sends yet: edit them, or load a file")
                              : QStringLiteral("%1 quick sends; Ctrl+1 to Ctrl+9 send the first "
                                               "nine")
                                    .arg(m_quickSends.size()));
}

void frmmain::takeQuickSends(std::vector<QuickSend> sends) {
    m_quickSends = std::move(sends);
    m_remembered.quickSends = m_quickSends;
    remember();
    showQuickSends();
}

void frmmain::editQuickSends_Click() {
    quickSendEditor->edit(m_quickSends);
}

// The rows are taken only when every one is a quick send.
void frmmain::quickSendEditor_OK() {
    std::vector<QuickSend> sends;
    for (const auto& [row, line] : quickSendEditor->lines()) {
        QString fault;
        std::optional<QuickSend> send = readQuickSendLine(line, &fault);
        if (!send) {
            MsgBox(QStringLiteral("Row %1 is no quick send").arg(row),
                   MessageBoxes::Icon::Exclamation, fault + u'.');
            return;
        }
        sends.push_back(std::move(*send));
    }
    takeQuickSends(std::move(sends));
    quickSendEditor->accept();
}

// The file dialog asks for a quick-send file; what Send File and Save log
// find in it stays as they left it.
QString frmmain::askForQuickSendsFile(bool save) {
    const QString fileName = CommonDialog1.FileName, initDir = CommonDialog1.InitDir,
                  filter = CommonDialog1.Filter;
    CommonDialog1.FileName = save ? QStringLiteral("quick-sends.txt") : QString();
    CommonDialog1.Filter = QStringLiteral("quick sends(*.txt)");
    const bool chosen = save ? CommonDialog1.showSave() : CommonDialog1.showOpen();
    QString path = chosen ? CommonDialog1.FileName : QString();
    CommonDialog1.FileName = fileName;
    CommonDialog1.InitDir = initDir;
    CommonDialog1.Filter = filter;
    return path;
}

// A file with a line that is no quick send is refused whole, with that line's
// number.
void frmmain::loadQuickSends_Click() {
    const QString path = askForQuickSendsFile(false);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MsgBox(QStringLiteral("Cannot open file"), MessageBoxes::Icon::Exclamation,
               path + QStringLiteral(": ") + file.errorString());
        return;
    }
    const QByteArray bytes = file.read(LargestFile + 1);
    const QuickSendFile read = readQuickSends(bytes);
    if (bytes.size() > LargestFile || !read.ok()) {
        MsgBox(
            QStringLiteral("No quick sends were loaded"), MessageBoxes::Icon::Exclamation,
            bytes.size() > LargestFile
                ? path + QStringLiteral(": larger than 1 MB, which no list of quick sends is.")
                : QStringLiteral("%1: line %2: %3.").arg(path).arg(read.faultLine).arg(read.fault));
        return;
    }
    takeQuickSends(read.sends);
}

void frmmain::saveQuickSends_Click() {
    const QString path = askForQuickSendsFile(true);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = writeQuickSends(m_quickSends);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        MsgBox(QStringLiteral("Save failed"), MessageBoxes::Icon::Exclamation,
               path + QStringLiteral(": ") + file.errorString());
}
