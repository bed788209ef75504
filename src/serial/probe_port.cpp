#include "platform/serial_device.h"
#include "window/frmmain.h"

#include <QPushButton>

// Whether a port can be used at all: open it and close it again at once. The
// port that the window shows open is never probed.
bool frmmain::ProbePort(std::int16_t port) {
    if (port == shared.currentPort && Command1->text() != QLatin1String("Open"))
        return false;
    m_portSetup = PortSetup::Unconfigured;
    try {
        MSComm1.setCommPort(port);
        MSComm1.setPortOpen(true);
        MSComm1.setPortOpen(false);
        return true;
    } catch (const CommError& error) {
        if (error.number() == comm::PortAlreadyOpen)
            MsgBox(QStringLiteral("Serial Port Opened"));
        return false;
    }
}

// Configures the closed port; a refused write passes to the caller.
void frmmain::SetupPort(std::int16_t port) {
    MSComm1.setCommPort(port);
    MSComm1.setOutBufferSize(1024);
    MSComm1.setInBufferSize(1024);
    MSComm1.setInputMode(comm::InputModeBinary);
    MSComm1.setInputLen(0);
    MSComm1.setInBufferCount(0);
    MSComm1.setSThreshold(1);
    MSComm1.setRThreshold(1);
    MSComm1.setSettings(shared.commSettings);
    m_portSetup = PortSetup::Configured;
}
