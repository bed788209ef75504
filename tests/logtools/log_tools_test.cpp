#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/window_on_fakes.h"
#include "window/counter.h"
#include "window/log_view.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// A folder in which no file can be created or replaced, also for root
// (immutable where the file system allows it).
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path)
        : m_path(path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~ReadOnlyFolder() {
        if (m_immutable) {
            int flags = 0;
            ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags);
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        if (m_fd >= 0)
            ::close(m_fd);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool works() const {
        QFile probe(m_path + "/probe");
        return !probe.open(QIODevice::WriteOnly);
    }

private:
    QString m_path;
    int m_fd = -1;
    bool m_immutable = false;
};

struct LogToolsTest : WindowOnFakes {
    QTemporaryDir dir;

    QString saveAs(const QString& name) {
        QString path = dir.filePath(name);
        fakes.dialog.answers.push_back(path);
        form->Command5->click();
        return path;
    }
};

TEST_F(LogToolsTest, SavingNeedsAnOpenPort) {
    form->Text1->setText("something");
    fakes.serial.setPortOpen(false);
    form->Command5->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Please open the serial device"});
    EXPECT_TRUE(fakes.dialog.shown.empty());
}

TEST_F(LogToolsTest, SavesExactlyTheReceiveAreaInCodePage936) {
    const std::pair<std::u16string, QByteArray> logs[] = {
        {u"", "\r\n"},
        {u"OK\r\n07/12/2026 04:05:09", "OK\r\n07/12/2026 04:05:09\r\n"},
        {u"48 \r69 \r", "48 \r69 \r\r\n"},
        {u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4\r\n"},
        {std::u16string(u"a\0b", 3), QByteArray("a\0b\r\n", 5)},
    };
    for (const auto& [shown, saved] : logs) {
        form->Text1->setText(QString::fromStdU16String(shown));
        const QString path = saveAs("log.txt");
        EXPECT_EQ(contentOf(path), saved);
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
    // The dialog proposed "text" in the desktop folder every time.
    for (const auto& shown : fakes.dialog.shown) {
        EXPECT_TRUE(shown.save);
        EXPECT_EQ(shown.fileName, "text");
        EXPECT_EQ(shown.initDir, "c:\\windows\\desktop\\");
    }
    EXPECT_EQ(fakes.dialog.FileName, dir.filePath("log.txt"));
}

TEST_F(LogToolsTest, ALargeAreaIsSavedWhole) {
    const QString line = QString::fromUtf16(u"\u4E2D\u6587 line\r\n");
    const QString text = line.repeated(300000);
    form->Text1->setText(text + QString::fromUtf16(u"\U0001F600"));
    const QByteArray saved = contentOf(saveAs("big.txt"));
    EXPECT_EQ(saved.size(), 300000 * 11 + 1 + 2);
    EXPECT_TRUE(saved.endsWith("line\r\n?\r\n"));
}

// The cap reaches both areas, and saving keeps what the receive area holds, notice and all.
TEST_F(LogToolsTest, PastTheScrollbackSavingKeepsWhatTheAreaHolds) {
    form.reset();
    form = std::make_unique<frmmain>(fakes.platform(), RunOptions{nullptr, false, 1 << 16});
    form->Text1->append(QString("line\r\n").repeated(20000));
    form->Text4->append(QString("echo\r\n").repeated(20000));
    EXPECT_TRUE(form->Text1->text().startsWith("[") && form->Text1->text().contains("--capture"));
    EXPECT_TRUE(form->Text4->text().startsWith("[") && !form->Text4->text().contains("capture"));
    EXPECT_EQ(contentOf(saveAs("log.txt")), form->Text1->text().toLatin1() + "\r\n");
}

TEST_F(LogToolsTest, CancelWritesNothingAndLeavesNoName) {
    fakes.dialog.answers.push_back(std::nullopt);
    form->Command5->click();
    EXPECT_TRUE(fakes.dialog.FileName.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    // Send File then opens with no proposed name, in the same folder.
    fakes.dialog.answers.push_back(std::nullopt);
    form->Command3->click();
    EXPECT_EQ(fakes.dialog.shown.back().fileName, "");
    EXPECT_EQ(fakes.dialog.shown.back().initDir, "c:\\windows\\desktop\\");
}

TEST_F(LogToolsTest, SavingAgainReplacesTheFile) {
    form->Text1->setText("first and longer");
    saveAs("log.txt");
    form->Text1->setText("second");
    EXPECT_EQ(contentOf(saveAs("log.txt")), "second\r\n");
}

TEST_F(LogToolsTest, AFailedSaveSaysSoAndLeavesTheOldFile) {
    form->Text1->setText("old");
    const QString path = saveAs("log.txt");
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.works())
        GTEST_SKIP() << "this file system lets the folder be written";
    form->Text1->setText("new");
    saveAs("log.txt");
    ASSERT_EQ(fakes.messages.texts(), QStringList{"Save failed"});
    EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_TRUE(fakes.messages.shown[0].detail.startsWith(path));
    EXPECT_EQ(contentOf(path), "old\r\n");
}

TEST_F(LogToolsTest, ASaveIntoAMissingFolderSaysSo) {
    fakes.dialog.answers.push_back(dir.filePath("no/such/folder/log.txt"));
    form->Command5->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Save failed"});
}

TEST_F(LogToolsTest, ClearingTouchesOnlyWhatItSays) {
    form->Text1->setText("received");
    form->Label10->setText("12");
    form->Label11->setText("34");
    form->Command4->click();
    EXPECT_EQ(form->Text1->text(), "");
    EXPECT_EQ(form->Label10->text(), "12");
    EXPECT_EQ(form->Label11->text(), "34");

    form->Text1->setText("received");
    form->Command8->click();
    EXPECT_EQ(form->Text1->text(), "received");
    EXPECT_EQ(form->Label10->text(), "0");
    EXPECT_EQ(form->Label11->text(), "0");
}

TEST_F(LogToolsTest, TheLinkOpensTheWebAddressOncePerClick) {
    EXPECT_EQ(form->Label6->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(form->Label6, Qt::LeftButton);
    QTest::mouseClick(form->Label6, Qt::LeftButton);
    EXPECT_EQ(fakes.shell.opened,
              QStringList({"https://www.varnolix.example/", "https://www.varnolix.example/"}));
}

} // namespace
