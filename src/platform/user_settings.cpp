#include "platform/user_settings.h"

#include "platform/report.h"
#include "platform/serial_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <optional>
#include <utility>

namespace {

// A value the file gives, checked: nothing when the key is missing, and
// `ok` false when the value is none the setting can take.
template <typename T> std::optional<T> read(const QSettings& file, const char* key, bool* ok) {
    const QVariant value = file.value(QLatin1String(key));
    if (!value.isValid())
        return std::nullopt;
    if constexpr (std::is_same_v<T, bool>) {
        const QString text = value.toString();
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return text == QLatin1String("true");
    } else {
        bool number = false;
        const T parsed = value.toInt(&number);
        if (number)
            return parsed;
    }
    *ok = false;
    return std::nullopt;
}

template <typename T> void take(const QSettings& file, const char* key, T* into, bool* ok) {
    if (const auto value = read<T>(file, key, ok))
        *into = *value;
}

// A text the file gives: a list, or no value, is none any setting takes.
QString text(const QSettings& file, const char* key, bool* ok) {
    const QVariant value = file.value(QLatin1String(key));
    if (value.typeId() != QMetaType::QString)
        *ok = false;
    return value.toString();
}

// A choice kept by its name ("crlf", "utf-8").
template <typename T>
void takeNamed(const QSettings& file, const char* key, std::optional<T> (*named)(QStringView),
               T* into, bool* ok) {
    if (!file.contains(QLatin1String(key)))
        return;
    if (const std::optional<T> value = named(text(file, key, ok)))
        *into = *value;
    else
        *ok = false;
}

bool isHex(const QString& mode, bool* ok) {
    if (mode != QLatin1String("text") && mode != QLatin1String("hex"))
        *ok = false;
    return mode == QLatin1String("hex");
}

const char* modeName(bool hex) {
    return hex ? "hex" : "text";
}

std::vector<SentText> readHistory(QSettings& file, bool* ok) {
    std::vector<SentText> history;
    const int size = file.beginReadArray(QStringLiteral("history"));
    for (int i = 0; i < size && *ok; ++i) {
        file.setArrayIndex(i);
        const bool hex = isHex(text(file, "mode", ok), ok);
        history.push_back({text(file, "text", ok), hex});
    }
    file.endArray();
    return SendHistory(std::move(history)).entries();
}

std::vector<QuickSend> readQuickSends(QSettings& file, bool* ok) {
    std::vector<QuickSend> sends;
    const int size = file.beginReadArray(QStringLiteral("quickSends"));
    if (size > MaxQuickSends)
        *ok = false;
    for (int i = 0; i < size && *ok; ++i) {
        file.setArrayIndex(i);
        QuickSend send{text(file, "name", ok), isHex(text(file, "mode", ok), ok),
                       text(file, "data", ok)};
        if (!quickSendFault(send).isEmpty())
            *ok = false;
        sends.push_back(std::move(send));
    }
    file.endArray();
    return sends;
}

} // namespace

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path)) {}

QString SettingsFile::userPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/varnolix/varnolix.conf");
}

UserSettings SettingsFile::load() {
    UserSettings settings;
    if (!QFile::exists(m_path))
        return settings;
    QSettings file(m_path, QSettings::IniFormat);
    bool ok = file.status() == QSettings::NoError;
    take(file, "line/flowControl", &settings.flowControl, &ok);
    take(file, "line/dtr", &settings.dtr, &ok);
    take(file, "line/rts", &settings.rts, &ok);
    take(file, "receive/stampMilliseconds", &settings.stampMilliseconds, &ok);
    take(file, "receive/framesBySilence", &settings.framesBySilence, &ok);
    take(file, "receive/frameGapMs", &settings.frameGapMs, &ok);
    if (settings.frameGapMs < MinFrameGapMs || settings.frameGapMs > MaxFrameGapMs)
        ok = false;
    takeNamed(file, "send/lineEnd", &lineEndNamed, &settings.lineEnd, &ok);
    takeNamed(file, "text/encoding", &textEncodingNamed, &settings.encoding, &ok);
    take(file, "find/matchCase", &settings.matchCase, &ok);
    settings.history = readHistory(file, &ok);
    settings.quickSends = readQuickSends(file, &ok);
    take(file, "window/width", &settings.windowWidth, &ok);
    take(file, "window/height", &settings.windowHeight, &ok);
    take(file, "window/maximized", &settings.maximized, &ok);
    take(file, "window/textSize", &settings.textSize, &ok);
    const auto within = [](int value, int least, int most) {
        return value >= least && value <= most;
    };
    if (!within(settings.windowWidth, 0, UserSettings::LargestWindow) ||
        !within(settings.windowHeight, 0, UserSettings::LargestWindow) ||
        (settings.textSize != 0 &&
         !within(settings.textSize, UserSettings::SmallestText, UserSettings::LargestText)))
        ok = false;
    if (settings.flowControl != comm::HandshakeNone &&
        settings.flowControl != comm::HandshakeXonXoff &&
        settings.flowControl != comm::HandshakeRtsCts)
        ok = false;
    if (ok)
        return settings;

    const QString aside = m_path + QStringLiteral(".bad");
    QFile::remove(aside);
    const bool moved = QFile::rename(m_path, aside);
    reportLine(
        moved ? QStringLiteral("the settings in %1 cannot be read; they were set aside as %2 and "
                               "the defaults are used")
                    .arg(m_path, aside)
              : QStringLiteral("the settings in %1 cannot be read; the defaults are used")
                    .arg(m_path));
    return {};
}

void SettingsFile::save(const UserSettings& settings) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(QStringLiteral("line/flowControl"), settings.flowControl);
    file.setValue(QStringLiteral("line/dtr"), settings.dtr);
    file.setValue(QStringLiteral("line/rts"), settings.rts);
    file.setValue(QStringLiteral("receive/stampMilliseconds"), settings.stampMilliseconds);
    file.setValue(QStringLiteral("receive/framesBySilence"), settings.framesBySilence);
    file.setValue(QStringLiteral("receive/frameGapMs"), settings.frameGapMs);
    file.setValue(QStringLiteral("send/lineEnd"), lineEndName(settings.lineEnd));
    file.setValue(QStringLiteral("text/encoding"), textEncodingName(settings.encoding));
    file.setValue(QStringLiteral("find/matchCase"), settings.matchCase);
    file.remove(QStringLiteral("history"));
    file.beginWriteArray(QStringLiteral("history"), int(settings.history.size()));
    for (int i = 0; i < int(settings.history.size()); ++i) {
        file.setArrayIndex(i);
        file.setValue(QStringLiteral("mode"), QLatin1String(modeName(settings.history[i].hex)));
        file.setValue(QStringLiteral("text"), settings.history[i].text);
    }
    file.endArray();
    file.remove(QStringLiteral("quickSends"));
    file.beginWriteArray(QStringLiteral("quickSends"), int(settings.quickSends.size()));
    for (int i = 0; i < int(settings.quickSends.size()); ++i) {
        const QuickSend& send = settings.quickSends[i];
        file.setArrayIndex(i);
        file.setValue(QStringLiteral("name"), send.name);
        file.setValue(QStringLiteral("mode"), QLatin1String(modeName(send.hex)));
        file.setValue(QStringLiteral("data"), send.data);
    }
    file.endArray();
    file.setValue(QStringLiteral("window/width"), settings.windowWidth);
    file.setValue(QStringLiteral("window/height"), settings.windowHeight);
    file.setValue(QStringLiteral("window/maximized"), settings.maximized);
    file.setValue(QStringLiteral("window/textSize"), settings.textSize);
    file.sync();
    if (file.status() == QSettings::NoError || std::exchange(m_saveFailed, true))
        return;
    reportLine(QStringLiteral("cannot keep the settings in %1").arg(m_path));
}
