#include "platform/capture_file.h"
#include "platform/serial_device.h"
#include "receive/received_text.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

// Receive event: the bytes that wait, shown at the end of the receive area
// in arrival order.
void frmmain::MSComm1_OnComm() {
    if (MSComm1.commEvent() != comm::EvReceive)
        return;
    const QByteArray batch = MSComm1.input();
    if (m_options.capture)
        m_options.capture->write(batch);
    const QString text = m_received->append(batch, shared.showAsText != 0);
    Label10->add(batch.size());
    Text1->append(text);
}

void frmmain::Option1_Click() {
    shared.showAsText = 0;
}

void frmmain::Option2_Click() {
    shared.showAsText = 1;
}
