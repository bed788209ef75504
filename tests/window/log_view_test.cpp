#include "support/printers.h"
#include "window/log_view.h"

#include "support/assistive_client.h"
#include "support/wait.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace {

class LogViewTest : public ::testing::Test {
protected:
    LogViewTest() {
        m_view.setFixedSize(465, 293);
        m_view.show();
    }

    QScrollBar& bar() { return *m_view.verticalScrollBar(); }

    QStringList displayLines() const {
        QStringList lines;
        qsizetype start = 0;
        for (qsizetype line = 0; line < m_view.displayLineCount(); ++line) {
            lines.append(m_view.text().mid(start, m_view.displayLineLength(line)));
            start += lines.back().size();
        }
        return lines;
    }

    // Each display line is short, fits the view but for blanks at its end, and keeps
    // surrogate pairs whole.
    void expectLinesFit() const {
        const QFontMetricsF metrics(m_view.font());
        QChar previous;
        for (const QString& line : displayLines()) {
            ASSERT_LE(line.size(), LogView::MaxLineLength);
            ASSERT_LE(metrics.horizontalAdvance(line.trimmed().remove(u'\r')),
                      m_view.viewport()->width())
                << line.toStdString();
            ASSERT_FALSE(previous.isHighSurrogate() && line.front().isLowSurrogate());
            previous = line.back();
        }
    }

    void appendInChunks(const QString& text, qsizetype chunk) {
        for (qsizetype at = 0; at < text.size(); at += chunk)
            m_view.append(QStringView(text).mid(at, chunk));
    }

    LogView m_view;
};

TEST_F(LogViewTest, KeepsTextExactlyAndBreaksOnlyAtLineFeeds) {
    struct Case {
        std::vector<QString> appends;
        qsizetype lines;
    };
    const Case cases[] = {
        {{"AB\r", "CD\rEF", "\r"}, 1},
        {{"one\r", "\ntwo"}, 2},
        {{"one\r\ntwo\r\n"}, 3},
        {{"a\nb", "\nc"}, 3},
        {{"\n", "\n"}, 3},
        {{QString(3, QChar(0)), QString::fromUtf16(u"x\0y", 3)}, 1},
        {{"\r\r\r", "", "\r"}, 1},
        // Invisible, yet cut at the maximum length.
        {{QString(5000, u'\r')}, 5},
    };
    for (const Case& c : cases) {
        QString expected;
        m_view.clear();
        for (const QString& part : c.appends) {
            m_view.append(part);
            expected += part;
        }
        SCOPED_TRACE(expected.left(20).toStdString());
        EXPECT_EQ(m_view.text(), expected);
        EXPECT_EQ(m_view.displayLineCount(), c.lines);
    }
}

TEST_F(LogViewTest, WrapsTheSameWhateverTheAppendSizes) {
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("word%1 \r中文字符\t%2\r\n").arg(i).arg(QString(i % 40, u'x')) +
                QString::fromUcs4(U"\U0001F600\U00020000") + QString(i % 7, u'\r');
    m_view.setText(text);
    const QStringList whole = displayLines();
    for (const qsizetype chunk : {1, 2, 7, 1000}) {
        SCOPED_TRACE(chunk);
        m_view.clear();
        appendInChunks(text, chunk);
        EXPECT_EQ(m_view.text(), text);
        EXPECT_EQ(displayLines(), whole);
    }
}

TEST_F(LogViewTest, LongRunsWithoutLineFeedsAreCutIntoBoundedLines) {
    const QString cases[] = {
        QString("4F \r").repeated(20000),
        " " + QString("ABCDEFGHIJ").repeated(5000),
        QString("中文").repeated(5000),
        // A lone low surrogate first, then pairs.
        QChar(0xDE00) + QString::fromUcs4(U"\U0001F600").repeated(5000),
    };
    for (const QString& text : cases) {
        SCOPED_TRACE(text.left(8).toStdString());
        m_view.clear();
        appendInChunks(text, 1024);
        EXPECT_GT(m_view.displayLineCount(), text.size() / LogView::MaxLineLength);
        expectLinesFit();
    }
}

TEST_F(LogViewTest, WrapsAfterTheLastSpace) {
    m_view.setText(QString("alpha beta gamma delta ").repeated(100));
    const QStringList lines = displayLines();
    ASSERT_GT(lines.size(), 10);
    for (const QString& line : lines)
        EXPECT_TRUE(line.endsWith(u' ')) << line.toStdString();
    expectLinesFit();
}

TEST_F(LogViewTest, SetTextAndClearStartOver) {
    m_view.append(u"old\r\nlines\r\n");
    m_view.selectAll();
    m_view.setText("new\rtext");
    EXPECT_EQ(m_view.text(), "new\rtext");
    EXPECT_EQ(m_view.displayLineCount(), 1);
    EXPECT_TRUE(m_view.selectedText().isEmpty());
    m_view.selectAll();
    m_view.clear();
    EXPECT_EQ(m_view.text(), "");
    EXPECT_EQ(m_view.displayLineCount(), 1);
    EXPECT_EQ(m_view.selectedText(), "");
}

TEST_F(LogViewTest, SelectAllAndCopyKeysCopyTheExactText) {
    const QString text = QString::fromUtf16(u"a\rb\r\nc\0d", 8);
    m_view.append(text);
    QTest::keyClick(&m_view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_view.selectedText(), text);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&m_view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

TEST_F(LogViewTest, DraggingSelectsAcrossLinesAndAppendsKeepTheSelection) {
    m_view.setText("first line\r\nsecond line\r\nthird line");
    const int row = QFontMetrics(m_view.font()).lineSpacing();
    const QPoint farRightOfSecond(m_view.viewport()->width() - 1, row + row / 2);
    QTest::mousePress(m_view.viewport(), Qt::LeftButton, {}, {0, row / 2});
    QTest::mouseMove(m_view.viewport(), farRightOfSecond);
    QTest::mouseRelease(m_view.viewport(), Qt::LeftButton, {}, farRightOfSecond);
    EXPECT_EQ(m_view.selectedText(), "first line\r\nsecond line");

    m_view.append(u"\r\nmore\r\n");
    EXPECT_EQ(m_view.selectedText(), "first line\r\nsecond line");
}

TEST_F(LogViewTest, FollowsNewDataOnlyFromTheBottom) {
    m_view.setText(QString("line\r\n").repeated(100));
    ASSERT_GT(bar().maximum(), 0);
    ASSERT_TRUE(m_view.atBottom());
    const int before = bar().maximum();
    m_view.append(QString("more\r\n").repeated(50));
    EXPECT_TRUE(waitUntil([&] { return bar().maximum() == before + 50; }));
    EXPECT_TRUE(m_view.atBottom());
    EXPECT_EQ(bar().value(), bar().maximum());

    bar().setValue(10);
    m_view.append(QString("more\r\n").repeated(50));
    EXPECT_TRUE(waitUntil([&] { return bar().maximum() == before + 100; }));
    EXPECT_EQ(bar().value(), 10);
    EXPECT_FALSE(m_view.atBottom());
}

TEST_F(LogViewTest, KeysScroll) {
    m_view.setText(QString("line\r\n").repeated(200));
    const struct {
        QKeyCombination key;
        int to;
    } cases[] = {
        {Qt::Key_Down, 51},
        {Qt::Key_PageUp, 50 - bar().pageStep()},
        {Qt::ControlModifier | Qt::Key_Home, 0},
        {Qt::ControlModifier | Qt::Key_End, bar().maximum()},
    };
    for (const auto& c : cases) {
        bar().setValue(50);
        QTest::keyClick(&m_view, c.key.key(), c.key.keyboardModifiers());
        EXPECT_EQ(bar().value(), c.to) << c.key.toCombined();
    }
}

TEST_F(LogViewTest, NarrowingRewrapsAndKeepsFollowing) {
    m_view.setText(QString("alpha beta gamma delta ").repeated(200));
    const qsizetype wide = m_view.displayLineCount();
    m_view.setFixedSize(200, 293);
    ASSERT_TRUE(waitUntil([&] { return m_view.displayLineCount() > wide; }));
    EXPECT_TRUE(m_view.atBottom());
    EXPECT_EQ(bar().maximum(), m_view.displayLineCount() - bar().pageStep());
}

std::vector<qsizetype> lineStarts(const LogView& view) {
    std::vector<qsizetype> starts{0};
    for (qsizetype line = 0; line + 1 < view.displayLineCount(); ++line)
        starts.push_back(starts.back() + view.displayLineLength(line));
    return starts;
}

// A text too long to wrap again at once: the lines in sight are of the new
// width or font before the next event (and, after a line feed, broken where a
// fresh wrap breaks them), the rest follow between events, the top line's
// text stays in sight.
TEST_F(LogViewTest, ResizingWrapsTheLinesInSightAtOnceAndTheRestBetweenEvents) {
    const QString lines = QString("T=23.5 H=41% OK 0123456789 abcdef ghijk\r\n").repeated(8000);
    const QString hex = QString("4F \r0A \r").repeated(40000);
    const struct {
        const QString& text;
        bool follow;
        std::function<void(LogView&)> change;
    } cases[] = {
        {lines, true, [](LogView& v) { v.setFixedSize(150, 293); }},
        {lines, false, [](LogView& v) { v.setFont(QFont("DejaVu Sans", 20)); }},
        {hex, true, [](LogView& v) { v.setFixedSize(1000, 700); }},
        {hex, false, [](LogView& v) { v.setFixedSize(200, 293); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        m_view.setText({});
        m_view.setFont(QFont());
        m_view.setFixedSize(465, 293);
        m_view.setText(c.text);
        bar().setValue(c.follow ? bar().maximum() : bar().maximum() / 2);
        const qsizetype top = m_view.offsetAt(QPoint(0, 0));
        const qsizetype firstLength = m_view.displayLineLength(0);
        c.change(m_view);
        LogView fresh;
        fresh.setFixedSize(m_view.size());
        fresh.setFont(m_view.font());
        fresh.show();
        fresh.setText(c.text);
        const std::vector<qsizetype> wrapped = lineStarts(fresh);
        const auto expectInSight = [&] {
            const std::vector<qsizetype> starts = lineStarts(m_view);
            const QFontMetricsF metrics(m_view.font());
            const int width = m_view.viewport()->width();
            for (qsizetype line = bar().value();
                 line < std::min<qsizetype>(bar().value() + bar().pageStep(),
                                            qsizetype(starts.size()) - 1);
                 ++line) {
                const QString shown =
                    m_view.text().mid(starts[line], m_view.displayLineLength(line));
                ASSERT_LE(metrics.horizontalAdvance(shown.trimmed().remove(u'\r')), width);
                ASSERT_TRUE(
                    shown.endsWith(u'\n') ||
                    metrics.horizontalAdvance(
                        shown + m_view.text().mid(starts[line + 1], 32).section(' ', 0, 0)) >
                        width - 8);
                ASSERT_TRUE(&c.text == &hex ||
                            std::binary_search(wrapped.begin(), wrapped.end(), starts[line]));
            }
            const qsizetype shown = m_view.offsetAt(QPoint(0, 0));
            EXPECT_TRUE(c.follow ? m_view.atBottom()
                                 : shown <= top &&
                                       shown + m_view.displayLineLength(bar().value()) > top);
        };
        ASSERT_TRUE(m_view.rewrapping());
        EXPECT_EQ(m_view.displayLineLength(0), firstLength);
        expectInSight();
        ASSERT_TRUE(waitUntil([&] { return !m_view.rewrapping(); }));
        expectInSight();
        EXPECT_TRUE(&c.text == &hex || lineStarts(m_view) == wrapped);
        expectLinesFit();
    }
}

TEST_F(LogViewTest, AssistiveTechnologyReadsTheTextSelectionAndCaret) {
    m_view.setText(QString::fromUtf16(u"first line\r\nsecond\0line\r\n中文", 27));
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&m_view);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->role(), QAccessible::EditableText);
    EXPECT_TRUE(view->state().readOnly);
    EXPECT_TRUE(view->state().multiLine);
    for (int i = 0; i < view->childCount(); ++i)
        EXPECT_NE(view->child(i)->object(), m_view.viewport()) << "the text is the view's own";
    QAccessibleTextInterface* text = view->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 27);

    const struct {
        int from, to;
        const char* read;
    } ranges[] = {{0, 5, "first"}, {12, 18, "second"}, {25, -1, "中文"},
                  {-3, 2, "fi"},   {26, 99, "文"},     {17, 20, "d␀l"}};
    for (const auto& r : ranges)
        EXPECT_EQ(text->text(r.from, r.to), QString::fromUtf8(r.read)) << r.from << ".." << r.to;

    const int row = QFontMetrics(m_view.font()).lineSpacing();
    const struct {
        const char* what;
        std::function<void()> act;
        int from, to, caret;
    } steps[] = {
        {"Ctrl+A", [&] { QTest::keyClick(&m_view, Qt::Key_A, Qt::ControlModifier); }, 0, 27, 27},
        {"a range set", [&] { text->setSelection(0, 18, 12); }, 12, 18, 12},
        {"the caret set", [&] { text->setCursorPosition(3); }, 3, 3, 3},
        {"a double click",
         [&] {
             QTest::mouseDClick(m_view.viewport(), Qt::LeftButton, {}, {20, row + row / 2});
         },
         12, 18, 18},
        {"the selection removed", [&] { text->removeSelection(0); }, 18, 18, 18},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        int from = -1, to = -1;
        text->selection(0, &from, &to);
        EXPECT_EQ(text->selectionCount(), step.from != step.to ? 1 : 0);
        if (step.from != step.to) {
            EXPECT_EQ(std::pair(from, to), std::pair(step.from, step.to));
        }
        EXPECT_EQ(text->cursorPosition(), step.caret);
        EXPECT_EQ(m_view.selectedText(), m_view.text().mid(step.from, step.to - step.from));
    }

    // A character is found again at the place it is said to be drawn.
    for (const int offset : {0, 4, 12, 25, 26}) {
        const QRect place = text->characterRect(offset);
        ASSERT_FALSE(place.isEmpty()) << offset;
        EXPECT_EQ(text->offsetAtPoint(place.topLeft() + QPoint(1, 1)), offset);
    }
}

TEST_F(LogViewTest, AppendedTextIsAnnouncedOncePerRepaintWhileAClientListens) {
    struct Case {
        QString unheard;      // appended before the client listens
        QStringList appended; // then, all within one frame
        int position;
        QString told;
    };
    const Case cases[] = {
        {"", {"a"}, 0, "a"},
        {"unheard ", {"heard", " in ", "", "pieces\r\n"}, 8, "heard in pieces\r\n"},
        {"x", QStringList(1000, "0A \r"), 1, QString("0A \r").repeated(1000)},
        {"\n", {QString::fromUtf16(u"a\0b", 3)}, 1, QString::fromUtf8("a␀b")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unheard.toStdString());
        m_view.clear();
        m_view.append(c.unheard);
        AssistiveClient client;
        for (const QString& part : c.appended)
            m_view.append(part);
        ASSERT_TRUE(waitUntil([&] { return !client.heard.empty(); }));
        const auto inserts = client.of(QAccessible::TextInserted, &m_view);
        ASSERT_EQ(inserts.size(), 1u);
        EXPECT_EQ(inserts[0].position, c.position);
        EXPECT_EQ(inserts[0].text, c.told);
    }
}

// However large the text, a client hears it replaced from its start, told by its head.
TEST_F(LogViewTest, ReplacingTheTextIsToldByItsHead) {
    const QString large = QString("0A \r").repeated(100000);
    const QString head = large.left(LogView::AnnouncedLength);
    const struct {
        QString before, after, removed, inserted;
    } cases[] = {
        {"old", QString::fromUtf16(u"n\0w", 3), "old", QString::fromUtf8("n␀w")},
        {"old", large, "old", head},
        {large, "", head, ""},
    };
    for (const auto& c : cases) {
        m_view.setText(c.before);
        AssistiveClient client;
        m_view.setText(c.after);
        const auto told = client.of(QAccessible::TextUpdated, &m_view);
        ASSERT_EQ(told.size(), 1U);
        EXPECT_EQ(std::tuple(told[0].position, told[0].removed, told[0].text),
                  std::tuple(0, c.removed, c.inserted));
    }
}

TEST_F(LogViewTest, PastTheScrollbackTheOldestWholeLinesGiveWayToANotice) {
    constexpr qint64 cap = 1 << 16;
    const auto lines = [](int from, int count) {
        QString text;
        for (int i = from; i < from + count; ++i)
            text += QStringLiteral("line %1 %2\r\n").arg(i).arg(QString("ab ").repeated(i % 50));
        return text;
    };
    // As the receive area gets them: each line in front of the stamp after
    // it, told as a whole line.
    QString stamped;
    for (int i = 0; i < 1500; ++i)
        stamped += QStringLiteral("\r\nline %1 %2\r\nstamped %1")
                       .arg(i)
                       .arg(QString("ab ").repeated(i % 7));
    const struct {
        QString all;
        qsizetype chunk;   // appended this much at a time, or set whole; -1: by line
        QString firstKept; // hex lines break after a byte's blank
    } cases[] = {
        {lines(0, 3000), 100, "line "},
        {QString("4F \r").repeated(30000), 1000, "\r4F "},
        {lines(0, 3000), 0, "line "},
        {stamped, -1, "line "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chunk);
        m_view.clear();
        m_view.setScrollback(cap, "; end");
        if (c.chunk < 0) {
            for (const QString& line : c.all.split("\r\nline ", Qt::SkipEmptyParts))
                m_view.append(QStringLiteral("\r\nline ") + line, 2);
        } else {
            c.chunk ? appendInChunks(c.all, c.chunk) : m_view.setText(c.all);
        }
        const QString text = m_view.text();
        const QString kept = text.mid(text.indexOf("\r\n") + 2);
        EXPECT_TRUE(c.all.endsWith(kept) && kept.startsWith(c.firstKept));
        EXPECT_EQ(text.chopped(kept.size()),
                  QString("[%1 earlier characters are no longer shown; end]\r\n")
                      .arg(c.all.size() - kept.size()));
        EXPECT_TRUE(m_view.heldBytes() <= cap && m_view.heldBytes() > cap / 2);
        LogView fresh;
        fresh.setFixedSize(m_view.size());
        fresh.show();
        fresh.setText(text);
        ASSERT_EQ(m_view.displayLineCount(), fresh.displayLineCount());
        for (qsizetype line = 0; line < fresh.displayLineCount(); ++line)
            ASSERT_EQ(m_view.displayLineLength(line), fresh.displayLineLength(line)) << line;
        EXPECT_TRUE(waitUntil([&] {
            return m_view.atBottom() && bar().maximum() == fresh.verticalScrollBar()->maximum();
        }));
    }
    // A reader keeps the text in sight and the selection; one reading what went sees the notice.
    const auto shownFirst = [&] { return m_view.text().mid(m_view.offsetAt({0, 0}), 30); };
    m_view.setText(lines(0, 250));
    bar().setValue(bar().maximum() - 20);
    const QString reading = shownFirst();
    m_view.select(m_view.text().indexOf("line 230 "), m_view.text().indexOf("line 240 "));
    const QString selected = m_view.selectedText();
    AssistiveClient client;
    m_view.append(lines(250, 200));
    const auto told = client.of(QAccessible::TextUpdated, &m_view);
    ASSERT_EQ(told.size(), 1U);
    EXPECT_TRUE(told[0].removed.startsWith("line 0 ") && m_view.text().startsWith(told[0].text));
    EXPECT_EQ(std::pair(shownFirst(), m_view.selectedText()), std::pair(reading, selected));
    bar().setValue(0);
    m_view.append(lines(450, 300));
    EXPECT_TRUE(shownFirst().startsWith("["));
}

// The pixels a view shows in its window, as they were last drawn.
QImage shownBy(const QWidget& view) {
    const QPoint at = view.mapTo(view.window(), QPoint());
    return view.screen()
        ->grabWindow(view.window()->winId(), at.x(), at.y(), view.width(), view.height())
        .toImage();
}

// A view built afresh, which tells when it has been drawn whole.
class FreshView : public LogView {
public:
    using LogView::LogView;
    bool drawn = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        LogView::paintEvent(event);
        drawn = drawn || event->rect().contains(viewport()->rect());
    }
};

// A view reuses what it drew and shaped before; whatever the edit, it must
// show what a view built afresh with the same text and state shows.
TEST(LogViewDrawing, ShowsWhatAViewBuiltAfreshShowsAfterEachEdit) {
    QWidget window;
    window.resize(960, 320);
    auto* view = new LogView(&window);
    view->setFixedSize(465, 293);
    window.show();
    const auto lines = [](int from, int count) {
        QString text;
        for (int i = from; i < from + count; ++i)
            text +=
                QStringLiteral("line %1\t中文 Ée\u0301 %2\r\n").arg(i).arg(QString(i % 9, u'x'));
        return text;
    };
    const struct {
        const char* what;
        std::function<void(LogView&)> edit;
    } edits[] = {
        {"a text set", [&](LogView& v) { v.setText(lines(0, 40)); }},
        {"an append to the last line", [](LogView& v) { v.append(u"tail"); }},
        {"more on it", [](LogView& v) { v.append(u" 中文"); }},
        {"another font", [](LogView& v) { v.setFont(QFont("DejaVu Sans Mono", 13)); }},
        {"appended in the new font", [&](LogView& v) { v.append(lines(40, 1)); }},
        {"new lines", [&](LogView& v) { v.append(lines(41, 3)); }},
        {"more than a screenful", [&](LogView& v) { v.append(lines(43, 50)); }},
        {"a run that wraps", [](LogView& v) { v.append(QString("4F \r").repeated(400)); }},
        {"scrolled up", [](LogView& v) { v.verticalScrollBar()->setValue(30); }},
        {"scrolled down a line", [](LogView& v) { v.verticalScrollBar()->setValue(31); }},
        {"appended while scrolled up", [&](LogView& v) { v.append(lines(93, 5)); }},
        {"a selection", [](LogView& v) { v.select(700, 1500); }},
        {"back to the end", [](LogView& v) { v.verticalScrollBar()->setValue(1 << 30); }},
        {"appended under the selection", [&](LogView& v) { v.append(lines(98, 2)); }},
        {"narrower", [](LogView& v) { v.setFixedSize(300, 293); }},
        {"shorter", [](LogView& v) { v.setFixedSize(300, 150); }},
        {"cleared", [](LogView& v) { v.clear(); }},
        {"appended after the clear", [](LogView& v) { v.append(u"again"); }},
        {"a text too long to wrap again at once", [&](LogView& v) { v.setText(lines(0, 10000)); }},
        {"scrolled into it", [](LogView& v) { v.verticalScrollBar()->setValue(4000); }},
        {"wider, wrapped a part at a time", [](LogView& v) { v.setFixedSize(420, 293); }},
        {"a larger font, wrapped so", [](LogView& v) { v.setFont(QFont("DejaVu Sans", 15)); }},
    };
    const auto stateOf = [](const LogView& v) {
        return std::tuple(v.text(), v.size(), v.font(), v.selection(), v.cursorPosition(),
                          v.verticalScrollBar()->value());
    };
    std::unique_ptr<FreshView> fresh;
    // Built again whenever the view's state moves on, as it does when it catches up.
    const auto freshLike = [&](const LogView& v) -> const FreshView& {
        if (fresh && stateOf(*fresh) == stateOf(v))
            return *fresh;
        fresh = std::make_unique<FreshView>(&window);
        fresh->move(480, 0);
        fresh->setFixedSize(v.size());
        fresh->setFont(v.font());
        fresh->show();
        fresh->setText(v.text());
        const auto [from, to] = v.selection();
        fresh->select(v.cursorPosition() == from ? to : from, v.cursorPosition());
        fresh->verticalScrollBar()->setValue(v.verticalScrollBar()->value());
        return *fresh;
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.what);
        edit.edit(*view);
        EXPECT_TRUE(waitUntil([&] {
            const FreshView& expected = freshLike(*view);
            return expected.drawn && shownBy(*view) == shownBy(expected);
        }));
    }
}

} // namespace
