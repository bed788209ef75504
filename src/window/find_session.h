#pragma once

#include "window/text_search.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

class LogView;

// Finding in a LogView that keeps receiving: the search for the next or
// previous match, and the count of them all, each done a slice at a time
// between the window's other events, so that hundreds of megabytes never hold
// the window. The match found is the view's selection, scrolled into sight.
class FindSession : public QObject {
    Q_OBJECT

public:
    // The longest a slice of searching or counting keeps the window's thread.
    static constexpr int SliceMs = 8;

    explicit FindSession(LogView* view, QObject* parent = nullptr);

    // Looks for the needle from the current match, which stays when it still
    // matches, or else from the start of the selection (the caret); past the
    // end, from the top.
    void search(const QString& needle, Qt::CaseSensitivity sensitivity);
    void next();
    void previous();
    // Stops searching and counting; the match stays selected.
    void stop();

    // "3 of 12", "3 of at least 12" while counting, "No matches", and
    // whether the last search wrapped.
    QString status() const;
    // Whether a search or the count is still under way.
    bool busy() const;

signals:
    void statusChanged(const QString& status);

private:
    enum class Direction { Forward, Backward };
    // A search under way. Forward it looks at starts from `from` to the end,
    // then from the top up to `from`; backward, from `from` down to the top,
    // then from the end down to `from`. `at` is how far it got.
    struct Job {
        Direction direction;
        qsizetype from;
        qsizetype at;
        bool wrapped = false;
    };

    bool working() const;
    qsizetype origin() const;
    bool currentSelected() const;
    void start(Direction direction, qsizetype from);
    void runSlice();
    void searchChunk();
    void finish(std::optional<TextMatch> found, bool wrapped, Direction direction);
    void countChunk();
    void restartCount();
    std::optional<qsizetype> numberOf(qsizetype start) const;
    qsizetype counted() const;
    void tell();
    void followTrim(qsizetype cut, qsizetype noticeLength);
    void followReplace();

    LogView* const m_view;
    TextPattern m_pattern;
    std::optional<Job> m_job;
    std::optional<TextMatch> m_current;
    // The current match's place among all, from 1, once the count passed it.
    std::optional<qsizetype> m_number;
    // How the search that found the current match wrapped, if it did.
    std::optional<Direction> m_wrapped;

    // The count: matches that start in each block of the text, up to where
    // every start is decided.
    static constexpr qsizetype CountBlock = qsizetype(1) << 20;
    std::vector<qsizetype> m_blockCounts;
    qsizetype m_countedTo = 0;
    // Counted all the text holds; waits for more.
    bool m_countWaits = true;

    QTimer m_slice;
    // Text that keeps coming is counted a few times a second, not per batch.
    QTimer m_catchUp;
    QString m_told;
    QElapsedTimer m_toldAt;
};
