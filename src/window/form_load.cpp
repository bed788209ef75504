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
    // What the command line asks of DTR and RTS goes on the line at every open.
    if (m_options.dtr)
        MSComm1.setDTREnable(*m_options.dtr);
    if (m_options.rts)
        MSComm1.setRTSEnable(*m_options.rts);

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
