#include "window/frmmain.h"

#include "support/fakes.h"
#include "window/counter.h"
#include "window/log_view.h"
#include "window/quick_send_editor.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct QuickSendTest : ::testing::Test {
    QTemporaryDir folder;
    SettingsFile settings{folder.filePath("varnolix.conf")};
    Fakes fakes;
    std::unique_ptr<frmmain> form;

    void SetUp() override {
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        start({.settings = &settings});
    }
    void start(RunOptions options) {
        if (form)
            form->close();
        form = std::make_unique<frmmain>(fakes.platform(), options);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
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
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(Qt::Key_0 + n), Qt::ControlModifier);
        return fakes.serial.sent;
    }
    void edit(int row, const QString& name, const QString& mode, const QString& data) {
        QTableWidget* table = form->quickSendEditor->table();
        for (int column = 0; column < 3; ++column)
            table->setItem(row, column,
                           new QTableWidgetItem(QStringList{name, mode, data}[column]));
    }
};

TEST_F(QuickSendTest, LoadedEditedAndSentWithCtrlNumberAndKeptBetweenRuns) {
    const QString good = file("modem.txt", "# modem\nReset\ttext\tATZ\\r\nPing\thex\t01 02 FF\n");
    const QString bad = file("bad.txt", "Reset\ttext\tATZ\nPing\thex\t01 02 FF\nOops\ttext\n");
    const struct Step {
        const char* what;
        std::function<void(QuickSendTest&)> act;
        QByteArray ctrl1, ctrl2, ctrl3;
        QStringList messages;
    } steps[] = {
        {"none yet", [](QuickSendTest&) {}, "", "", "", {}},
        {"a file loaded",
         [&](QuickSendTest& t) {
             t.fakes.dialog.answers.push_back(good);
             t.form->loadQuickSendsAction->trigger();
         },
         "ATZ\r",
         "\x01\x02\xFF",
         "",
         {}},
        {"a file with a malformed line loads nothing",
         [&](QuickSendTest& t) {
             t.fakes.dialog.answers.push_back(bad);
             t.form->loadQuickSendsAction->trigger();
         },
         "ATZ\r",
         "\x01\x02\xFF",
         "",
         {"No quick sends were loaded"}},
        {"a third added in the editor, after a row it cannot take",
         [](QuickSendTest& t) {
             t.form->editQuickSendsAction->trigger();
             t.edit(2, "Info", "text", "ATI\\q");
             t.form->quickSendEditor->buttons()->button(QDialogButtonBox::Ok)->click();
             ASSERT_TRUE(t.form->quickSendEditor->isVisible());
             t.edit(2, "Info", "", "ATI");
             t.form->quickSendEditor->buttons()->button(QDialogButtonBox::Ok)->click();
             EXPECT_FALSE(t.form->quickSendEditor->isVisible());
         },
         "ATZ\r",
         "\x01\x02\xFF",
         "ATI",
         {"Row 3 is no quick send"}},
        {"a restart",
         [](QuickSendTest& t) { t.start({.settings = &t.settings}); },
         "ATZ\r",
         "\x01\x02\xFF",
         "ATI",
         {}},
        {"a file on the command line wins for its run",
         [&](QuickSendTest& t) {
             t.start({.settings = &t.settings, .quickSends = {{{"Hi", false, "hi"}}}});
         },
         "hi",
         "",
         "",
         {}},
        {"and is not kept",
         [](QuickSendTest& t) { t.start({.settings = &t.settings}); },
         "ATZ\r",
         "\x01\x02\xFF",
         "ATI",
         {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        fakes.messages.shown.clear();
        step.act(*this);
        EXPECT_EQ(fakes.messages.texts(), step.messages);
        form->Text4->clear();
        form->Label11->setText("0");
        EXPECT_EQ(ctrl(1), step.ctrl1);
        EXPECT_EQ(ctrl(2), step.ctrl2);
        EXPECT_EQ(ctrl(3), step.ctrl3);
        // Sent as the Send button sends, without touching the send box.
        const QByteArray all = step.ctrl1 + step.ctrl2 + step.ctrl3;
        EXPECT_EQ(form->Label11->text().toInt(), all.size());
        EXPECT_EQ(form->Text4->text().size(), all.size() + (step.ctrl2.isEmpty() ? 0 : 6));
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
