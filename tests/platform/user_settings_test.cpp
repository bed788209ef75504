#include "platform/serial_device.h"
#include "platform/user_settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Kept {
    const char* name;
    QByteArray file;
    UserSettings expected;
    bool setAside;
};

UserSettings with(void (*change)(UserSettings&)) {
    UserSettings settings;
    change(settings);
    return settings;
}

TEST(SettingsFile, ReadsWhatItCanAndSetsAsideWhatItCannot) {
    const Kept cases[] = {
        {"no file", {}, {}, false},
        {"empty", "", {}, false},
        {"some keys", "[line]\nflowControl=2\ndtr=false\n", with([](UserSettings& s) {
             s.flowControl = comm::HandshakeRtsCts;
             s.dtr = false;
         }),
         false},
        {"a key it does not know", "[later]\nthing=1\n", {}, false},
        {"not a setting's value", "[line]\ndtr=maybe\n", {}, true},
        {"a flow control there is not", "[line]\nflowControl=7\n", {}, true},
        {"a frame gap too long", "[receive]\nframeGapMs=10001\n", {}, true},
        {"a window kept maximised",
         "[window]\nwidth=900\nheight=700\nmaximized=true\ntextSize=14\n",
         with([](UserSettings& s) {
             s.windowWidth = 900;
             s.windowHeight = 700;
             s.maximized = true;
             s.textSize = 14;
         }),
         false},
        {"a text size too small", "[window]\ntextSize=2\n", {}, true},
        {"not an INI file", "[line\nflowControl=1\n", {}, true},
        {"a line end there is not", "[send]\nlineEnd=crcr\n", {}, true},
        {"an encoding there is not", "[text]\nencoding=big5\n", {}, true},
        {"a send of no mode", "[history]\n1\\text=AT\nsize=1\n", {}, true},
        {"a quick send that is none",
         "[quickSends]\n1\\name=A\n1\\mode=hex\n1\\data=100\nsize=1\n",
         {},
         true},
    };
    for (const Kept& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("varnolix.conf"));
        if (!c.file.isNull()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.file);
        }
        EXPECT_EQ(SettingsFile(path).load(), c.expected);
        EXPECT_EQ(QFile::exists(path + QStringLiteral(".bad")), c.setAside);
        EXPECT_EQ(QFile::exists(path), !c.file.isNull() && !c.setAside);
    }
}

TEST(SettingsFile, KeepsEverySettingItSaves) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("new/varnolix.conf"));
    const UserSettings chosen = with([](UserSettings& s) {
        s.flowControl = comm::HandshakeXonXoff;
        s.rts = false;
        s.stampMilliseconds = true;
        s.framesBySilence = true;
        s.frameGapMs = 35;
        s.lineEnd = LineEnd::None;
        s.encoding = TextEncoding::Latin1;
        s.matchCase = true;
        s.history = {{"AT+CMGF=1,\"x\"\r\n\t\\ \u4E2D", false}, {"", false}, {"01 FF", true}};
        s.quickSends = {{"Reset, now", false, "ATZ\r"}, {"\u4E2D", true, "01 02"}};
        s.windowWidth = 1024;
        s.windowHeight = 740;
        s.maximized = true;
        s.textSize = 20;
    });
    SettingsFile(path).save(chosen);
    EXPECT_EQ(SettingsFile(path).load(), chosen);
    // Fewer than before leaves none of the old ones behind.
    const UserSettings fewer = with([](UserSettings& s) { s.history = {{"ATI", false}}; });
    SettingsFile(path).save(fewer);
    EXPECT_EQ(SettingsFile(path).load(), fewer);
}

} // namespace
