#include "window/combo_box.h"
#include "window/frmmain.h"

#include <QCheckBox>
#include <QLabel>
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

    m_statusHeight = statusBar->sizeHint().height();
    statusBar->setGeometry(0, client.height(), client.width(), m_statusHeight);
    setMinimumSize(client.width(), client.height() + m_statusHeight);
    resize(minimumSize());

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
