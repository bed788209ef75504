#include "platform/capture_file.h"
#include "platform/serial_device.h"
#include "receive/received_text.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

// Receive event: the bytes that wait, shown at the end of the receive area
// in arrival order, each line stamped with the time its bytes were read.
void frmmain::MSComm1_OnComm() {
    if (MSComm1.commEvent() != comm::EvReceive)
        return;
    const QByteArray batch = MSComm1.input();
    if (m_options.capture)
        m_options.capture->write(batch);
    qsizetype wholeLineAt = -1;
    const QString text =
        m_received->append(batch, MSComm1.arrivals(), shared.showAsText != 0, &wholeLineAt);
    Label10->add(batch.size());
    Text1->append(text, wholeLineAt);
}

// "Frames by silence…": asks how long a silence ends a frame, and cuts frames
// there from now on; unticked, lines end at their line ends again.
void frmmain::framesBySilence_Click() {
    int gap = 0;
    if (framesBySilence->isChecked()) {
        const auto asked = m_messages.askNumber(
            QStringLiteral("A silence of at least this many milliseconds ends a frame:"),
            m_remembered.frameGapMs, MinFrameGapMs, MaxFrameGapMs);
        if (!asked) {
            framesBySilence->setChecked(m_received->frames());
            return;
        }
        gap = *asked;
        m_remembered.frameGapMs = gap;
    }
    m_remembered.framesBySilence = gap > 0;
    remember();
    setFrameGap(gap);
}

void frmmain::setFrameGap(int gap) {
    m_received->setFrames(gap > 0);
    MSComm1.setFrameGap(gap);
    framesBySilence->setChecked(gap > 0);
    framesBySilence->setToolTip(
        gap > 0 ? QStringLiteral("A silence of %1 ms or more ends a frame").arg(gap)
                : QStringLiteral("Lines end at their line ends"));
}

void frmmain::Option1_Click() {
    shared.showAsText = 0;
}

void frmmain::Option2_Click() {
    shared.showAsText = 1;
}
