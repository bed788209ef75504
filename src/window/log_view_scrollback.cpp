#include "window/log_view.h"

#include "window/accessibility.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <utility>

// The cap on what the area holds: past it the oldest whole lines give way to
// a notice of how much went, so that a session of days never grows until the
// system ends the program.

namespace {

// A whole line, or one that starts after a line feed, is preferred as the
// first kept, if one comes within this many display lines.
constexpr qsizetype LineFeedSearch = 256;

} // namespace

void LogView::setScrollback(qint64 bytes, QString noticeEnd) {
    m_scrollback = bytes;
    m_noticeEnd = std::move(noticeEnd);
    if (heldBytes() > m_scrollback)
        makeRoom();
}

qint64 LogView::heldBytes() const {
    return qint64(m_text.size()) * qint64(sizeof(QChar)) +
           qint64(m_lineStarts.size()) * qint64(sizeof(qsizetype));
}

// Down to three quarters of the cap at once, so that the text is moved
// seldom. The text kept is wrapped as it was: a display line starts afresh.
LogView::Trim LogView::dropOldestLines() {
    const qsizetype lines = displayLineCount();
    const qint64 target = m_scrollback / 4 * 3;
    const auto fits = [&](qsizetype line) {
        return qint64(m_text.size() - lineStart(line)) * qint64(sizeof(QChar)) +
                   qint64(lines - line) * qint64(sizeof(qsizetype)) <=
               target;
    };
    // At least one line of data goes, and the last line stays.
    qsizetype first = lineAt(m_noticeLength) + 1;
    qsizetype last = lines - 1;
    if (first > last)
        return {};
    while (first < last) {
        const qsizetype middle = first + (last - first) / 2;
        if (fits(middle))
            last = middle;
        else
            first = middle + 1;
    }
    // The first line kept is a whole line as appends told (never the stamp
    // after a line that goes), else one after a line feed.
    const qsizetype searchEnd = std::min(first + LineFeedSearch, lines);
    const auto whole = std::lower_bound(m_wholeLines.begin(), m_wholeLines.end(), lineStart(first));
    if (whole != m_wholeLines.end() && lineAt(*whole) < searchEnd &&
        lineStart(lineAt(*whole)) == *whole) {
        first = lineAt(*whole);
    } else {
        for (qsizetype line = first; line < searchEnd; ++line) {
            if (m_text.at(lineStart(line) - 1) == u'\n') {
                first = line;
                break;
            }
        }
    }

    const qsizetype cut = lineStart(first);
    const qint64 dropped = m_dropped + (cut - m_noticeLength);
    const QString notice = QStringLiteral("[%1 earlier characters are no longer shown%2]\r\n")
                               .arg(QString::number(dropped), m_noticeEnd);
    std::vector<qsizetype> noticeStarts{0};
    LineFill noticeFill;
    wrap(notice, 0, noticeStarts, noticeFill);
    // The last start is that of the first line kept.
    noticeStarts.pop_back();
    const auto noticeLines = qsizetype(noticeStarts.size());
    m_lineStarts.reserve(size_t(lines - first + noticeLines));

    // Nothing below allocates but a text shared with a copy, which is
    // detached before anything changes. Replaced, not removed: removing the
    // front only moves the text's start, and the room before it would never
    // be used again.
    m_text.replace(0, cut, notice);
    const qsizetype shift = notice.size() - cut;
    if (noticeLines <= first) {
        m_lineStarts.erase(m_lineStarts.begin(), m_lineStarts.begin() + (first - noticeLines));
    } else {
        m_lineStarts.insert(m_lineStarts.begin(), size_t(noticeLines - first), 0);
    }
    std::copy(noticeStarts.begin(), noticeStarts.end(), m_lineStarts.begin());
    for (auto start = m_lineStarts.begin() + noticeLines; start != m_lineStarts.end(); ++start)
        *start += shift;
    if (m_fill.breakAfterBlank >= 0)
        m_fill.breakAfterBlank += shift;
    while (!m_wholeLines.empty() && m_wholeLines.front() < cut)
        m_wholeLines.pop_front();
    for (qsizetype& at : m_wholeLines)
        at += shift;
    m_noticeLength = notice.size();
    m_dropped = dropped;
    return {cut, first, noticeLines, notice.size()};
}

// Makes room while appending: the caret and selection keep to their text, and
// a reader scrolled back keeps the same text in sight while it is there.
void LogView::makeRoom() {
    // The client hears of what came before it hears of what went.
    announceInserted();
    const bool listening = assistiveClientListening();
    QString removed = listening ? announcedHead(m_text) : QString();
    QScrollBar* bar = verticalScrollBar();
    const bool follow = !m_held && atBottom();
    const qsizetype top = bar->value();
    const Trim trim = dropOldestLines();
    if (trim.cut == 0)
        return;
    const auto keptOffset = [&](qsizetype offset) {
        return offset >= trim.cut ? offset - trim.cut + trim.noticeLength : trim.noticeLength;
    };
    const auto keptLine = [&](qsizetype line) {
        return line >= trim.fromLine ? line - trim.fromLine + trim.noticeLines : 0;
    };
    m_anchor = keptOffset(m_anchor);
    m_cursor = keptOffset(m_cursor);
    if (m_changedFrom >= 0)
        m_changedFrom = keptLine(m_changedFrom);
    m_shaped.clear();
    updateScrollRange();
    bar->setValue(follow ? bar->maximum() : int(keptLine(top)));
    // Rows kept now have other numbers: what is drawn cannot be moved along.
    viewport()->update();
    emit textTrimmed(trim.cut, trim.noticeLength);
    if (!listening)
        return;
    removed.truncate(trim.cut);
    QAccessibleTextUpdateEvent event(this, 0, removed, m_text.first(trim.noticeLength));
    announce(event);
}
