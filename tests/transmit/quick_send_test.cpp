#include "window/frmmain.h"

#include "support/window_with_settings.h"
#include "window/counter.h"
#include "window/log_view.h"
#include "window/quick_send_editor.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

namespace {

struct QuickSendTest : WindowWithSettings {
    QString file(const char* name, const QByteArray& content) {
        QFile written(folder.filePath(name));
        written.open(QIODevice::WriteOnly);
        written.write(content);
        return written.fileName();
    }
    // The bytes Ctrl+N sends from the receive area.
    QByteArray ctrl(int n) {
        form->Text1->setFocus();
        fakes.serial.sent.clear();
        press(Qt::Key(Qt::Key_0 + n));
        return fakes.serial.sent;
    }
    void edit(int row, const QString& name, const QString& mode, const QString& data) {
        QTableWidget* table = form->quickSendEditor->table();
        for (int column = 0; column < 3; ++column)
            table->setItem(row, column,
                           new QTableWidgetItem(QStringList{name, mode, data}[column]));
        form->quickSendEditor->buttons()->button(QDialogButtonBox::Ok)->click();
    }
    void load(const QString& path) {
        fakes.dialog.answers.push_back(path);
        form->loadQuickSendsAction->trigger();
    }
};

TEST_F(QuickSendTest, LoadedEditedAndSentWithCtrlNumberAndKeptBetweenRuns) {
    const QString good = file("modem.txt", "# modem\nReset\ttext\tATZ\\r\nPing\thex\t01 02 FF\n");
    const QString bad = file("bad.txt", "Reset\ttext\tATZ\nPing\thex\t01 02 FF\nOops\ttext\n");
    const QByteArray all = "ATZ\r|\x01\x02\xFF|ATI";
    const struct Step {
        const char* what;
        std::function<void(QuickSendTest&)> act;
        // What Ctrl+1, Ctrl+2 and Ctrl+3 send, apart by '|'.
        QByteArray sent;
        QStringList messages;
    } steps[] = {
        {"none yet", [](QuickSendTest&) {}, "||", {}},
        {"a file loaded", [&](QuickSendTest& t) { t.load(good); }, "ATZ\r|\x01\x02\xFF|", {}},
        {"a file with a malformed line loads nothing",
         [&](QuickSendTest& t) { t.load(bad); },
         "ATZ\r|\x01\x02\xFF|",
         {"No quick sends were loaded"}},
        {"a third added in the editor, after a row it cannot take",
         [](QuickSendTest& t) {
             t.form->editQuickSendsAction->trigger();
             t.edit(2, "Info", "text", "ATI\\q");
             ASSERT_TRUE(t.form->quickSendEditor->isVisible());
             t.edit(2, "Info", "", "ATI");
             EXPECT_FALSE(t.form->quickSendEditor->isVisible());
         },
         all,
         {"Row 3 is no quick send"}},
        {"a restart", [](QuickSendTest& t) { t.start(); }, all, {}},
        {"a file on the command line wins for its run",
         [](QuickSendTest& t) {
             t.start({.quickSends = {{{"Hi", false, "hi"}}}});
         },
         "hi||",
         {}},
        {"and is not kept", [](QuickSendTest& t) { t.start(); }, all, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        fakes.messages.shown.clear();
        step.act(*this);
        EXPECT_EQ(fakes.messages.texts(), step.messages);
        form->Text4->clear();
        form->Label11->setText("0");
        const QList<QByteArray> sent = step.sent.split('|');
        for (int n = 1; n <= 3; ++n)
            EXPECT_EQ(ctrl(n), sent[n - 1]) << "Ctrl+" << n;
        // Sent as the Send button sends, hex echoed as typed, without touching the send box.
        const qsizetype bytes = step.sent.size() - 2;
        EXPECT_EQ(form->Label11->text().toInt(), bytes);
        EXPECT_EQ(form->Text4->text().size(), bytes + (sent[1].isEmpty() ? 0 : 6));
        EXPECT_EQ(form->Text2->toPlainText(), "ATI\n");
    }
    // Saved, the file reads back as it was loaded and edited.
    const QString saved = folder.filePath("saved.txt");
    fakes.dialog.FileName = "text";
    fakes.dialog.answers.push_back(saved);
    form->saveQuickSendsAction->trigger();
    QFile written(saved);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        written.readAll().endsWith("Reset\ttext\tATZ\\r\nPing\thex\t01 02 FF\nInfo\ttext\tATI\n"));
    // The file dialog leaves Send File's and Save log's name and folder alone.
    EXPECT_EQ(fakes.dialog.FileName, "text");
}

} // namespace
