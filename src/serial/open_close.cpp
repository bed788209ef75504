#include "platform/capture_file.h"
#include "platform/report.h"
#include "window/frmmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QTime>

// One line on the standard error, for matching a capture with what happened.
void frmmain::report(const QString& line) {
    reportLine(line);
}

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
            if (m_options.capture)
                m_options.capture->flush();
            showPortClosed();
        } else {
            MSComm1.setPortOpen(true);
            m_portSetup = PortSetup::Configured;
            showPortOpen(true);
            if (m_reconnectWatch.isActive())
                reportLostPortBack();
        }
    } catch (const CommError& error) {
        // A wait for a lost port goes on: this open came too early.
        if (shared.portState != 1)
            m_portSetup = PortSetup::Refused;
        MsgBox(QStringLiteral("Invalid port number"), MessageBoxes::Icon::Exclamation,
               error.reason());
    }
}

// Shows the port closed and stops repeat sending, as closing it does.
void frmmain::showPortClosed() {
    ++m_portClosings;
    // What a close dropped unsent was never sent.
    MSComm1_OutputTaken();
    m_unsent.clear();
    showPortOpen(false);
    shared.repeatActive = 0;
    Timer1.setEnabled(false);
    Check1->setChecked(false);
}

// The device went away while open: the component has closed the port.
void frmmain::MSComm1_PortLost(const QString& device, const QString& reason) {
    if (m_options.capture)
        m_options.capture->flush();
    if (shared.portState == 1)
        showPortClosed();
    if (!m_options.reconnect) {
        MsgBox(QStringLiteral("Serial port lost"), MessageBoxes::Icon::Exclamation,
               device + QStringLiteral(": ") + reason);
        return;
    }
    m_lostDevice = device;
    m_waitReason.clear();
    report(QStringLiteral("COM%1 (%2) lost: %3").arg(shared.currentPort).arg(device, reason));
    showPortWait(QStringLiteral("COM%1 lost at %2, waiting for it"));
    m_reconnectWatch.start();
}

// The lost port's device is tried again, with the settings the selectors
// show (the component always runs with those), until it opens.
void frmmain::reopenLostPort() {
    try {
        MSComm1.setPortOpen(true);
    } catch (const CommError& error) {
        // A device that is absent is what the wait is for; one that is there
        // and does not open says why, once for each reason.
        if (error.number() != comm::NoSuchDevice && error.reason() != m_waitReason) {
            m_waitReason = error.reason();
            report(QStringLiteral("COM%1 (%2) is there but does not open: %3; still waiting")
                       .arg(shared.currentPort)
                       .arg(m_lostDevice, m_waitReason));
        }
        return;
    }
    m_portSetup = PortSetup::Configured;
    showPortOpen(true);
    reportLostPortBack();
}

// The wait for a lost port ends with the port open again.
void frmmain::reportLostPortBack() {
    m_reconnectWatch.stop();
    report(QStringLiteral("COM%1 (%2) back: the device is there again; opened with %3")
               .arg(shared.currentPort)
               .arg(m_lostDevice, MSComm1.settings()));
    showPortWait(QStringLiteral("COM%1 back at %2"));
}

// The wait in the status bar, for whoever comes back to the window: the port
// and the time, read by assistive technology as the label's name. Empty
// hides it.
void frmmain::showPortWait(const QString& text) {
    const QString shown = text.isEmpty()
                              ? text
                              : text.arg(shared.currentPort)
                                    .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    portWait->setText(shown);
    portWait->setAccessibleName(shown);
    portWait->setVisible(!shown.isEmpty());
}
