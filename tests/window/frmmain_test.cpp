#include "window/frmmain.h"

#include "support/assistive_client.h"
#include "support/fakes.h"
#include "support/wait.h"
#include "support/window_on_fakes.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/find_bar.h"
#include "window/find_session.h"
#include "window/log_view.h"
#include "window/shape.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

struct Control {
    const char* name;
    const char* kind;
    const char* container;
    const char* caption;
    // Twips; width 0 for labels that size themselves to their caption.
    int left, top, width, height;
};

const Control controls[] = {
    {"Frame1", "QGroupBox", "frmmain", "", 120, 0, 3255, 2655},
    {"Frame2", "QGroupBox", "frmmain", "", 120, 2640, 3255, 1215},
    {"Frame3", "QGroupBox", "frmmain", "", 120, 3960, 3255, 2055},
    {"Frame4", "QGroupBox", "frmmain", "", 120, 6120, 4695, 735},
    {"Frame5", "QGroupBox", "frmmain", "", 5280, 5520, 5175, 735},
    {"Text1", "LogView", "frmmain", "", 3480, 0, 6975, 4395},
    {"Text2", "QPlainTextEdit", "frmmain", "ATI\n", 3480, 4545, 6975, 975},
    {"Text4", "LogView", "frmmain", "", 6000, 6840, 3375, 735},
    {"Label6", "QLabel", "frmmain", "https://www.varnolix.example/", 120, 6840, 2535, 375},
    {"Label1", "QLabel", "Frame1", "Serial port", 240, 240, 0, 0},
    {"Combo1", "ComboBox", "Frame1", "COM1", 1800, 240, 975, 300},
    {"Label2", "QLabel", "Frame1", "Baud rate", 240, 600, 0, 0},
    {"Combo2", "ComboBox", "Frame1", "9600", 1800, 600, 975, 300},
    {"Label3", "QLabel", "Frame1", "Check", 240, 960, 0, 0},
    {"Combo3", "ComboBox", "Frame1", "None", 1800, 960, 975, 300},
    {"Label4", "QLabel", "Frame1", "Data bit", 240, 1320, 0, 0},
    {"Combo4", "ComboBox", "Frame1", "8", 1800, 1320, 975, 300},
    {"Label5", "QLabel", "Frame1", "Stop Bit", 240, 1680, 0, 0},
    {"Combo5", "ComboBox", "Frame1", "1", 1800, 1680, 975, 300},
    {"Command1", "QPushButton", "Frame1", "Open", 360, 2040, 1455, 495},
    {"Shape1", "Shape", "Frame1", "", 2400, 2160, 255, 255},
    {"Option1", "QRadioButton", "Frame2", "Show in HEX", 120, 360, 1455, 180},
    {"Option2", "QRadioButton", "Frame2", "Show in TXT", 120, 720, 1335, 255},
    {"Command4", "QPushButton", "Frame2", "Clcar buffer", 1680, 360, 1455, 495},
    {"Option3", "QRadioButton", "Frame3", "Send in HEX ", 120, 240, 1455, 255},
    {"Option4", "QRadioButton", "Frame3", "Send in TXT ", 120, 600, 1455, 255},
    {"Check2", "QCheckBox", "Frame3", "CR", 120, 960, 1215, 255},
    {"Check1", "QCheckBox", "Frame3", "Repeat", 120, 1320, 1215, 255},
    {"Label7", "QLabel", "Frame3", "Interval:", 120, 1680, 0, 0},
    {"Text3", "QLineEdit", "Frame3", "1000", 960, 1680, 855, 270},
    {"Label9(0)", "QLabel", "Frame3", "ms", 2040, 1680, 0, 0},
    {"Command2", "QPushButton", "Frame3", "Send", 1680, 360, 1455, 495},
    {"Command8", "QPushButton", "Frame4", "Clear", 120, 240, 975, 375},
    {"Label8", "QLabel", "Frame4", "RX", 1440, 360, 375, 255},
    {"Label10", "Counter", "Frame4", "0", 1920, 360, 735, 255},
    {"Label9(1)", "QLabel", "Frame4", "TX", 2760, 360, 375, 255},
    {"Label11", "Counter", "Frame4", "0", 3240, 360, 735, 255},
    {"Command5", "QPushButton", "Frame5", "Seva log", 600, 240, 1335, 375},
    {"Command3", "QPushButton", "Frame5", "Send File", 3000, 240, 1335, 375},
};

QString captionOf(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentText();
    if (auto* line = qobject_cast<QLineEdit*>(control))
        return line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
        return edit->toPlainText();
    if (auto* view = qobject_cast<LogView*>(control))
        return view->text();
    if (auto* counter = qobject_cast<Counter*>(control))
        return counter->text();
    return {};
}

int px(int twips) {
    return (twips + 7) / 15;
}

struct WindowTest : ::testing::Test {
    Fakes fakes;
    frmmain form{fakes.platform()};
};

TEST_F(WindowTest, EveryControlHasItsKindPlaceAndStartValue) {
    form.setObjectName("frmmain");
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* control = form.findChild<QWidget*>(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(control->metaObject()->className(), c.kind);
        EXPECT_EQ(control->parentWidget()->objectName(), c.container);
        EXPECT_EQ(captionOf(control), QString::fromUtf8(c.caption));
        EXPECT_EQ(control->pos(), QPoint(px(c.left), px(c.top)));
        if (c.width) {
            EXPECT_EQ(control->size(), QSize(px(c.width), px(c.height)));
        }
        EXPECT_TRUE(control->isEnabled() || control == form.Combo1);
    }
}

TEST_F(WindowTest, TheWindowHasItsTitleAndGrowsFromItsDesignSize) {
    EXPECT_EQ(form.windowTitle(), "Varnolix1.0");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.Text2->document()->blockCount(), 2);
    // The client area, with the status bar and the row under it below it, at
    // the design size, which is also the smallest.
    const int row = form.lowerBar->height();
    const int bar = form.statusBar->height() + row;
    const QSize design(702, 514 + bar);
    EXPECT_EQ(form.minimumSize(), design);
    EXPECT_EQ(form.size(), design);
    form.setObjectName("frmmain");
    form.show();
    // The edges a control keeps its distance to (right, bottom) and what it
    // takes (wider, taller); the rest keep their places.
    const std::map<std::string, const char*> follows = {{"Text1", "wt"},  {"Text2", "bw"},
                                                        {"Frame4", "b"},  {"Label6", "b"},
                                                        {"Frame5", "rb"}, {"Text4", "rb"}};
    const std::function<void()> sizes[] = {
        [&] { form.resize(400, 300); }, [&] { form.resize(1053, design.height() * 3 / 2); },
        [&] { form.showMaximized(); }, [&] { form.showNormal(); }};
    for (const auto& resize : sizes) {
        SCOPED_TRACE(&resize - sizes);
        resize();
        ASSERT_TRUE(waitUntil([&] { return form.isMaximized() == (&resize == &sizes[2]); }));
        const int wider = form.width() - design.width(), taller = form.height() - design.height();
        EXPECT_TRUE(form.isMaximized() ? wider > 0 && taller > 0 : wider >= 0 && taller >= 0);
        for (const Control& c : controls) {
            if (std::string(c.container) != "frmmain")
                continue;
            const auto has = [&](char how) {
                return follows.count(c.name) && std::strchr(follows.at(c.name), how) ? 1 : 0;
            };
            EXPECT_EQ(form.findChild<QWidget*>(c.name)->geometry(),
                      QRect(px(c.left) + has('r') * wider, px(c.top) + has('b') * taller,
                            px(c.width) + has('w') * wider, px(c.height) + has('t') * taller))
                << c.name;
        }
        EXPECT_EQ(form.statusBar->geometry(),
                  QRect(0, form.height() - bar, form.width(), bar - row));
        EXPECT_EQ(form.lowerBar->geometry(), QRect(0, form.height() - row, form.width(), row));
    }
    // The find bar stays along the bottom of the receive area.
    QTest::keyClick(form.Text1, Qt::Key_F, Qt::ControlModifier);
    form.resize(900, 700);
    EXPECT_EQ(form.receiveFind->geometry().bottom(),
              form.Text1->viewport()->geometry().bottom() + form.receiveFind->height());
}

TEST_F(WindowTest, SelectorsListTheirEntriesWithNoneSelected) {
    const std::pair<ComboBox*, QStringList> lists[] = {
        {form.Combo1,
         {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10", "COM11",
          "COM12", "COM13", "COM14", "COM15"}},
        {form.Combo2, {"600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}},
        {form.Combo3, {"None", "Odd", "Even"}},
        {form.Combo4, {"8", "7", "6"}},
        {form.Combo5, {"1", "2"}},
    };
    for (const auto& [combo, items] : lists) {
        SCOPED_TRACE(combo->objectName().toStdString());
        QStringList listed;
        for (int i = 0; i < combo->count(); ++i)
            listed << combo->itemText(i);
        EXPECT_EQ(listed, items);
        EXPECT_EQ(combo->currentIndex(), -1);
        EXPECT_TRUE(combo->isEditable());
    }
}

TEST_F(WindowTest, OptionGroupsAreApartAndCheckBoxesStartUnticked) {
    EXPECT_TRUE(form.Option2->isChecked());
    EXPECT_TRUE(form.Option4->isChecked());
    form.Option1->setChecked(true);
    EXPECT_FALSE(form.Option2->isChecked());
    EXPECT_TRUE(form.Option4->isChecked());
    form.Option3->setChecked(true);
    EXPECT_TRUE(form.Option1->isChecked());
    EXPECT_FALSE(form.Option4->isChecked());
    EXPECT_FALSE(form.Check1->isChecked());
    EXPECT_FALSE(form.Check2->isChecked());
}

TEST_F(WindowTest, TabOrderFollowsTheWindowsOrder) {
    const char* expected[] = {"Combo1", "Combo2", "Combo3", "Text1", "Combo4", "Combo5", "Command1",
                              "Text2", "Command4", "Option1", "Option2", "Command2", "Option3",
                              "Option4", "Check1", "Text3", "Command8", "Command5", "Command3",
                              "Text4", "Check2",
                              // The status bar, left to right.
                              "dtrToggle", "rtsToggle", "breakButton", "flowControl", "CTS", "DSR",
                              "DCD", "RI", "framingErrors", "parityErrors", "overrunErrors",
                              "bufferOverruns", "lineEnd", "quickSend", "portWait",
                              "receiveRate"};
    QWidget* widget = form.findChild<QWidget*>(expected[0]);
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        do
            widget = widget->nextInFocusChain();
        while (widget->objectName().isEmpty() || !(widget->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(widget->objectName(), expected[i]);
    }
}

TEST_F(WindowTest, LabelsOfThePortSettingsUseAChineseSerifFont) {
    const QFont font = form.Label1->font();
    EXPECT_EQ(font.families().value(0), "SimSun");
    EXPECT_TRUE(font.families().contains("Noto Serif CJK SC"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 10.5);
}

TEST_F(WindowTest, ScreenReadersTellTheNamedControlsApart) {
    const struct {
        QWidget* control;
        QAccessible::Role role;
        const char *name, *description, *value;
    } reads[] = {
        {form.Combo1, QAccessible::ComboBox, "Serial port", "", "COM1"},
        {form.Combo2, QAccessible::ComboBox, "Baud rate", "", "9600"},
        {form.Combo3, QAccessible::ComboBox, "Check", "", "None"},
        {form.Combo4, QAccessible::ComboBox, "Data bit", "", "8"},
        {form.Combo5, QAccessible::ComboBox, "Stop Bit", "", "1"},
        {form.Text3, QAccessible::EditableText, "Interval:", "", "1000"},
        {form.Text1, QAccessible::EditableText, "Received", "", ""},
        {form.Text2, QAccessible::EditableText, "To send", "", "ATI\n"},
        {form.Text4, QAccessible::EditableText, "Sent", "", ""},
        {form.Label10, QAccessible::StaticText, "0", "Bytes received", ""},
        {form.Label11, QAccessible::StaticText, "0", "Bytes sent", ""},
        // The status bar's controls are described by their tooltips.
        {form.dtrToggle, QAccessible::CheckBox, "DTR",
         "DTR is put on the line right after the port opens", ""},
        {form.breakButton, QAccessible::Button, "Break", "Open the port to send a break", ""},
        {form.flowControl, QAccessible::ComboBox, "Flow control", "", "None"},
        {form.lineEnd, QAccessible::ComboBox, "Line end",
         "What a text send adds while \"CR\" is ticked, and what each line break in the send "
         "box goes out as",
         "CR LF"},
        {form.lineLamps[0], QAccessible::StaticText, "CTS off", "Clear To Send", ""},
        {form.errorCounts[3], QAccessible::StaticText, "Buffer overruns 0",
         "Counted by the driver since the port opened", ""},
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.control->objectName().toStdString());
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(r.control);
        EXPECT_EQ(read->role(), r.role);
        EXPECT_EQ(read->text(QAccessible::Name), r.name);
        EXPECT_EQ(read->text(QAccessible::Description), r.description);
        EXPECT_EQ(read->text(QAccessible::Value), r.value);
        // A selector's entry is still typed into, and read from, its text field.
        if (qobject_cast<QComboBox*>(r.control) && read->childCount() > 1) {
            EXPECT_EQ(read->child(1)->text(QAccessible::Value), r.value);
        }
    }
}

// "Text encoding" in the receive area's menu: received text however the reads
// cut it, text sends, and Save log.
TEST(TextEncoding, ShowsSendsAndSavesTextInTheChosenEncoding) {
    const struct {
        TextEncoding encoding;
        QByteArray received;
        std::u16string shown;
        QByteArray saved;
        std::u16string sendBox;
        QByteArray sent;
        const char* refused;
    } cases[] = {
        {TextEncoding::Gbk, "\xD6\xD0\xCE\xC4\x81\x20", u"\u4E2D\u6587\uFFFD ",
         "\xD6\xD0\xCE\xC4? ", u"\u4E2D\n\U0001F600", "",
         "\"\U0001F600\" (U+1F600) at line 2, column 1 cannot be sent in GBK (code page 936)"},
        {TextEncoding::Utf8, "\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u4E2D\U0001F600",
         "\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u4E2D\U0001F600", "\xE4\xB8\xAD\xF0\x9F\x98\x80", ""},
        // One U+FFFD for each byte that is no part of a character.
        {TextEncoding::Utf8,
         "\xE4\xB8"
         "A\xFF\xED\xA0\x80\xC0\xAF",
         u"\uFFFD\uFFFDA\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD",
         QByteArray("\xEF\xBF\xBD").repeated(2) + "A" + QByteArray("\xEF\xBF\xBD").repeated(6), u"",
         "", ""},
        {TextEncoding::Latin1, "caf\xE9 \xFF", u"caf\u00E9 \u00FF", "caf\xE9 \xFF", u"\u00E9\u2122",
         "", "\"\u2122\" (U+2122) at line 1, column 2 cannot be sent in Latin-1"},
    };
    Fakes fakes;
    fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
    QTemporaryDir folder;
    frmmain form(fakes.platform());
    for (const auto& c : cases) {
        SCOPED_TRACE(textEncodingName(c.encoding).toStdString());
        form.encodingActions[std::size_t(c.encoding)]->trigger();
        for (qsizetype cut = 0; cut <= c.received.size(); ++cut) {
            form.Text1->clear();
            form.Label10->setText("0");
            fakes.serial.receive(c.received.left(cut));
            fakes.serial.receive(c.received.mid(cut));
            ASSERT_EQ(form.Text1->text(), QString::fromStdU16String(c.shown)) << "cut at " << cut;
            EXPECT_EQ(form.Label10->text().toInt(), c.received.size());
        }

        fakes.serial.sent.clear();
        form.Text4->clear();
        form.Label11->setText("0");
        fakes.messages.shown.clear();
        form.Text2->setPlainText(QString::fromStdU16String(c.sendBox));
        form.Command2->click();
        EXPECT_EQ(fakes.serial.sent, c.sent);
        EXPECT_EQ(form.Label11->text().toInt(), c.sent.size());
        EXPECT_EQ(form.Text4->text(), c.sent.isEmpty() ? QString() : form.Text2->toPlainText());
        EXPECT_EQ(fakes.messages.texts(),
                  *c.refused ? QStringList{QString::fromUtf8(c.refused)} : QStringList{});

        fakes.dialog.answers.push_back(folder.filePath("log.txt"));
        form.Command5->click();
        QFile log(folder.filePath("log.txt"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_EQ(log.readAll(), c.saved + "\r\n");
    }
}

// RX and TX keep their design size: a count of up to ten digits is drawn
// smaller (only when it must be) rather than cut, and read whole by name and
// in the tooltip.
TEST_F(WindowTest, CountersShowEveryDigitUpToTenAndTellTheExactCount) {
    const int normal = QFontInfo(form.Label10->font()).pointSize();
    for (const char* count : {"7", "1234567", "12345678", "1234567890"}) {
        for (Counter* counter : {form.Label10, form.Label11}) {
            SCOPED_TRACE(count);
            counter->setText(count);
            ASSERT_TRUE(waitUntil([&] { return counter->toolTip().endsWith(count); }));
            const QFont shown = counter->shownFont();
            EXPECT_LE(QFontMetricsF(shown).horizontalAdvance(count), counter->width());
            EXPECT_EQ(QFontInfo(shown).pointSizeF() < normal,
                      QFontMetricsF(counter->font()).horizontalAdvance(count) > counter->width());
            EXPECT_EQ(QAccessible::queryAccessibleInterface(counter)->text(QAccessible::Name),
                      count);
            EXPECT_EQ(counter->toolTip(), counter->accessibleDescription() + ": " + count);
        }
    }
    EXPECT_LT(QFontInfo(form.Label10->shownFont()).pointSizeF(), normal);
}

using AccessibleWindowTest = WindowOnFakes;

TEST_F(AccessibleWindowTest, CountersAndTheLampReadAsTheirValuesAndTellOfChanges) {
    const struct Step {
        const char* what;
        std::function<void(frmmain&, Fakes&)> act;
        const char *rx, *tx, *lamp;
        std::size_t rxTold, txTold; // name changes heard, one a frame at most
    } steps[] = {
        // The captions set at start-up.
        {"start-up", [](frmmain&, Fakes&) {}, "0", "0", "Port open", 1, 1},
        {"a thousand reads",
         [](frmmain&, Fakes& f) {
             for (int i = 0; i < 1000; ++i)
                 f.serial.receive("a");
         },
         "1000", "0", "Port open", 1, 0},
        {"a send", [](frmmain& w, Fakes&) { w.Command2->click(); }, "1000", "4", "Port open", 0, 1},
        {"counters cleared", [](frmmain& w, Fakes&) { w.Command8->click(); }, "0", "0", "Port open",
         1, 1},
        {"port closed", [](frmmain& w, Fakes&) { w.Command1->click(); }, "0", "0", "Port closed", 0,
         0},
        // Only a caption that reads otherwise is told, in the frame the other one is.
        {"one caption set to what it reads, one changed",
         [](frmmain& w, Fakes&) {
             w.Label11->setText("0");
             w.Label10->setText("7");
         },
         "7", "0", "Port closed", 1, 0},
    };
    const auto nameOf = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Label10)->role(),
              QAccessible::StaticText);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Shape1)->role(), QAccessible::Graphic);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        AssistiveClient client;
        step.act(*form, fakes);
        EXPECT_EQ(nameOf(form->Label10), step.rx);
        EXPECT_EQ(nameOf(form->Label11), step.tx);
        EXPECT_EQ(nameOf(form->Shape1), step.lamp);
        const auto told = [&](Counter* counter) {
            return client.of(QAccessible::NameChanged, counter);
        };
        EXPECT_TRUE(waitUntil([&] {
            return told(form->Label10).size() >= step.rxTold &&
                   told(form->Label11).size() >= step.txTold;
        }));
        EXPECT_EQ(told(form->Label10).size(), step.rxTold);
        EXPECT_EQ(told(form->Label11).size(), step.txTold);
        for (const auto& heard : told(form->Label10))
            EXPECT_EQ(heard.text, step.rx);
        for (const auto& heard : told(form->Label11))
            EXPECT_EQ(heard.text, step.tx);
    }
}

// The receive rate in the status bar: what RX counted over the last second,
// blank while nothing comes, read as a number of bytes per second.
TEST_F(AccessibleWindowTest, TheStatusBarShowsTheReceiveRateOnceASecond) {
    form->rateTimer.stop();
    ASSERT_EQ(form->rateTimer.interval(), 1000);
    const struct {
        QByteArray received;
        const char* shown;
    } seconds[] = {{"", ""},
                   {QByteArray(1234, 'a'), "1.2 kB/s"},
                   {"", ""},
                   {QByteArray(999, 'a'), "999 B/s"},
                   {"cleared", "7 B/s"}};
    for (const auto& second : seconds) {
        SCOPED_TRACE(second.shown);
        if (second.received == "cleared")
            form->Command8->click();
        fakes.serial.receive(second.received);
        form->rateTimer_Timer();
        EXPECT_TRUE(form->receiveRate->isVisibleTo(form.get()));
        EXPECT_EQ(form->receiveRate->text(), second.shown);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(form->receiveRate)->text(QAccessible::Name),
                  QString("Receiving %1 bytes per second")
                      .arg(second.shown[0] ? second.received.size() : 0));
    }
    EXPECT_EQ(rateText(999950), "1.0 MB/s");
}

// The status bar as a screen reader reads it, "~" before a disabled control,
// "+" after a ticked toggle, "!" after a count in the warning colour.
QString statusRead(const frmmain& form) {
    QStringList read{form.flowControl->currentText()};
    for (QWidget* control : form.statusBar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* toggle = qobject_cast<QCheckBox*>(control);
        if (control != form.flowControl && control->isVisibleTo(&form))
            read << (control->isEnabled() ? "" : "~") +
                        QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name) +
                        (toggle && toggle->isChecked() ? "+" : "") +
                        (control->styleSheet().contains("#c00000") ? "!" : "");
    }
    return read.join(u' ');
}

TEST(StatusBar, ShowsWhatTheDeviceOffersAndActsOnTheLine) {
    const struct Step {
        const char* what;
        std::function<void(frmmain&, FakeSerialDevice&)> act;
        const char *read, *written; // the component's writes in the step
    } steps[] = {
        {"started with --dtr off on a device that offers nothing",
         [](frmmain&, FakeSerialDevice&) {},
         "None ~DTR ~RTS+ ~Break ~CTS off ~DSR off ~DCD off ~RI off ~Framing errors 0 "
         "~Parity errors 0 ~Overrun errors 0 ~Buffer overruns 0",
         ""},
        {"reopened on one that offers all; CTS and DCD raised, errors counted",
         [](frmmain& w, FakeSerialDevice& d) {
             w.Command1->click();
             d.offer = {true, true, true, true, true};
             w.Command1->click();
             d.changeLines({.cts = true, .dcd = true});
             d.countErrors({3, 0, 1, 0});
         },
         "None DTR RTS+ Break CTS on DSR off DCD on RI off Framing errors 3! Parity errors 0 "
         "Overrun errors 1! Buffer overruns 0",
         "PortOpen=false PortOpen=true"},
        {"Clear, DTR ticked, RTS/CTS chosen, Break clicked twice",
         [](frmmain& w, FakeSerialDevice&) {
             w.Command8->click();
             w.dtrToggle->click();
             w.flowControl->setCurrentIndex(1);
             emit w.flowControl->activated(1);
             w.breakButton->click();
             EXPECT_TRUE(w.breakButton->isDown());
             w.breakButton->click();
             ASSERT_TRUE(waitUntil([&] { return !w.breakButton->isDown(); }));
         },
         "RTS/CTS DTR+ ~RTS+ Break CTS on DSR off DCD on RI off Framing errors 0 Parity errors 0 "
         "Overrun errors 0 Buffer overruns 0",
         "DTREnable=true Handshaking=2 Break=250"},
        {"more errors, closed, RTS unticked for the next open",
         [](frmmain& w, FakeSerialDevice& d) {
             d.countErrors({5, 5, 1, 0});
             w.Command1->click();
             w.rtsToggle->click();
         },
         "RTS/CTS DTR+ RTS ~Break CTS off DSR off DCD off RI off Framing errors 2! "
         "Parity errors 5! Overrun errors 0 Buffer overruns 0",
         "PortOpen=false RTSEnable=false"},
    };
    Fakes fakes;
    fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
    QTemporaryDir folder;
    SettingsFile settings(folder.filePath("varnolix.conf"));
    RunOptions options;
    options.dtr = false;
    options.settings = &settings;
    frmmain form(fakes.platform(), options);
    EXPECT_LT(fakes.serial.writes.indexOf("DTREnable=false"),
              fakes.serial.writes.indexOf("PortOpen=true"));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        fakes.serial.writes.clear();
        step.act(form, fakes.serial);
        EXPECT_EQ(statusRead(form), step.read);
        EXPECT_EQ(
            fakes.serial.writes.filter(QRegularExpression("^(?!InputMode|Settings)")).join(u' '),
            step.written);
    }
    EXPECT_TRUE(fakes.messages.shown.empty());

    // The next start puts on the line what the user chose, before the open;
    // --dtr off was for its run only.
    Fakes next;
    frmmain again(next.platform(), {.settings = &settings});
    EXPECT_EQ(next.serial.writes.join(u' '),
              "RTSEnable=false Handshaking=2 CommPort=1 PortOpen=true");
}

// Ctrl+Plus, Ctrl+Minus and Ctrl+0 to the focused control, and Ctrl and the
// wheel over either area, size the text of the receive area and the echo;
// the window's size, maximised state and text size are there at the next start.
TEST(TextSize, KeysAndTheWheelSizeBothAreasAndTheWindowComesBackAsItWasLeft) {
    QTemporaryDir folder;
    SettingsFile settings(folder.filePath("varnolix.conf"));
    Fakes fakes;
    auto form = std::make_unique<frmmain>(fakes.platform(), RunOptions{.settings = &settings});
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const int normal = QFontInfo(form->font()).pointSize();
    const auto key = [&](QWidget* focus, Qt::Key key, int times = 1) {
        return [=] {
            focus->setFocus();
            for (int i = 0; i < times; ++i)
                QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        };
    };
    const std::pair<std::function<void()>, int> steps[] = {
        {key(form->Text1, Qt::Key_Plus), normal + 1},
        {key(form->Text1, Qt::Key_Equal), normal + 2},
        {[&] {
             QWidget* under = form->Text4->viewport();
             QWheelEvent up({5, 5}, under->mapToGlobal(QPointF(5, 5)), {}, {0, 120}, Qt::NoButton,
                            Qt::ControlModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(under, &up);
         },
         normal + 3},
        {key(form->Text1, Qt::Key_Minus, 40), UserSettings::SmallestText},
        {key(form->Text1, Qt::Key_0), normal},
        {key(form->Text2, Qt::Key_Plus), normal + 1},
    };
    for (const auto& [act, points] : steps) {
        SCOPED_TRACE(points);
        act();
        EXPECT_EQ(QFontInfo(form->Text1->font()).pointSize(), points);
        EXPECT_EQ(QFontInfo(form->Text4->font()).pointSize(), points);
        EXPECT_EQ(settings.load().textSize, points == normal ? 0 : points);
    }
    // The first start ever was at the design size.
    EXPECT_EQ(settings.load().windowWidth, 0);
    form->resize(760, 600);
    form->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return form->isMaximized(); }));
    form->close();
    form.reset();
    const UserSettings kept = settings.load();
    EXPECT_EQ(std::tuple(kept.windowWidth, kept.windowHeight, kept.maximized, kept.textSize),
              std::tuple(760, 600, true, normal + 1));
    frmmain again(fakes.platform(), {.settings = &settings});
    EXPECT_EQ(
        std::tuple(again.size(), again.isMaximized(), QFontInfo(again.Text1->font()).pointSize()),
        std::tuple(QSize(760, 600), true, normal + 1));
}

// Find in the receive area, as the user does it: keys to the widget that has
// the focus, from Ctrl+F in the area to Escape back to it and Ctrl+C.
TEST(FindInTheReceiveArea, KeysFindEachMatchAndTheBarSaysWhichOfHowMany) {
    const QByteArray lines = "Alpha 1\nbeta\nALPHA 2\nalpha 3\n";
    const QKeyCombination F3 = Qt::Key_F3, ShiftF3 = Qt::ShiftModifier | Qt::Key_F3;
    const struct {
        const char* what;
        bool hex;
        QByteArray received;
        QString typed;
        std::vector<QKeyCombination> keys;
        QByteArray arriving = {}; // while the bar is open
        std::vector<QKeyCombination> keysAfter = {};
        QString status;
        QString selected;
        qint64 scrollback = RunOptions().scrollback;
    } cases[] = {
        {"past the last, the first",
         false,
         lines,
         "alpha",
         {F3, F3, F3},
         {},
         {},
         "1 of 3, wrapped to the top",
         "Alpha"},
        {"before the first, the last",
         false,
         lines,
         "alpha",
         {ShiftF3},
         {},
         {},
         "3 of 3, wrapped to the bottom",
         "alpha"},
        {"Enter and Shift+Enter",
         false,
         lines,
         "alpha",
         {Qt::Key_Return, Qt::Key_Return, Qt::ShiftModifier | Qt::Key_Return},
         {},
         {},
         "2 of 3",
         "ALPHA"},
        {"matching case",
         false,
         lines,
         "alpha",
         {Qt::AltModifier | Qt::Key_C},
         {},
         {},
         "1 of 1",
         "alpha"},
        {"hex display, across the CRs", true, "OK\r\n", "0d 0a", {}, {}, {}, "1 of 1", "0D \r0A"},
        // The match is on the last line, where the view would follow the end.
        {"data arriving leaves the match in sight",
         false,
         QByteArray("beta\n").repeated(100) + "alpha 1",
         "alpha",
         {},
         "\n" + QByteArray("beta\n").repeated(300) + "alpha 2\n",
         {},
         "1 of 2",
         "alpha"},
        {"the match keeps to its text past the scrollback",
         false,
         QByteArray("beta\n").repeated(3000) + "alpha 1\nalpha 2\n",
         "alpha",
         {},
         QByteArray("beta\n").repeated(1000),
         {F3},
         "2 of 2",
         "alpha",
         1 << 16},
    };
    Fakes fakes;
    fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
    const auto press = [](QKeyCombination key) {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        frmmain form(fakes.platform(), {nullptr, false, c.scrollback});
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        (c.hex ? form.Option1 : form.Option2)->setChecked(true);
        fakes.serial.receive(c.received);
        const auto idle = [&] { return !form.receiveFind->session().busy(); };
        const auto pressAll = [&](const std::vector<QKeyCombination>& keys) {
            for (const QKeyCombination key : keys) {
                press(key);
                ASSERT_TRUE(waitUntil(idle));
            }
        };
        form.Text1->setFocus(Qt::MouseFocusReason);
        press(Qt::ControlModifier | Qt::Key_F);
        ASSERT_EQ(QApplication::focusWidget(), form.receiveFind->field());
        // Read as a text field with its buttons.
        for (const auto& [widget, role, name] :
             {std::tuple<QObject*, QAccessible::Role, QString>{
                  form.receiveFind->field(), QAccessible::EditableText, "Find in the receive area"},
              {form.receiveFind->findChildren<QAbstractButton*>().value(0), QAccessible::Button,
               "Previous match"}}) {
            const QAccessibleInterface* read = QAccessible::queryAccessibleInterface(widget);
            EXPECT_EQ(std::pair(read->role(), read->text(QAccessible::Name)),
                      std::pair(role, name));
        }
        QTest::keyClicks(QApplication::focusWidget(), c.typed);
        ASSERT_TRUE(waitUntil(idle));
        pressAll(c.keys);
        fakes.serial.receive(c.arriving);
        ASSERT_TRUE(waitUntil(idle));
        pressAll(c.keysAfter);
        EXPECT_EQ(form.receiveFind->status()->text(), c.status);
        // In sight, above the bar.
        EXPECT_FALSE(form.Text1->characterRect(form.Text1->selection().first).isNull());

        press(Qt::Key_Escape);
        EXPECT_EQ(QApplication::focusWidget(), form.Text1);
        EXPECT_TRUE(form.receiveFind->isHidden());
        EXPECT_TRUE(waitUntil([&] { return form.Text1->atBottom(); }));
        QGuiApplication::clipboard()->clear();
        press(Qt::ControlModifier | Qt::Key_C);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.selected);
    }
}

} // namespace
