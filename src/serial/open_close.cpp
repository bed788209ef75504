#include "window/frmmain.h"

#include <QCheckBox>

// The open/close button; the window shows the port open exactly while it is.
void frmmain::Command1_Click() {
    try {
        if (shared.portState == 1) {
            MSComm1.setPortOpen(false);
            showPortClosed();
        } else {
            MSComm1.setPortOpen(true);
            showPortOpen(true);
        }
    } catch (const CommError& error) {
        MsgBox(QStringLiteral("Invalid port number"), MessageBoxes::Icon::Exclamation,
               error.reason());
    }
}

// Shows the port closed and stops repeat sending, as closing it does.
void frmmain::showPortClosed() {
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
