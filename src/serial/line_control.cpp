#include "window/combo_box.h"
#include "window/frmmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <iterator>

namespace {

// The flow selector's entries, in order: None, RTS/CTS, XON/XOFF.
constexpr int FlowModes[] = {comm::HandshakeNone, comm::HandshakeRtsCts, comm::HandshakeXonXoff};

constexpr int BreakMs = 250;

// A lamp's or a count's look; the keyboard's focus shows as a dotted frame,
// which labels lack. Counts may change hundreds of times a second on a line
// at the wrong speed: the style is set only when it changes.
void setLook(QLabel* label, const char* look) {
    const QString style =
        QStringLiteral("QLabel { border: 1px solid transparent; %1 } "
                       "QLabel:focus { border: 1px dotted palette(window-text); }")
            .arg(QLatin1String(look));
    if (label->styleSheet() != style)
        label->setStyleSheet(style);
}

QString notOffered(const QString& what) {
    return QStringLiteral("This device does not offer %1").arg(what);
}

// A toggle shows the line's state while the port is open and the device
// offers the line, and otherwise the state the next open puts on it.
void showToggle(QCheckBox* toggle, bool open, bool offered, bool state, const QString& why) {
    toggle->setChecked(state);
    toggle->setEnabled(!open || (offered && why.isEmpty()));
    const QString name = toggle->text();
    if (!open)
        toggle->setToolTip(
            QStringLiteral("%1 is put on the line right after the port opens").arg(name));
    else if (!offered)
        toggle->setToolTip(notOffered(name));
    else
        toggle->setToolTip(why.isEmpty() ? QStringLiteral("Sets %1 on the line").arg(name) : why);
}

void showLamp(QLabel* lamp, const char* line, bool open, bool offered, bool on) {
    const QString name = lamp->text();
    lamp->setEnabled(!open || offered);
    lamp->setAccessibleName(name + (on ? QStringLiteral(" on") : QStringLiteral(" off")));
    lamp->setToolTip(open && !offered ? notOffered(name) : QLatin1String(line));
    setLook(lamp, on ? "background-color: #2ecc40; color: black;" : "");
}

// The caption is short, for the status bar's width; the name says it whole.
void showCount(QLabel* label, const QString& name, qint64 count, bool offered) {
    label->setText(QStringLiteral("%1 %2").arg(name.section(u' ', 0, 0)).arg(count));
    label->setAccessibleName(QStringLiteral("%1 %2").arg(name).arg(count));
    label->setEnabled(offered);
    label->setToolTip(offered ? QStringLiteral("Counted by the driver since the port opened")
                              : notOffered(QStringLiteral("error counts")));
    setLook(label, count ? "color: #c00000;" : "");
}

} // namespace

void frmmain::dtrToggle_Click() {
    MSComm1.setDTREnable(dtrToggle->isChecked());
    m_remembered.dtr = dtrToggle->isChecked();
    remember();
    MSComm1_LineChanged();
}

void frmmain::rtsToggle_Click() {
    MSComm1.setRTSEnable(rtsToggle->isChecked());
    m_remembered.rts = rtsToggle->isChecked();
    remember();
    MSComm1_LineChanged();
}

// Holds the line in break for 250 ms; a click meanwhile adds nothing.
void frmmain::breakButton_Click() {
    MSComm1.sendBreak(BreakMs);
}

void frmmain::flowControl_Click() {
    const int index = flowControl->currentIndex();
    if (index < 0 || index >= int(std::size(FlowModes)))
        return;
    try {
        MSComm1.setHandshaking(FlowModes[index]);
    } catch (const CommError&) {
        // The selector goes back to what the port still uses.
        MSComm1_LineChanged();
        throw;
    }
    m_remembered.flowControl = FlowModes[index];
    remember();
    MSComm1_LineChanged();
}

// The status bar shows what the port offers, its modem lines and the error
// counts; while closed, the lamps are off, the toggles show what the next
// open puts on the line, and the counts stay as they were last read.
void frmmain::MSComm1_LineChanged() {
    const bool open = MSComm1.portOpen();
    const LineOffer offer = MSComm1.lineOffer();
    const ModemLines lines = MSComm1.modemLines();
    const int flow = MSComm1.handshaking();

    for (std::size_t i = 0; i < std::size(FlowModes); ++i)
        if (FlowModes[i] == flow)
            flowControl->setCurrentIndex(int(i));
    showToggle(dtrToggle, open, offer.dtr, open && offer.dtr ? lines.dtr : MSComm1.dtrEnable(), {});
    showToggle(rtsToggle, open, offer.rts, open && offer.rts ? lines.rts : MSComm1.rtsEnable(),
               flow == comm::HandshakeRtsCts
                   ? QStringLiteral("RTS follows the flow control while RTS/CTS is on")
                   : QString());

    breakButton->setEnabled(open && offer.lineBreak);
    breakButton->setDown(MSComm1.breakOn());
    if (!open)
        breakButton->setToolTip(QStringLiteral("Open the port to send a break"));
    else
        breakButton->setToolTip(offer.lineBreak
                                    ? QStringLiteral("Holds the line in break for 250 ms")
                                    : notOffered(QStringLiteral("a break")));

    const bool states[] = {lines.cts, lines.dsr, lines.dcd, lines.ri};
    const char* const names[] = {"Clear To Send", "Data Set Ready", "Data Carrier Detect",
                                 "Ring Indicator"};
    for (std::size_t i = 0; i < lineLamps.size(); ++i)
        showLamp(lineLamps[i], names[i], open, offer.modemLines,
                 open && offer.modemLines && states[i]);

    if (open)
        showLineErrors(offer.errorCounts ? MSComm1.lineErrors() : LineErrors{}, offer.errorCounts);
}

void frmmain::showLineErrors(const LineErrors& errors, bool offered) {
    const std::pair<const char*, qint64> counts[] = {{"Framing errors", errors.framing},
                                                     {"Parity errors", errors.parity},
                                                     {"Overrun errors", errors.overrun},
                                                     {"Buffer overruns", errors.bufferOverrun}};
    for (std::size_t i = 0; i < errorCounts.size(); ++i)
        showCount(errorCounts[i], QLatin1String(counts[i].first), counts[i].second, offered);
}
