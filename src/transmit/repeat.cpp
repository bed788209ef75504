#include "transmit/interval.h"
#include "window/frmmain.h"

#include <QCheckBox>
#include <QLineEdit>

// The "Repeat" box: runs the send routine every interval while ticked and
// the port is open.
void frmmain::Check1_Click() {
    if (shared.repeatActive) {
        Timer1.setEnabled(false);
        shared.repeatActive = 0;
        return;
    }
    if (shared.portState != 1) {
        Check1->setChecked(false);
        return;
    }
    if (!Check1->isChecked())
        return;
    const auto interval = repeatIntervalFrom(Text3->text());
    if (!interval) {
        MsgBox(QStringLiteral("Invalid interval"), MessageBoxes::Icon::Exclamation,
               QStringLiteral("The interval must be a number of milliseconds from 1 to 32767."));
        Check1->setChecked(false);
        return;
    }
    shared.repeatInterval = *interval;
    Timer1.setInterval(shared.repeatInterval);
    Timer1.setEnabled(true);
    shared.repeatActive = 1;
}
