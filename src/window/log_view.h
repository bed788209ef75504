#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

class QTextLayout;

// A read-only text area for serial traffic. It keeps the text exactly as
// written and stays as fast to append to with hundreds of megabytes held as
// with none: the text is cut into display lines of bounded length as it
// arrives, and only the lines in sight are ever shaped, each once while it
// stays in sight. A CR shows as nothing and an LF as a line break.
class LogView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // No display line holds more characters than this, however narrow they are.
    static constexpr qsizetype MaxLineLength = 1024;
    // A text replaced whole is told to assistive technology by at most this
    // many of its first characters, old and new.
    static constexpr qsizetype AnnouncedLength = 1024;

    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // The exact text held, as written.
    const QString& text() const { return m_text; }
    // Adds text at the end (never at a caret or over a selection). A whole
    // line of what the area shows starts at `wholeLineAt` in the text, if
    // given: making room cuts before such a line rather than inside one.
    void append(QStringView text, qsizetype wholeLineAt = -1);
    // Replaces the whole text and shows its end.
    void setText(QString text);
    void clear();

    // What the area may take of memory, in bytes, as heldBytes() counts it.
    // Past it, the oldest whole lines give way, down to three quarters of it
    // at once, and a first line says how many characters went, followed by
    // noticeEnd. Unbounded until set.
    void setScrollback(qint64 bytes, QString noticeEnd = {});
    // The text at two bytes a character and the display-line index: what
    // grows with the data and stays. The shaped lines are bounded by the rows
    // in sight, and capacity beyond the size is never written, so never
    // resident.
    qint64 heldBytes() const;

    // The exact text of the current selection; selectAll() selects everything.
    QString selectedText() const;
    void selectAll();
    void copy() const;
    // The selection [first, second) and the caret at one of its ends; select()
    // puts the other end at anchor.
    std::pair<qsizetype, qsizetype> selection() const;
    qsizetype cursorPosition() const { return m_cursor; }
    void select(qsizetype anchor, qsizetype cursor);

    // Where a character is drawn in the viewport; null for a character out of
    // sight.
    QRect characterRect(qsizetype offset) const;
    // The offset nearest to a point of the viewport.
    qsizetype offsetAt(QPoint position) const;
    // Scrolls the line that holds the offset into sight.
    void scrollTo(qsizetype offset);

    // Display lines, for tests and benchmarks. An empty text is one empty
    // line, and a text ending in LF ends with an empty line.
    qsizetype displayLineCount() const { return qsizetype(m_lineStarts.size()); }
    qsizetype displayLineLength(qsizetype line) const { return lineEnd(line) - lineStart(line); }
    // Whether the view shows the end of the text (follows new data).
    bool atBottom() const;
    // While held, new text and making room never move what is in sight (a
    // match being read). Released, a view that followed the end when it was
    // held goes back to it and follows it again.
    void holdPosition(bool hold);
    // A bar along the bottom edge, inside the frame, or none: the view's rows
    // end above it, so it hides none of the text, and the text keeps its
    // wrapping, which a view of hundreds of megabytes takes seconds to redo.
    void showBottomBar(QWidget* bar);

    // A text longer than this is wrapped again (at a new width or font) a
    // part at a time: the lines in sight at once, the rest a slice of at most
    // RewrapSliceMs at a time while the window goes on with its other events.
    static constexpr qsizetype RewrapAtOnce = qsizetype(1) << 18;
    static constexpr int RewrapSliceMs = 8;
    // Whether part of the text still waits to be wrapped again.
    bool rewrapping() const { return m_rewrap.pending(); }

signals:
    // Ctrl+F, or "Find..." in the context menu.
    void findRequested();
    // Ctrl and the wheel: larger text for a positive number of steps.
    void zoomRequested(int steps);
    // Text came at the end.
    void textAppended();
    // The characters before `cut` gave way to a notice of `noticeLength`
    // characters: an offset at or past `cut` moved by noticeLength - cut.
    void textTrimmed(qsizetype cut, qsizetype noticeLength);
    // The whole text was set or cleared.
    void textReplaced();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    static constexpr int Margin = 3; // between the edges and the text

    qsizetype lineStart(qsizetype line) const { return m_lineStarts[size_t(line)]; }
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineAt(qsizetype offset) const;
    qreal measure(QChar c, QChar previous, qreal lineWidth);
    struct LineFill;
    void wrap(QStringView text, qsizetype offset, std::vector<qsizetype>& starts, LineFill& filled);
    void wrapFrom(qsizetype offset);
    void rewrap();
    void rewrapInSight(bool follow, qsizetype topOffset);
    void rewrapSlice();
    void keepInSight(bool rewrapText);
    void updateMetrics();
    void refresh();
    void updateScrollRange();
    int visibleRows() const;
    void layoutLine(QTextLayout& layout, qsizetype line) const;
    const QTextLayout& shaped(qsizetype line) const;
    void forgetShapedOutOfSight() const;
    void updateFrom(qsizetype line);
    void selectTo(QPoint position);
    void announceInserted();
    static QString announcedHead(const QString& text);
    void placeBottomBar();

    // What dropOldestLines() took away: the characters before `cut`, which
    // were the display lines before `fromLine`, replaced by a notice of
    // `noticeLength` characters in `noticeLines` display lines.
    struct Trim {
        qsizetype cut = 0;
        qsizetype fromLine = 0;
        qsizetype noticeLines = 0;
        qsizetype noticeLength = 0;
    };
    Trim dropOldestLines();
    void makeRoom();

    QString m_text;
    std::vector<qsizetype> m_lineStarts{0};

    // How the last display line is filled so far, so that appending never
    // has to look back into it.
    struct LineFill {
        qreal width = 0;
        qsizetype breakAfterBlank = -1; // where the line breaks if it overflows
        qreal widthAfterBlank = 0;      // the width from there to the end
    };
    LineFill m_fill;

    // Where a wrapping stands: the next character to wrap, and the starts of
    // the lines so far, the last of which holds it, filled as `fill`.
    struct WrapPoint {
        qsizetype at = 0;
        std::vector<qsizetype> starts{0};
        LineFill fill;
    };
    void replaceLineStarts(qsizetype after, qsizetype before, const std::vector<qsizetype>& starts);
    // A re-wrap at a new width or font that is not done yet (log_view_rewrap.cpp).
    // The lines in sight, from `seam` to where `tail` began, are wrapped anew.
    // The lines after them are wrapped into `tail` up to the end of the text,
    // then those before them into `head` up to `seam`; each part takes the
    // place of the old lines once it is whole.
    struct Rewrap {
        bool after = false, before = false;
        WrapPoint tail, head;
        qsizetype seam = 0;
        // What had been dropped for the cap when it began: a trim moves
        // every offset, and the lines in sight are wrapped again from there.
        qint64 dropped = 0;
        bool pending() const { return after || before; }
    };
    Rewrap m_rewrap;
    QTimer m_rewrapTimer;
    // The scroll bar moves to the same text under other line numbers: what is
    // drawn stays.
    bool m_keepPixels = false;
    int m_wheelZoom = 0;

    QFontMetricsF m_metrics;
    // Per BMP character; negative until measured, and for tabs and surrogates,
    // whose widths depend on what is around them.
    std::vector<float> m_advances;
    QHash<char32_t, qreal> m_wideAdvances;
    qreal m_wrapWidth = 0;
    qreal m_tabWidth = 1;
    int m_lineHeight = 1;

    qsizetype m_anchor = 0; // selection [min, max) of anchor and cursor
    qsizetype m_cursor = 0;
    bool m_selecting = false;
    // Where the text appended since the last repaint starts, while an
    // assistive client listens and has not heard of it; else -1.
    qsizetype m_unannounced = -1;
    // The first display line that appends changed since the last repaint; else -1.
    qsizetype m_changedFrom = -1;

    // Display lines as last shaped, by line number; each is good for as long
    // as the line spans the same text.
    struct ShapedLine {
        qsizetype start = 0;
        qsizetype end = 0;
        std::unique_ptr<QTextLayout> layout;
    };
    mutable std::unordered_map<qsizetype, ShapedLine> m_shaped;

    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;

    bool m_held = false;
    bool m_followOnRelease = false;
    QPointer<QWidget> m_bottomBar;

    qint64 m_scrollback = std::numeric_limits<qint64>::max();
    QString m_noticeEnd;
    // The notice of what went, at the start of the text; 0 while nothing went.
    qsizetype m_noticeLength = 0;
    // Characters dropped since the text was last set, the notices aside.
    qint64 m_dropped = 0;
    // Where whole lines start, as appends told, at most one in WholeLineSpacing
    // characters: the places making room prefers to cut.
    std::deque<qsizetype> m_wholeLines;
};
