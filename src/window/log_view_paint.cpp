#include "window/log_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>

// The display lines as drawn: shaping them, keeping them shaped while they
// stay in sight, and drawing only the rows that changed.

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
    // Keep the glyphs: drawing would otherwise shape the line again.
    layout.setCacheEnabled(true);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

// The text of a line only ever changes by growing at the end of the text, so
// a line that spans what it spanned when shaped still looks the same.
const QTextLayout& LogView::shaped(qsizetype line) const {
    if (qsizetype(m_shaped.size()) > 2 * visibleRows() + 8)
        forgetShapedOutOfSight();
    ShapedLine& entry = m_shaped[line];
    const qsizetype start = lineStart(line);
    const qsizetype end = lineEnd(line);
    if (!entry.layout || entry.start != start || entry.end != end) {
        entry = {start, end, std::make_unique<QTextLayout>()};
        layoutLine(*entry.layout, line);
    }
    return *entry.layout;
}

void LogView::forgetShapedOutOfSight() const {
    const qsizetype top = verticalScrollBar()->value();
    std::erase_if(m_shaped, [&](const auto& entry) {
        return entry.first < top - 1 || entry.first > top + visibleRows() + 1;
    });
}

// From the row above the line's: a glyph taller than its row reaches into it.
void LogView::updateFrom(qsizetype line) {
    const qsizetype row = line - 1 - verticalScrollBar()->value();
    if (row > visibleRows())
        return;
    const int top = int(qMax<qsizetype>(0, row)) * m_lineHeight;
    viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    QTextLayout::FormatRange selection;
    selection.format.setBackground(palette().brush(QPalette::Highlight));
    selection.format.setForeground(palette().brush(QPalette::HighlightedText));
    const auto [selectionFrom, selectionTo] = std::minmax(m_anchor, m_cursor);

    // The rows next to the region too, clipped to it: their glyphs may reach
    // into it, and whether the region is drawn alone or with the rest, it
    // must come out the same.
    const qsizetype top = verticalScrollBar()->value();
    const qsizetype firstLine = qMax<qsizetype>(0, top + event->rect().top() / m_lineHeight - 1);
    const qsizetype lastLine =
        qMin<qsizetype>(displayLineCount() - 1, top + event->rect().bottom() / m_lineHeight + 1);
    for (qsizetype line = firstLine; line <= lastLine; ++line) {
        const QTextLayout& layout = shaped(line);
        QList<QTextLayout::FormatRange> selections;
        const qsizetype from = qMax(selectionFrom, lineStart(line));
        const qsizetype to = qMin(selectionTo, lineEnd(line));
        if (from < to) {
            selection.start = int(from - lineStart(line));
            selection.length = int(to - from);
            selections.append(selection);
        }
        // Glyphs from fallback fonts may be taller; keep every baseline where the font puts it.
        const qreal y =
            qreal(line - top) * m_lineHeight + m_metrics.ascent() - layout.lineAt(0).ascent();
        layout.draw(&painter, QPointF(Margin, y), selections);
    }
    forgetShapedOutOfSight();
}

// Rows are whole lines, so what is drawn already moves with the scroll bar.
void LogView::scrollContentsBy(int /*dx*/, int dy) {
    if (m_keepPixels)
        return;
    if (qAbs(dy) > visibleRows())
        viewport()->update();
    else
        viewport()->scroll(0, dy * m_lineHeight);
}
