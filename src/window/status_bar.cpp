#include "window/combo_box.h"
#include "window/frmmain.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

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

// The status bar goes under the window's client area, which keeps its size
// and every control its place.
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
    setFixedSize(client.width(), client.height() + height);

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

// A second bar under the first, for the send side; the window grows by its
// height too.
void frmmain::createSendBar() {
    const QSize above = size();
    sendBar = new QStatusBar(this);
    sendBar->setObjectName(QStringLiteral("sendBar"));
    sendBar->setSizeGripEnabled(false);

    lineEndLabel = new QLabel(QStringLiteral("Line end:"), sendBar);
    lineEndLabel->setObjectName(QStringLiteral("lineEndLabel"));
    lineEndLabel->setContentsMargins(3, 0, 0, 0);
    lineEnd = new ComboBox(sendBar);
    lineEnd->setObjectName(QStringLiteral("lineEnd"));
    lineEnd->setEditable(false);
    for (const LineEnd end : LineEnds)
        lineEnd->addItem(lineEndCaption(end));
    lineEnd->setCurrentIndex(int(m_options.lineEnd.value_or(m_remembered.lineEnd)));
    lineEnd->setAccessibleName(QStringLiteral("Line end"));
    lineEnd->setToolTip(QStringLiteral("What a text send adds while \"CR\" is ticked, and what "
                                       "each line break in the send box goes out as"));
    lineEndLabel->setBuddy(lineEnd);

    quickSend = new QPushButton(QStringLiteral("Quick send"), sendBar);
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

    for (QWidget* control : std::initializer_list<QWidget*>{lineEndLabel, lineEnd, quickSend})
        sendBar->addWidget(control);
    const int height = sendBar->sizeHint().height();
    sendBar->setGeometry(0, above.height(), above.width(), height);
    setFixedSize(above.width(), above.height() + height);

    QWidget* previous = errorCounts.back();
    for (QWidget* next : std::initializer_list<QWidget*>{lineEnd, quickSend}) {
        setTabOrder(previous, next);
        previous = next;
    }
}
