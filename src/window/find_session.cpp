#include "window/find_session.h"

#include "window/log_view.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

// Characters searched between looks at the clock.
constexpr qsizetype SearchChunk = qsizetype(1) << 18;
// Text that keeps coming is counted this often.
constexpr int CatchUpMs = 100;
// While only the count runs, the bar says how far it got at most this often:
// a screen reader reads every change.
constexpr int CountShownMs = 150;

QString matches(const QString& how, qsizetype count) {
    return count == 1 ? how + QStringLiteral(" match") : how + QStringLiteral(" matches");
}

} // namespace

FindSession::FindSession(LogView* view, QObject* parent)
    : QObject(parent)
    , m_view(view) {
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &FindSession::runSlice);
    m_catchUp.setSingleShot(true);
    m_catchUp.setInterval(CatchUpMs);
    connect(&m_catchUp, &QTimer::timeout, this, [this] {
        m_countWaits = false;
        runSlice();
    });
    connect(view, &LogView::textAppended, this, [this] {
        if (!m_pattern.isEmpty() && m_countWaits && !m_catchUp.isActive())
            m_catchUp.start();
    });
    connect(view, &LogView::textTrimmed, this, &FindSession::followTrim);
    connect(view, &LogView::textReplaced, this, &FindSession::followReplace);
}

bool FindSession::currentSelected() const {
    return m_current && m_view->selection() == std::pair(m_current->start, m_current->end);
}

// A reader who clicked elsewhere since the last match searches from there.
qsizetype FindSession::origin() const {
    return currentSelected() ? m_current->start : m_view->selection().first;
}

void FindSession::search(const QString& needle, Qt::CaseSensitivity sensitivity) {
    const qsizetype from = origin();
    m_pattern = TextPattern(needle, sensitivity);
    m_current.reset();
    restartCount();
    if (m_pattern.isEmpty()) {
        m_job.reset();
        tell();
        return;
    }
    start(Direction::Forward, from);
}

void FindSession::next() {
    if (!m_pattern.isEmpty())
        start(Direction::Forward, currentSelected() ? m_current->start + 1 : origin());
}

void FindSession::previous() {
    if (!m_pattern.isEmpty())
        start(Direction::Backward, origin());
}

void FindSession::stop() {
    m_job.reset();
    m_pattern = TextPattern();
    m_countWaits = true;
    m_slice.stop();
    m_catchUp.stop();
    tell();
}

bool FindSession::busy() const {
    return working() || m_catchUp.isActive();
}

bool FindSession::working() const {
    return m_job || (!m_pattern.isEmpty() && !m_countWaits);
}

void FindSession::start(Direction direction, qsizetype from) {
    m_job = Job{direction, from, from};
    m_slice.start();
}

void FindSession::runSlice() {
    const bool searching = m_job.has_value();
    QElapsedTimer spent;
    spent.start();
    while (spent.elapsed() < SliceMs) {
        // A match found is drawn before the count goes on.
        if (m_job) {
            searchChunk();
            if (!m_job)
                break;
        } else if (!m_pattern.isEmpty() && !m_countWaits) {
            countChunk();
        } else {
            break;
        }
    }
    if (working())
        m_slice.start();
    if (!searching && working() && m_toldAt.isValid() && m_toldAt.elapsed() < CountShownMs)
        return;
    tell();
}

void FindSession::searchChunk() {
    Job& job = *m_job;
    const QStringView text = m_view->text();
    std::optional<TextMatch> found;
    bool passedEnd = false;
    if (job.direction == Direction::Forward) {
        const qsizetype end = job.wrapped ? std::min(job.from, text.size()) : text.size();
        const qsizetype to = std::min(end, job.at + SearchChunk);
        found = m_pattern.findFirst(text, job.at, to);
        job.at = to;
        passedEnd = to >= end;
    } else {
        const qsizetype end = job.wrapped ? job.from : 0;
        const qsizetype from = std::max(end, job.at - SearchChunk);
        found = m_pattern.findLast(text, from, job.at);
        job.at = from;
        passedEnd = from <= end;
    }
    if (found || (passedEnd && job.wrapped)) {
        finish(found, job.wrapped, job.direction);
    } else if (passedEnd) {
        job.wrapped = true;
        job.at = job.direction == Direction::Forward ? 0 : text.size();
    }
}

void FindSession::finish(std::optional<TextMatch> found, bool wrapped, Direction direction) {
    m_job.reset();
    m_current = found;
    m_wrapped.reset();
    m_number.reset();
    if (!found)
        return;
    if (wrapped)
        m_wrapped = direction;
    m_number = numberOf(found->start);
    m_view->select(found->start, found->end);
    m_view->scrollTo(found->start);
}

// A block at a time, from where the count got to.
void FindSession::countChunk() {
    const QStringView text = m_view->text();
    const auto block = std::size_t(m_countedTo / CountBlock);
    const qsizetype blockEnd = qsizetype(block + 1) * CountBlock;
    const auto found = m_pattern.count(text, m_countedTo, std::min(blockEnd, text.size()));
    if (m_blockCounts.size() <= block)
        m_blockCounts.resize(block + 1, 0);
    m_blockCounts[block] += found.matches;
    m_countedTo = found.decidedTo;
    m_countWaits = m_countedTo < blockEnd;
    if (m_current && !m_number)
        m_number = numberOf(m_current->start);
}

void FindSession::restartCount() {
    m_blockCounts.clear();
    m_countedTo = 0;
    m_number.reset();
    m_catchUp.stop();
    m_countWaits = m_pattern.isEmpty();
    if (!m_countWaits)
        m_slice.start();
}

// Known once the count got past the match's start: the whole blocks before
// it, and at most a block counted again.
std::optional<qsizetype> FindSession::numberOf(qsizetype start) const {
    if (start > m_countedTo)
        return std::nullopt;
    const auto block = std::size_t(start / CountBlock);
    const qsizetype before = std::accumulate(
        m_blockCounts.begin(), m_blockCounts.begin() + qsizetype(block), qsizetype(0));
    return before + m_pattern.count(m_view->text(), qsizetype(block) * CountBlock, start).matches +
           1;
}

qsizetype FindSession::counted() const {
    return std::accumulate(m_blockCounts.begin(), m_blockCounts.end(), qsizetype(0));
}

QString FindSession::status() const {
    if (m_pattern.isEmpty())
        return {};
    if (m_job)
        return QStringLiteral("Searching\u2026");
    // A match the count has not reached yet is one more.
    const qsizetype total = counted() + (m_current && !m_number ? 1 : 0);
    const QString all =
        m_countWaits ? QString::number(total) : QStringLiteral("at least %1").arg(total);
    if (!m_current)
        return total == 0 ? QStringLiteral("No matches") : matches(all, total);
    QString said =
        m_number ? QStringLiteral("%1 of %2").arg(*m_number).arg(all) : matches(all, total);
    if (m_wrapped == Direction::Forward)
        said += QStringLiteral(", wrapped to the top");
    else if (m_wrapped == Direction::Backward)
        said += QStringLiteral(", wrapped to the bottom");
    return said;
}

void FindSession::tell() {
    m_toldAt.start();
    QString now = status();
    if (now == m_told)
        return;
    m_told = std::move(now);
    emit statusChanged(m_told);
}

// The match, and a search under way, keep to their text; a match that went
// with the oldest lines is no longer current.
void FindSession::followTrim(qsizetype cut, qsizetype noticeLength) {
    const qsizetype shift = noticeLength - cut;
    if (m_current && m_current->start >= cut) {
        m_current->start += shift;
        m_current->end += shift;
    } else {
        m_current.reset();
        m_wrapped.reset();
    }
    if (m_pattern.isEmpty())
        return;
    if (m_job)
        start(m_job->direction, m_job->from >= cut ? m_job->from + shift : noticeLength);
    restartCount();
    tell();
}

void FindSession::followReplace() {
    m_current.reset();
    m_wrapped.reset();
    if (m_pattern.isEmpty())
        return;
    if (m_job)
        start(m_job->direction, 0);
    restartCount();
    tell();
}
