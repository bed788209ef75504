#include "window/log_view.h"

#include "window/accessibility.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>

// The selection and the caret, and the keys and pointer that move them.

namespace {

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

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

void LogView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Find))
        emit findRequested();
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
    return qMin(start + shaped(line).lineAt(0).xToCursor(position.x() - Margin), end);
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
    const QTextLine shown = shaped(line).lineAt(0);
    const int at = int(offset - lineStart(line));
    const qreal left = shown.cursorToX(at);
    const qreal right = shown.cursorToX(at + 1);
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
    menu.addAction(QStringLiteral("&Copy"), QKeySequence::Copy, this, &LogView::copy)
        ->setEnabled(m_anchor != m_cursor);
    menu.addAction(QStringLiteral("Select &All"), QKeySequence::SelectAll, this,
                   &LogView::selectAll)
        ->setEnabled(!m_text.isEmpty());
    menu.addAction(QStringLiteral("&Find\u2026"), QKeySequence::Find, this,
                   &LogView::findRequested);
    // What the window adds for this area, such as how its stamps read.
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
    menu.exec(event->globalPos());
}
