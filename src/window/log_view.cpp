#include "window/log_view.h"

#include "window/accessibility.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

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

constexpr int Margin = 3; // between the edges and the text
constexpr int TabColumns = 8;
// One frame: appends in between are drawn together.
constexpr int RefreshMs = 16;

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

LogView::LogView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_metrics(font())
    , m_advances(0x10000, -1.0F) {
    installAccessibleInterfaces();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar that came and went would narrow the view and re-wrap everything held.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    updateMetrics();
    m_wrapWidth = viewport()->width() - 2 * Margin;
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(RefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LogView::refresh);
}

void LogView::append(QStringView text) {
    if (text.isEmpty())
        return;
    const qsizetype from = m_text.size();
    m_text.append(text);
    wrapFrom(from);
    if (m_unannounced < 0 && assistiveClientListening())
        m_unannounced = from;
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void LogView::setText(const QString& text) {
    announceInserted();
    const QString before = std::exchange(m_text, text);
    m_anchor = 0;
    m_cursor = 0;
    rewrap();
    m_refreshTimer.stop();
    updateScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
    if (assistiveClientListening()) {
        QAccessibleTextUpdateEvent event(this, 0, readableText(before), readableText(m_text));
        announce(event);
    }
}

void LogView::clear() {
    setText(QString());
}

QString LogView::selectedText() const {
    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    return m_text.mid(from, to - from);
}

void LogView::selectAll() {
    select(0, m_text.size());
}

std::pair<qsizetype, qsizetype> LogView::selection() const {
    return std::minmax(m_anchor, m_cursor);
}

void LogView::select(qsizetype anchor, qsizetype cursor) {
    const auto before = selection();
    const qsizetype cursorBefore = m_cursor;
    m_anchor = std::clamp<qsizetype>(anchor, 0, m_text.size());
    m_cursor = std::clamp<qsizetype>(cursor, 0, m_text.size());
    viewport()->update();
    if (!assistiveClientListening())
        return;
    const auto [from, to] = selection();
    if (selection() != before) {
        QAccessibleTextSelectionEvent event(this, int(from), int(to));
        event.setCursorPosition(int(m_cursor));
        announce(event);
    } else if (m_cursor != cursorBefore) {
        QAccessibleTextCursorEvent event(this, int(m_cursor));
        announce(event);
    }
}

void LogView::copy() const {
    if (m_anchor != m_cursor)
        QGuiApplication::clipboard()->setText(selectedText());
}

bool LogView::atBottom() const {
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
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

qsizetype LogView::breakBefore(qsizetype offset) const {
    const bool insidePair = m_text.at(offset).isLowSurrogate() &&
                            m_text.at(offset - 1).isHighSurrogate() &&
                            offset - 1 > m_lineStarts.back();
    return insidePair ? offset - 1 : offset;
}

void LogView::wrapFrom(qsizetype offset) {
    const QStringView text(m_text);
    LineFill fill = m_fill;
    qsizetype lineStart = m_lineStarts.back();
    const auto startLine = [&](qsizetype start) {
        m_lineStarts.push_back(start);
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
            startLine(breakBefore(i));
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
            startLine(wordFits ? fill.breakAfterBlank : breakBefore(i));
            fill.width = carried;
        }
        fill.width += width;
        fill.widthAfterBlank += width;
        if (blank) {
            fill.breakAfterBlank = i + 1;
            fill.widthAfterBlank = 0;
        }
    }
    m_fill = fill;
}

void LogView::rewrap() {
    m_wrapWidth = viewport()->width() - 2 * Margin;
    m_lineStarts = std::vector<qsizetype>{0};
    m_fill = LineFill();
    wrapFrom(0);
}

void LogView::refresh() {
    const bool follow = atBottom();
    updateScrollRange();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
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

void LogView::layoutLine(QTextLayout& layout, qsizetype line) const {
    const qsizetype start = lineStart(line);
    QString shown = m_text.mid(start, lineEnd(line) - start);
    // Same length as the text, so that positions in the layout are offsets into it.
    std::replace_if(
        shown.begin(), shown.end(), [](QChar c) { return c == u'\r' || c == u'\n'; },
        QChar(0x200B));
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(m_tabWidth);
    layout.setText(shown);
    layout.setFont(font());
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    QTextLayout::FormatRange selection;
    selection.format.setBackground(palette().brush(QPalette::Highlight));
    selection.format.setForeground(palette().brush(QPalette::HighlightedText));
    const auto [selectionFrom, selectionTo] = std::minmax(m_anchor, m_cursor);

    const qsizetype top = verticalScrollBar()->value();
    const int firstRow = event->rect().top() / m_lineHeight;
    const int lastRow = event->rect().bottom() / m_lineHeight;
    for (int row = firstRow; row <= lastRow && top + row < displayLineCount(); ++row) {
        const qsizetype line = top + row;
        QTextLayout layout;
        layoutLine(layout, line);
        QList<QTextLayout::FormatRange> selections;
        const qsizetype from = qMax(selectionFrom, lineStart(line));
        const qsizetype to = qMin(selectionTo, lineEnd(line));
        if (from < to) {
            selection.start = int(from - lineStart(line));
            selection.length = int(to - from);
            selections.append(selection);
        }
        // Glyphs from fallback fonts may be taller; keep every baseline where the font puts it.
        const qreal y = row * m_lineHeight + m_metrics.ascent() - layout.lineAt(0).ascent();
        layout.draw(&painter, QPointF(Margin, y), selections);
    }
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    QScrollBar* bar = verticalScrollBar();
    const bool follow = atBottom();
    const qsizetype topOffset = lineStart(qMin<qsizetype>(bar->value(), displayLineCount() - 1));
    if (viewport()->width() - 2 * Margin != m_wrapWidth)
        rewrap();
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
    const bool follow = atBottom();
    rewrap();
    updateScrollRange();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void LogView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::MoveToStartOfDocument))
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event->matches(QKeySequence::MoveToEndOfDocument))
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        QAbstractScrollArea::keyPressEvent(event);
}

qsizetype LogView::offsetAt(QPoint position) const {
    const qsizetype line =
        verticalScrollBar()->value() + qFloor(qreal(position.y()) / m_lineHeight);
    if (line < 0)
        return 0;
    if (line >= displayLineCount())
        return m_text.size();
    const qsizetype start = lineStart(line);
    qsizetype end = lineEnd(line);
    // Right of a line that ends in a break is before the break, not on the next line.
    if (end > start && m_text.at(end - 1) == u'\n')
        --end;
    if (end > start && m_text.at(end - 1) == u'\r')
        --end;
    QTextLayout layout;
    layoutLine(layout, line);
    return qMin(start + layout.lineAt(0).xToCursor(position.x() - Margin), end);
}

void LogView::selectTo(QPoint position) {
    select(m_anchor, offsetAt(position));
}

QRect LogView::characterRect(qsizetype offset) const {
    if (offset < 0 || offset >= m_text.size())
        return {};
    const qsizetype line = lineAt(offset);
    const qsizetype row = line - verticalScrollBar()->value();
    if (row < 0 || row >= visibleRows())
        return {};
    QTextLayout layout;
    layoutLine(layout, line);
    const QTextLine shaped = layout.lineAt(0);
    const int at = int(offset - lineStart(line));
    const qreal left = shaped.cursorToX(at);
    const qreal right = shaped.cursorToX(at + 1);
    return QRect(Margin + qFloor(left), int(row) * m_lineHeight, qMax(1, qCeil(right - left)),
                 m_lineHeight);
}

void LogView::scrollTo(qsizetype offset) {
    updateScrollRange();
    const qsizetype line = lineAt(std::clamp<qsizetype>(offset, 0, m_text.size()));
    QScrollBar* bar = verticalScrollBar();
    if (line < bar->value())
        bar->setValue(int(line));
    else if (line >= bar->value() + visibleRows())
        bar->setValue(int(line - visibleRows() + 1));
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype at = offsetAt(event->position().toPoint());
    m_selecting = true;
    select(at, at);
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    if (position.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.y() >= viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    selectTo(position);
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_selecting || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_anchor != m_cursor && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const qsizetype at = offsetAt(event->position().toPoint());
    const qsizetype line = lineAt(at);
    // Words are looked for within the display line, which bounds the search.
    qsizetype from = at;
    while (from > lineStart(line) && isWordCharacter(m_text.at(from - 1)))
        --from;
    qsizetype to = at;
    while (to < lineEnd(line) && isWordCharacter(m_text.at(to)))
        ++to;
    m_selecting = true;
    select(from, to);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("&Copy"), QKeySequence::Copy, this, &LogView::copy)
        ->setEnabled(m_anchor != m_cursor);
    menu.addAction(tr("Select &All"), QKeySequence::SelectAll, this, &LogView::selectAll)
        ->setEnabled(!m_text.isEmpty());
    menu.exec(event->globalPos());
}
