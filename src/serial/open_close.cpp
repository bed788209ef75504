#include "window/frmmain.h"

#include <QCheckBox>

// The open/close button; the window shows the port open exactly while it is,
// and a port shown open receives.
void frmmain::Command1_Click() {
    // A port that was never configured (absent at start-up, plugged in since)
    // is configured with the selectors' settings first.
    if (shared.portState != 1 && m_portSetup == PortSetup::Unconfigured &&
        !configurePort(shared.currentPort))
        return;
    try {
        if (shared.portState == 1) {
            MSComm1.setPortOpen(false);
            showPortClosed();
        } else {
            MSComm1.setPortOpen(true);
            m_portSetup = PortSetup::Configured;
            showPortOpen(true);
        }
    } catch (const CommError& error) {
        if (shared.portState != 1)
            m_portSetup = PortSetup::Refused;
        MsgBox(QStringLiteral("Invalid port number"), MessageBoxes::Icon::Exclamation,
               error.reason());
    }
}

// Shows the port closed and stops repeat sending, as closing it does.
void frmmain::showPortClosed() {
    ++m_portClosings;
    showPortOpen(false);
    shared.repeatActive = 0;
    Timer1.setEnabled(false);
    Check1->setChecked(false);
}

// The device went away while open: the component has closed the port.
void frmmain::MSComm1_PortLost(const QString& device, const QString& reason) {
    if (shared.portState == 1)
        showPortClosed();
    MsgBox(QStringLiteral("Serial port lost"), MessageBoxes::Icon::Exclamation,
           device + QStringLiteral(": ") + reason);
}
