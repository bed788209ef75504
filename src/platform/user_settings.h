#pragma once

#include "platform/code_page.h"
#include "transmit/line_end.h"
#include "transmit/quick_sends.h"
#include "transmit/send_history.h"

#include <QString>

// The gaps of silence that may end a frame, in milliseconds.
inline constexpr int MinFrameGapMs = 1;
inline constexpr int MaxFrameGapMs = 10000;
#include <vector>

// What the user chose outside the window's own controls, kept between runs.
// The window's own controls always start as they did.
struct UserSettings {
    // Text sizes the receive area and the echo may take, in points.
    static constexpr int SmallestText = 6, LargestText = 72;
    // The largest window size kept, in pixels.
    static constexpr int LargestWindow = 16384;

    // The flow selector: comm::HandshakeNone, ...XonXoff or ...RtsCts.
    int flowControl = 0;
    // The state the DTR and RTS toggles put on the line at every open.
    bool dtr = true, rts = true;
    bool stampMilliseconds = false;
    // Frames cut at silences of frameGapMs in the receive area.
    bool framesBySilence = false;
    int frameGapMs = 20;
    // The "Line end" selector.
    LineEnd lineEnd = LineEnd::CrLf;
    // How received text is shown, text sends go out and Save log writes.
    TextEncoding encoding = TextEncoding::Gbk;
    // "Match case" in the find bars.
    bool matchCase = false;
    // The newest sends from the send box, oldest first, at most
    // SendHistory::Capacity.
    std::vector<SentText> history;
    // At most MaxQuickSends.
    std::vector<QuickSend> quickSends;
    // The window's size, status bar included, when it was last closed; 0 x 0
    // until then (it opens at its design size), and whether it was maximised.
    int windowWidth = 0, windowHeight = 0;
    bool maximized = false;
    // The receive area's and the echo's text size in points; 0 for the
    // window's own.
    int textSize = 0;

    bool operator==(const UserSettings&) const = default;
};

// The file the settings are kept in, an INI file read and written through
// QSettings: $XDG_CONFIG_HOME/varnolix/varnolix.conf for the user.
class SettingsFile {
public:
    explicit SettingsFile(QString path);
    static QString userPath();
    QString path() const { return m_path; }

    // What the file holds, the defaults where it holds nothing. A file that
    // cannot be read, or holds what no setting can be, is set aside as
    // PATH.bad with a line on stderr, and the defaults are returned.
    UserSettings load();
    // Writes every setting; a file that cannot be written says so once on
    // stderr.
    void save(const UserSettings& settings);

private:
    QString m_path;
    bool m_saveFailed = false;
};
