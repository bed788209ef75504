#pragma once

#include "platform/arrival.h"
#include "receive/date_stamp.h"
#include "receive/render_batch.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// What each batch of received bytes adds to the receive area. Each read of
// the driver in it is shown in turn: rendered, and when its text ends a line,
// with CR LF in front of it and the time of that read after it. With frames
// cut at silences, a frame shows instead on a line of its own, and the time
// of its first byte after it once the silence came.
class ReceivedText {
public:
    // The text to append for a batch, in hex or as text (in `encoding`);
    // `arrivals` says when its bytes came (none: now). *wholeLineAt is where
    // in the text a whole line of what is received starts, or -1.
    QString append(QByteArrayView batch, QList<Arrival> arrivals, bool asText,
                   qsizetype* wholeLineAt = nullptr);

    // Frames by silence, or lines by their line ends (the default).
    void setFrames(bool on);
    bool frames() const { return m_frames; }

    // The start of a character waiting for the rest of it in the next read
    // shown as text.
    PendingLead pendingLead;
    // How finely the stamp after a line gives the time.
    StampPrecision precision = StampPrecision::Seconds;
    // What received bytes shown as text are read as.
    TextEncoding encoding = TextEncoding::Gbk;

private:
    void addRead(QString& text, QByteArrayView bytes, qint64 at, bool asText,
                 qsizetype* wholeLineAt);
    void endFrame(QString& text);
    QString stamp(qint64 msecsSinceEpoch) const;

    bool m_frames = false;
    // The frame shown last is still open: no silence came after it yet.
    bool m_frameOpen = false;
    qint64 m_frameStart = 0;
    // The last two characters the open frame showed.
    QString m_frameTail;
};
