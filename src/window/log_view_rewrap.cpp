#include "window/log_view.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <new>

// Wrapping again at a new width or font (a resize, a maximised window, a
// larger text) without stalling the window: hundreds of megabytes take
// seconds to wrap, and meanwhile keys would go unanswered and the port's
// data would wait. The lines in sight are wrapped at once; the lines after
// them, then the lines before them, a slice at a time on the event loop, each
// part taking the place of its old lines once it is whole. Until then those
// lines keep the breaks of the old width: the line index is always a valid
// one, only some of its lines are of another width.

namespace {

// Characters wrapped between two looks at the clock.
constexpr qsizetype Step = 1 << 16;
// Characters wrapped at a time while the lines in sight are wrapped.
constexpr qsizetype SightStep = 4 * LogView::MaxLineLength;
// How far back a line feed is looked for before the lines in sight: from
// there they wrap exactly as the whole text would. Without one (hex display
// never breaks a line) they start where an old line started, and the lines
// before them end there.
constexpr qsizetype ParagraphSearch = 64 * LogView::MaxLineLength;

// Where the lines in sight start wrapping: after the line feed before
// `offset`, if one is near, else at `offset`, a display line's start.
qsizetype paragraphStart(QStringView text, qsizetype offset) {
    const qsizetype from = std::max<qsizetype>(0, offset - ParagraphSearch);
    const qsizetype feed = text.sliced(from, offset - from).lastIndexOf(u'\n');
    if (feed >= 0)
        return from + feed + 1;
    return from == 0 ? 0 : offset;
}

} // namespace

// The display lines that start after `after` and before `before` give way to
// starts[1...] (which start after `after` and at most at `before`); `before`
// stays a line start if it was one. Lines after them keep what was shaped of
// them under their new numbers.
void LogView::replaceLineStarts(qsizetype after, qsizetype before,
                                const std::vector<qsizetype>& starts) {
    const auto first = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), after);
    const auto last = std::lower_bound(first, m_lineStarts.end(), before);
    auto freshEnd = starts.end();
    if (starts.size() > 1 && starts.back() == before && last != m_lineStarts.end() &&
        *last == before)
        --freshEnd;
    const qsizetype position = first - m_lineStarts.begin();
    const qsizetype oldCount = last - first;
    const qsizetype newCount = freshEnd - (starts.begin() + 1);
    const qsizetype shared = std::min(oldCount, newCount);
    if (newCount > oldCount)
        m_lineStarts.reserve(m_lineStarts.size() + size_t(newCount - oldCount));
    // Nothing below allocates.
    const auto at = m_lineStarts.begin() + position;
    std::copy_n(starts.begin() + 1, shared, at);
    if (newCount < oldCount)
        m_lineStarts.erase(at + shared, at + oldCount);
    else
        m_lineStarts.insert(at + shared, starts.begin() + 1 + shared, freshEnd);

    const qsizetype delta = newCount - oldCount;
    const qsizetype past = position + oldCount;
    if (m_changedFrom >= past)
        m_changedFrom += delta;
    else if (m_changedFrom >= position)
        m_changedFrom = position;
    if (delta == 0)
        return;
    decltype(m_shaped) shaped;
    for (auto& [line, entry] : m_shaped) {
        if (line < position)
            shaped.emplace(line, std::move(entry));
        else if (line >= past)
            shaped.emplace(line + delta, std::move(entry));
    }
    m_shaped = std::move(shaped);
}

// The width or font changed: the lines in sight, from the top line (or, while
// the view follows the end, the last rows), at least a screenful, are wrapped
// at once; the rest waits for rewrapSlice().
void LogView::rewrapInSight(bool follow, qsizetype topOffset) {
    m_wrapWidth = viewport()->width() - 2 * Margin;
    if (m_text.size() <= RewrapAtOnce) {
        rewrap();
        return;
    }
    m_rewrapTimer.stop();
    m_rewrap = {};
    m_shaped.clear();
    const qsizetype size = m_text.size();
    const qsizetype anchor = follow ? size : topOffset;
    const qsizetype anchorLine = lineAt(anchor);
    const auto rows = qsizetype(visibleRows());
    WrapPoint sight;
    // As many lines before the top line's as there are rows too: a view that
    // is wider or taller now may show them; further back while a screenful of
    // new lines does not reach back to the top row.
    for (qsizetype back = rows;; back *= 2) {
        const qsizetype start =
            paragraphStart(m_text, lineStart(std::max<qsizetype>(0, anchorLine - back)));
        sight = {start, {start}, {}};
        const auto linesFromAnchor = [&] {
            return sight.starts.end() -
                   std::upper_bound(sight.starts.begin(), sight.starts.end(), anchor);
        };
        while (sight.at < size && linesFromAnchor() <= rows + 1) {
            const qsizetype to = std::min(size, sight.at + SightStep);
            wrap(QStringView(m_text).first(to), sight.at, sight.starts, sight.fill);
            sight.at = to;
        }
        if (start == 0 || sight.at < size || qsizetype(sight.starts.size()) > rows + 1)
            break;
    }
    const qsizetype seam = sight.starts.front();
    replaceLineStarts(seam, sight.at, sight.starts);
    if (m_changedFrom >= 0)
        m_changedFrom = 0;

    m_rewrap.dropped = m_dropped;
    if (sight.at < size) {
        m_rewrap.after = true;
        m_rewrap.tail = {sight.at, {sight.starts.back()}, sight.fill};
    } else {
        m_fill = sight.fill;
    }
    if (seam > 0) {
        m_rewrap.before = true;
        m_rewrap.seam = seam;
    }
    if (m_rewrap.pending())
        m_rewrapTimer.start();
}

// One slice of what waits: the lines after those in sight up to the end of
// the text (which may grow meanwhile), then the lines before them. A part
// that is whole takes the place of its old lines; the text in sight stays
// where it is, under its new line numbers.
void LogView::rewrapSlice() {
    QScrollBar* bar = verticalScrollBar();
    const bool follow = !m_held && atBottom();
    const qsizetype topOffset = lineStart(qMin<qsizetype>(bar->value(), displayLineCount() - 1));
    // A trim for the cap moved every offset: start again from the lines in sight.
    if (m_dropped != m_rewrap.dropped) {
        rewrapInSight(follow, topOffset);
        updateScrollRange();
        bar->setValue(follow ? bar->maximum() : int(lineAt(topOffset)));
        viewport()->update();
        return;
    }

    QElapsedTimer spent;
    spent.start();
    const bool after = m_rewrap.after;
    WrapPoint& part = after ? m_rewrap.tail : m_rewrap.head;
    const qsizetype end = after ? m_text.size() : m_rewrap.seam;
    try {
        // Room for about as many lines as the part had, so that the index
        // is seldom copied to a larger one in the middle of a slice.
        if (part.starts.size() == 1) {
            const auto from = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), part.at);
            const auto to = std::lower_bound(from, m_lineStarts.end(), end);
            part.starts.reserve(size_t(to - from) + size_t(to - from) / 4 + 16);
        }
        while (part.at < end && spent.elapsed() < RewrapSliceMs) {
            const qsizetype to = std::min(end, part.at + Step);
            wrap(QStringView(m_text).first(to), part.at, part.starts, part.fill);
            part.at = to;
        }
        // Taking the old lines' place moves the index once: in a slice of its own.
        if (part.at < end || spent.elapsed() >= RewrapSliceMs / 2) {
            m_rewrapTimer.start();
            return;
        }
        replaceLineStarts(part.starts.front(), end, part.starts);
    } catch (const std::bad_alloc&) {
        // The lines not done keep their old breaks.
        m_rewrap = {};
        return;
    }
    const qsizetype replacedFrom = part.starts.front();
    if (after) {
        m_fill = part.fill;
        m_rewrap.after = false;
    } else {
        m_rewrap.before = false;
    }
    part = {};

    const qsizetype shownFrom = lineStart(qMin<qsizetype>(bar->value(), displayLineCount() - 1));
    m_keepPixels = true;
    updateScrollRange();
    bar->setValue(follow ? bar->maximum() : int(lineAt(topOffset)));
    m_keepPixels = false;
    // Lines in sight that were not of the new width until now are drawn again.
    const qsizetype top = bar->value();
    const qsizetype shownTo = lineEnd(qMin<qsizetype>(top + visibleRows(), displayLineCount() - 1));
    if (lineStart(top) != shownFrom || (replacedFrom < shownTo && end > lineStart(top)))
        viewport()->update();
    if (m_rewrap.pending())
        m_rewrapTimer.start();
}
