#include "receive/received_text.h"

#include "platform/code_page.h"

#include <QDateTime>
#include <QLocale>

namespace {

const QLatin1String LineEnd("\r\n");

void markWholeLine(qsizetype at, qsizetype* wholeLineAt) {
    if (wholeLineAt && *wholeLineAt < 0)
        *wholeLineAt = at;
}

} // namespace

QString ReceivedText::append(QByteArrayView batch, QList<Arrival> arrivals, bool asText,
                             qsizetype* wholeLineAt) {
    if (wholeLineAt)
        *wholeLineAt = -1;
    if (arrivals.isEmpty())
        arrivals.append({batch.size(), QDateTime::currentMSecsSinceEpoch()});
    QString text;
    qsizetype at = 0;
    for (const Arrival& arrival : arrivals) {
        if (arrival.size == 0) {
            endFrame(text);
            continue;
        }
        const qsizetype size = std::min(arrival.size, batch.size() - at);
        addRead(text, batch.sliced(at, size), arrival.msecsSinceEpoch, asText, wholeLineAt);
        at += size;
    }
    // Bytes no arrival told of are shown all the same.
    if (at < batch.size())
        addRead(text, batch.sliced(at), arrivals.constLast().msecsSinceEpoch, asText, wholeLineAt);
    return text;
}

void ReceivedText::addRead(QString& text, QByteArrayView bytes, qint64 at, bool asText,
                           qsizetype* wholeLineAt) {
    const QString shown = renderBatch(bytes, asText, pendingLead, encoding);
    if (m_frames) {
        if (!m_frameOpen) {
            m_frameOpen = true;
            m_frameStart = at;
            m_frameTail.clear();
            text += LineEnd;
            markWholeLine(text.size(), wholeLineAt);
        }
        text += shown;
        m_frameTail = (m_frameTail + shown).right(2);
        return;
    }
    if (!shown.endsWith(LineEnd)) {
        // Most batches are one read: its text is the batch's, not a copy.
        if (text.isEmpty())
            text = shown;
        else
            text += shown;
        return;
    }
    text += LineEnd;
    markWholeLine(text.size(), wholeLineAt);
    text += shown;
    text += stamp(at);
}

// The silence ends the open frame: its line, then its stamp. The start of a
// character still held has no rest to come.
void ReceivedText::endFrame(QString& text) {
    if (!m_frameOpen)
        return;
    m_frameOpen = false;
    if (pendingLead.held) {
        const QString lone = decodeText(pendingLead.waiting(), encoding);
        pendingLead.held = false;
        text += lone;
        m_frameTail = (m_frameTail + lone).right(2);
    }
    if (m_frameTail != LineEnd)
        text += LineEnd;
    text += stamp(m_frameStart);
}

void ReceivedText::setFrames(bool on) {
    m_frames = on;
    m_frameOpen = false;
}

QString ReceivedText::stamp(qint64 msecsSinceEpoch) const {
    return dateTimeStamp(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch), QLocale::system(),
                         precision);
}
