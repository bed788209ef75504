#include "window/log_view.h"

#include "window/accessibility.h"
#include "window/frame.h"
#include "window/steady_scroll_bar.h"

#include <QAccessible>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextLayout>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <tuple>
#include <utility>

namespace {

// Whole lines are remembered at most this often: making room cuts within a
// few display lines of where it would, and the marks take little room.
constexpr qsizetype WholeLineSpacing = 4096;

// Blocks whose characters all have one width: measuring each of their tens of
// thousands of characters on first sight (binary data shown as GBK meets most
// of them) would stall the window for seconds.
char16_t sameWidthAs(char16_t c) {
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
        (c >= 0xF900 && c <= 0xFAFF))
        return 0x4E00;
    if (c >= 0xAC00 && c <= 0xD7A3)
        return 0xAC00;
    if (c >= 0xE000 && c <= 0xF8FF)
        return 0xE000;
    return c;
}

// A line never breaks between the halves of a surrogate pair.
qsizetype breakBefore(QStringView text, qsizetype offset, qsizetype lineStart) {
    const bool insidePair = text[offset].isLowSurrogate() && text[offset - 1].isHighSurrogate() &&
                            offset - 1 > lineStart;
    return insidePair ? offset - 1 : offset;
}

constexpr int TabColumns = 8;
// While every frame brings more lines than the view shows, nobody reads them
// as they pass: frames come less often, and cost less.
constexpr int StreamingRefreshMs = 100;

} // namespace

LogView::LogView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_metrics(font())
    , m_advances(0x10000, -1.0F) {
    installAccessibleInterfaces();
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar that came and went would narrow the view and re-wrap everything held.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    updateMetrics();
    m_wrapWidth = viewport()->width() - 2 * Margin;
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(FrameMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LogView::refresh);
    m_rewrapTimer.setSingleShot(true);
    m_rewrapTimer.setInterval(0);
    connect(&m_rewrapTimer, &QTimer::timeout, this, &LogView::rewrapSlice);
}

LogView::~LogView() = default;

// A whole text replaced is told by its head: telling costs the same however
// much is held, and the client reads the rest through the text interface.
QString LogView::announcedHead(const QString& text) {
    qsizetype length = std::min(text.size(), AnnouncedLength);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    return readableText(text.first(length));
}

void LogView::append(QStringView text, qsizetype wholeLineAt) {
    if (text.isEmpty())
        return;
    const qsizetype from = m_text.size();
    if (wholeLineAt >= 0 &&
        (m_wholeLines.empty() || from + wholeLineAt - m_wholeLines.back() >= WholeLineSpacing))
        m_wholeLines.push_back(from + wholeLineAt);
    if (m_changedFrom < 0)
        m_changedFrom = displayLineCount() - 1;
    m_text.append(text);
    wrapFrom(from);
    if (m_unannounced < 0 && assistiveClientListening())
        m_unannounced = from;
    if (heldBytes() > m_scrollback)
        makeRoom();
    emit textAppended();
    if (m_refreshTimer.isActive())
        return;
    // What comes after a quiet spell shows within one frame.
    if (!m_sinceRefresh.isValid() || m_sinceRefresh.elapsed() > StreamingRefreshMs)
        m_refreshTimer.setInterval(FrameMs);
    m_refreshTimer.start();
}

void LogView::setText(QString text) {
    announceInserted();
    const bool listening = assistiveClientListening();
    const QString removed = listening ? announcedHead(m_text) : QString();
    QString before = std::exchange(m_text, std::move(text));
    // A text too large to index leaves the area as it was.
    std::vector<qsizetype> starts = std::move(m_lineStarts);
    const LineFill fill = m_fill;
    const auto trimmed = std::pair(m_noticeLength, m_dropped);
    QString inserted;
    try {
        m_noticeLength = 0;
        m_dropped = 0;
        m_wholeLines.clear();
        rewrap();
        if (heldBytes() > m_scrollback)
            dropOldestLines();
        if (listening)
            inserted = announcedHead(m_text);
    } catch (const std::bad_alloc&) {
        m_text = std::move(before);
        m_lineStarts = std::move(starts);
        m_fill = fill;
        std::tie(m_noticeLength, m_dropped) = trimmed;
        throw;
    }
    m_anchor = 0;
    m_cursor = 0;
    m_changedFrom = -1;
    m_refreshTimer.stop();
    updateScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
    emit textReplaced();
    if (removed.isEmpty() && inserted.isEmpty())
        return;
    QAccessibleTextUpdateEvent event(this, 0, removed, inserted);
    try {
        announce(event);
    } catch (const std::bad_alloc&) {
        // The text is replaced all the same; the client reads it when it next asks.
    }
}

void LogView::clear() {
    setText(QString());
}

bool LogView::atBottom() const {
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void LogView::holdPosition(bool hold) {
    if (hold == m_held)
        return;
    m_held = hold;
    if (hold) {
        m_followOnRelease = atBottom();
        return;
    }
    if (!m_followOnRelease)
        return;
    updateScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::showBottomBar(QWidget* bar) {
    if (m_bottomBar && m_bottomBar != bar)
        m_bottomBar->hide();
    m_bottomBar = bar;
    setViewportMargins(0, 0, 0, bar ? bar->sizeHint().height() : 0);
    if (!bar)
        return;
    placeBottomBar();
    bar->show();
    bar->raise();
}

// The scroll bar keeps the whole height; the bar takes the viewport's width.
void LogView::placeBottomBar() {
    const QRect above = viewport()->geometry();
    m_bottomBar->setGeometry(above.left(), above.bottom() + 1, above.width(),
                             m_bottomBar->sizeHint().height());
}

qsizetype LogView::lineEnd(qsizetype line) const {
    return line + 1 < displayLineCount() ? lineStart(line + 1) : m_text.size();
}

qsizetype LogView::lineAt(qsizetype offset) const {
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    return (after - m_lineStarts.begin()) - 1;
}

qreal LogView::measure(QChar c, QChar previous, qreal lineWidth) {
    if (c == u'\t')
        return m_tabWidth - std::fmod(lineWidth, m_tabWidth);
    // The low half of a surrogate pair carries the width of the whole character.
    if (c.isHighSurrogate())
        return 0;
    if (c.isLowSurrogate() && previous.isHighSurrogate()) {
        const char32_t code = QChar::surrogateToUcs4(previous, c);
        auto found = m_wideAdvances.constFind(code);
        if (found == m_wideAdvances.constEnd())
            found = m_wideAdvances.insert(code,
                                          m_metrics.horizontalAdvance(QString::fromUcs4(&code, 1)));
        return *found;
    }
    qreal width = 0;
    if (c == u'\r')
        width = 0;
    else if (const char16_t same = sameWidthAs(c.unicode()); same != c.unicode())
        width = measure(QChar(same), QChar(), 0);
    else
        width = m_metrics.horizontalAdvance(c);
    if (!c.isSurrogate())
        m_advances[c.unicode()] = float(width);
    return width;
}

void LogView::wrapFrom(qsizetype offset) {
    wrap(m_text, offset, m_lineStarts, m_fill);
}

// Cuts text from offset on into display lines, adding their starts to starts;
// filled is how the last line is filled so far.
void LogView::wrap(QStringView text, qsizetype offset, std::vector<qsizetype>& starts,
                   LineFill& filled) {
    LineFill fill = filled;
    qsizetype lineStart = starts.back();
    const auto startLine = [&](qsizetype start) {
        starts.push_back(start);
        lineStart = start;
        fill = LineFill();
    };
    for (qsizetype i = offset; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n') {
            startLine(i + 1);
            continue;
        }
        if (i - lineStart >= MaxLineLength)
            startLine(breakBefore(text, i, lineStart));
        const bool blank = c == u' ' || c == u'\t';
        qreal width = m_advances[c.unicode()];
        if (width < 0)
            width = measure(c, i > 0 ? text[i - 1] : QChar(), fill.width);
        // Blanks hang past the edge, so a line only ever breaks before a word; a tab's
        // width then stays what its place in the line made it.
        if (!blank && width > 0 && fill.width > 0 && fill.width + width > m_wrapWidth) {
            const bool wordFits =
                fill.breakAfterBlank > lineStart && fill.widthAfterBlank + width <= m_wrapWidth;
            const qreal carried = wordFits ? fill.widthAfterBlank : 0;
            startLine(wordFits ? fill.breakAfterBlank : breakBefore(text, i, lineStart));
            fill.width = carried;
        }
        fill.width += width;
        fill.widthAfterBlank += width;
        if (blank) {
            fill.breakAfterBlank = i + 1;
            fill.widthAfterBlank = 0;
        }
    }
    filled = fill;
}

void LogView::rewrap() {
    m_rewrapTimer.stop();
    m_rewrap = {};
    m_shaped.clear();
    if (m_changedFrom >= 0)
        m_changedFrom = 0;
    m_wrapWidth = viewport()->width() - 2 * Margin;
    m_lineStarts = std::vector<qsizetype>{0};
    m_fill = LineFill();
    wrapFrom(0);
}

// Following the end scrolls what is drawn already; only the rows of lines
// that changed are drawn again.
void LogView::refresh() {
    const bool follow = !m_held && atBottom();
    updateScrollRange();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    const bool everyRowNew = m_changedFrom >= 0 && m_changedFrom <= verticalScrollBar()->value();
    m_refreshTimer.setInterval(everyRowNew ? StreamingRefreshMs : FrameMs);
    m_sinceRefresh.start();
    if (m_changedFrom >= 0)
        updateFrom(std::exchange(m_changedFrom, -1));
    announceInserted();
}

// Everything appended since the last repaint, told as one insertion.
void LogView::announceInserted() {
    if (m_unannounced < 0)
        return;
    const qsizetype from = std::exchange(m_unannounced, -1);
    QAccessibleTextInsertEvent event(this, int(from), readableText(m_text.sliced(from)));
    announce(event);
}

void LogView::updateMetrics() {
    m_lineHeight = qMax(1, qCeil(m_metrics.lineSpacing()));
    m_tabWidth = qMax(1.0, TabColumns * m_metrics.horizontalAdvance(u' '));
}

int LogView::visibleRows() const {
    return qMax(1, viewport()->height() / m_lineHeight);
}

void LogView::updateScrollRange() {
    const int rows = visibleRows();
    const qsizetype hidden = qMax<qsizetype>(0, displayLineCount() - rows);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, int(qMin<qsizetype>(hidden, std::numeric_limits<int>::max())));
    bar->setPageStep(rows);
    bar->setSingleStep(1);
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_bottomBar)
        placeBottomBar();
    keepInSight(viewport()->width() - 2 * Margin != m_wrapWidth);
}

// The text at the top stays at the top, and a view that followed the end
// follows it still.
void LogView::keepInSight(bool rewrapText) {
    QScrollBar* bar = verticalScrollBar();
    const bool follow = atBottom();
    const qsizetype topOffset = lineStart(qMin<qsizetype>(bar->value(), displayLineCount() - 1));
    if (rewrapText)
        rewrapInSight(follow, topOffset);
    updateScrollRange();
    bar->setValue(follow ? bar->maximum() : int(lineAt(topOffset)));
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    m_metrics = QFontMetricsF(font());
    std::fill(m_advances.begin(), m_advances.end(), -1.0F);
    m_wideAdvances.clear();
    updateMetrics();
    keepInSight(true);
    viewport()->update();
}

// Ctrl and the wheel ask for larger or smaller text, a step for each notch
// (a touchpad's small steps add up to one).
void LogView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    constexpr int Notch = QWheelEvent::DefaultDeltasPerStep;
    m_wheelZoom += event->angleDelta().y();
    const int steps = m_wheelZoom / Notch;
    m_wheelZoom -= steps * Notch;
    if (steps != 0)
        emit zoomRequested(steps);
}
