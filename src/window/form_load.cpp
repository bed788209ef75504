#include "platform/line_settings.h"
#include "platform/serial_device.h"
#include "window/combo_box.h"
#include "window/frmmain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

// Start-up: the defaults, then COM1 opened when it answers the probe.
void frmmain::Form_Load() {
    const LineSettings defaults;
    Combo1->setEditText(QStringLiteral("COM1"));
    showLineSettings(defaults);
    Option2->setChecked(true);
    Option4->setChecked(true);
    Text3->setText(QStringLiteral("1000"));
    shared.currentPort = 0;
    Check1->setChecked(false);
    shared.repeatActive = 0;
    // The line control the user chose last time, or the command line asks
    // for, goes on the line at every open.
    const bool dtr = m_options.dtr.value_or(m_remembered.dtr);
    const bool rts = m_options.rts.value_or(m_remembered.rts);
    if (dtr != MSComm1.dtrEnable())
        MSComm1.setDTREnable(dtr);
    if (rts != MSComm1.rtsEnable())
        MSComm1.setRTSEnable(rts);
    if (m_remembered.flowControl != MSComm1.handshaking())
        MSComm1.setHandshaking(m_remembered.flowControl);
    if (const int gap = m_options.frameGap > 0         ? m_options.frameGap
                        : m_remembered.framesBySilence ? m_remembered.frameGapMs
                                                       : 0)
        setFrameGap(gap);

    if (ProbePort(1)) {
        showPortOpen(true);
        shared.commSettings = formatLineSettings(defaults);
        try {
            SetupPort(1);
            MSComm1.setPortOpen(true);
        } catch (const CommError& error) {
            // The port answered the probe a moment ago and refuses now: show
            // it closed rather than open over a closed port.
            showPortOpen(false);
            m_portSetup = PortSetup::Refused;
            MsgBox(QStringLiteral("Invalid port number"), MessageBoxes::Icon::Exclamation,
                   error.reason());
        }
    } else {
        showPortOpen(false);
    }
    shared.currentPort = 1;
    MSComm1_LineChanged();
}
