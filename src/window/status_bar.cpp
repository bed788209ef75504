#include "window/combo_box.h"
#include "window/counter.h"
#include "window/frmmain.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <initializer_list>

namespace {

QLabel* indicator(QStatusBar* bar, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, bar);
    label->setObjectName(QLatin1String(name));
    // Reached with Tab like the controls beside it, so that a screen reader
    // reads it on the way.
    label->setFocusPolicy(Qt::TabFocus);
    label->setContentsMargins(3, 0, 3, 0);
    bar->addWidget(label);
    return label;
}

} // namespace

// The status bar goes under the window's client area, which keeps every
// control in its place, and stays along the bottom edge as the window grows.
void frmmain::createStatusBar() {
    const QSize client = size();
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setSizeGripEnabled(false);

    dtrToggle = new QCheckBox(QStringLiteral("DTR"), statusBar);
    dtrToggle->setObjectName(QStringLiteral("dtrToggle"));
    rtsToggle = new QCheckBox(QStringLiteral("RTS"), statusBar);
    rtsToggle->setObjectName(QStringLiteral("rtsToggle"));
    breakButton = new QPushButton(QStringLiteral("Break"), statusBar);
    breakButton->setObjectName(QStringLiteral("breakButton"));
    flowControl = new ComboBox(statusBar);
    flowControl->setObjectName(QStringLiteral("flowControl"));
    flowControl->setEditable(false);
    flowControl->addItems(
        {QStringLiteral("None"), QStringLiteral("RTS/CTS"), QStringLiteral("XON/XOFF")});
    flowControl->setAccessibleName(QStringLiteral("Flow control"));
    for (QWidget* control :
         std::initializer_list<QWidget*>{dtrToggle, rtsToggle, breakButton, flowControl})
        statusBar->addWidget(control);

    const char* const lamps[] = {"CTS", "DSR", "DCD", "RI"};
    for (std::size_t i = 0; i < lineLamps.size(); ++i)
        lineLamps[i] = indicator(statusBar, lamps[i], QLatin1String(lamps[i]));
    const std::pair<const char*, const char*> counts[] = {{"framingErrors", "Framing errors"},
                                                          {"parityErrors", "Parity errors"},
                                                          {"overrunErrors", "Overrun errors"},
                                                          {"bufferOverruns", "Buffer overruns"}};
    for (std::size_t i = 0; i < errorCounts.size(); ++i)
        errorCounts[i] = indicator(statusBar, counts[i].first, QString());

    const int height = statusBar->sizeHint().height();
    statusBar->setGeometry(0, client.height(), client.width(), height);
    setMinimumSize(client.width(), client.height() + height);
    resize(minimumSize());
    m_statusHeight = height;

    // After the window's own controls, left to right.
    QWidget* previous = Check2;
    const auto follow = [&](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QWidget* control :
         std::initializer_list<QWidget*>{dtrToggle, rtsToggle, breakButton, flowControl})
        follow(control);
    for (QLabel* label : lineLamps)
        follow(label);
    for (QLabel* label : errorCounts)
        follow(label);
}

// The send side on the left of the lower bar, before the wait for a lost
// port: what a text send's line ends with, and the quick sends.
void frmmain::createSendBar() {
    lineEndLabel = new QLabel(QStringLiteral("Line end:"), lowerBar);
    lineEndLabel->setObjectName(QStringLiteral("lineEndLabel"));
    lineEndLabel->setContentsMargins(3, 0, 0, 0);
    lineEnd = new ComboBox(lowerBar);
    lineEnd->setObjectName(QStringLiteral("lineEnd"));
    lineEnd->setEditable(false);
    for (const LineEnd end : LineEnds)
        lineEnd->addItem(lineEndCaption(end));
    lineEnd->setCurrentIndex(int(m_options.lineEnd.value_or(m_remembered.lineEnd)));
    lineEnd->setAccessibleName(QStringLiteral("Line end"));
    lineEnd->setToolTip(QStringLiteral("What a text send adds while \"CR\" is ticked, and what "
                                       "each line break in the send box goes out as"));
    lineEndLabel->setBuddy(lineEnd);

    quickSend = new QPushButton(QStringLiteral("Quick send"), lowerBar);
    quickSend->setObjectName(QStringLiteral("quickSend"));
    quickSend->setAccessibleName(QStringLiteral("Quick send"));
    quickSendMenu = new QMenu(quickSend);
    quickSendMenu->setObjectName(QStringLiteral("quickSendMenu"));
    for (int i = 0; i < MaxQuickSends; ++i) {
        QAction* action = quickSendActions[i] = quickSendMenu->addAction(QString());
        action->setObjectName(QStringLiteral("quickSend%1").arg(i + 1));
        if (i < 9) {
            action->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key(Qt::Key_1 + i)));
            // Anywhere in the window, not only while the menu is open.
            addAction(action);
        }
    }
    noQuickSends = quickSendMenu->addAction(QStringLiteral("No quick sends yet"));
    noQuickSends->setEnabled(false);
    quickSendMenu->addSeparator();
    editQuickSendsAction = quickSendMenu->addAction(QStringLiteral("&Edit quick sends\u2026"));
    loadQuickSendsAction = quickSendMenu->addAction(QStringLiteral("&Load quick sends\u2026"));
    saveQuickSendsAction = quickSendMenu->addAction(QStringLiteral("&Save quick sends\u2026"));
    quickSend->setMenu(quickSendMenu);

    int at = 0;
    for (QWidget* control : std::initializer_list<QWidget*>{lineEndLabel, lineEnd, quickSend})
        lowerBar->insertWidget(at++, control);
    // After the line control, before the wait and the rate.
    QWidget* previous = errorCounts.back();
    for (QWidget* next : std::initializer_list<QWidget*>{lineEnd, quickSend, portWait}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

// A second row under the status bar, which the line control fills at the
// design size: the send side (createSendBar), then the wait for a lost port,
// shown only while there is one to tell of, and the receive rate on the
// right.
void frmmain::createPortStatus() {
    const QSize client(width(), height() - m_statusHeight);
    lowerBar = new QStatusBar(this);
    lowerBar->setObjectName(QStringLiteral("lowerBar"));
    lowerBar->setSizeGripEnabled(false);
    portWait = indicator(lowerBar, "portWait", QString());
    portWait->hide();
    receiveRate = indicator(lowerBar, "receiveRate", QString());
    // On the right; a widget taken out of the bar is hidden.
    lowerBar->removeWidget(receiveRate);
    lowerBar->addPermanentWidget(receiveRate);
    receiveRate->show();
    receiveRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    receiveRate->setMinimumWidth(
        receiveRate->fontMetrics().horizontalAdvance(QStringLiteral("999.9 kB/s")) + 6);
    receiveRate->setAccessibleName(rateName(0));
    receiveRate->setToolTip(QStringLiteral("Bytes received in the last second"));
    rateTimer.setInterval(1000);
    rateTimer.start();
    m_rateClock.start();

    // A row as high as the status bar's, whether or not it holds text now.
    const int height = m_statusHeight;
    lowerBar->setGeometry(0, client.height() + m_statusHeight, client.width(), height);
    m_statusHeight += height;
    setMinimumSize(client.width(), client.height() + m_statusHeight);
    resize(minimumSize());
    setTabOrder(errorCounts.back(), portWait);
    setTabOrder(portWait, receiveRate);
}

// What came in over the last second, from the RX count: blank while nothing
// comes. Cleared counts are counted from 0.
void frmmain::rateTimer_Timer() {
    const long long count = Label10->value();
    const long long received = count >= m_rateCount ? count - m_rateCount : count;
    m_rateCount = count;
    // A tick that comes a little early is taken as a second.
    const qint64 elapsed = std::max<qint64>(m_rateClock.restart(), 1000);
    const long long perSecond = received * 1000 / elapsed;
    // A screen reader hears of a rate only when it changed.
    if (receiveRate->accessibleName() == rateName(perSecond))
        return;
    receiveRate->setText(rateText(perSecond));
    receiveRate->setAccessibleName(rateName(perSecond));
}

// "1.2 kB/s": bytes below a thousand, then kilobytes and megabytes of a
// thousand and a million bytes, as line rates go.
QString rateText(long long bytesPerSecond) {
    if (bytesPerSecond <= 0)
        return {};
    if (bytesPerSecond < 1000)
        return QStringLiteral("%1 B/s").arg(bytesPerSecond);
    // Not "1000.0 kB/s".
    if (bytesPerSecond < 999950)
        return QStringLiteral("%1 kB/s").arg(double(bytesPerSecond) / 1e3, 0, 'f', 1);
    return QStringLiteral("%1 MB/s").arg(double(bytesPerSecond) / 1e6, 0, 'f', 1);
}

QString rateName(long long bytesPerSecond) {
    return QStringLiteral("Receiving %1 bytes per second").arg(bytesPerSecond);
}
