#include "platform/line_settings.h"
#include "serial/selector_settings.h"
#include "window/combo_box.h"
#include "window/frmmain.h"

#include <QLabel>

namespace {

// The line settings that the selectors show, with the parity letter found
// from the parity selector.
SelectorSettings selectedSettings(const frmmain& form) {
    return settingsFromSelectors(form.Combo2->currentText(), form.Combo3->currentText(),
                                 form.Combo4->currentText(), form.Combo5->currentText(),
                                 form.shared.parityLetter);
}

} // namespace

// Settings that cannot be used: say why and show again what the port runs
// with, so that the selectors never show what is not applied.
void frmmain::refuseSettings(const QString& why) {
    MsgBox(QStringLiteral("Invalid port settings"), MessageBoxes::Icon::Exclamation, why);
    if (const auto applied = parseLineSettings(MSComm1.settings()))
        showLineSettings(*applied);
}

// A port chosen: probe it, then configure it with the selectors' settings; it
// stays closed until the open/close button opens it.
void frmmain::Combo1_Click() {
    const auto port = static_cast<std::int16_t>(Combo1->currentIndex() + 1);
    // The current port chosen again is taken up afresh when it was never
    // configured (its start-up probe failed) or its last open was refused.
    if (port < 1 || (port == shared.currentPort && m_portSetup == PortSetup::Configured))
        return;
    QString why;
    if (!parseLineSettings(selectedSettings(*this).settings, &why)) {
        Combo1->setCurrentIndex(shared.currentPort - 1);
        refuseSettings(why);
        return;
    }
    // The user's choice ends a wait for a lost port, and what the status bar
    // said of it.
    m_reconnectWatch.stop();
    showPortWait({});
    ProbePort(port);
    if (!configurePort(port))
        return;
    shared.portState = 0;
    shared.currentPort = port;
}

// Configures the closed port with the selectors' settings; refused settings
// are shown and change nothing.
bool frmmain::configurePort(std::int16_t port) {
    const SelectorSettings chosen = selectedSettings(*this);
    const QString before = shared.commSettings;
    shared.commSettings = chosen.settings;
    try {
        SetupPort(port);
    } catch (const CommError& error) {
        shared.commSettings = before;
        refuseSettings(error.reason());
        return false;
    }
    shared.parityLetter = chosen.parityLetter;
    return true;
}

// A baud rate, parity, data bits or stop bits chosen (or typed and entered):
// the port runs with the selectors' settings at once, open or closed.
void frmmain::applySelectedSettings() {
    const SelectorSettings chosen = selectedSettings(*this);
    try {
        MSComm1.setSettings(chosen.settings);
    } catch (const CommError& error) {
        refuseSettings(error.reason());
        return;
    }
    shared.commSettings = chosen.settings;
    shared.parityLetter = chosen.parityLetter;
}

void frmmain::Combo2_Click() {
    applySelectedSettings();
}
void frmmain::Combo3_Click() {
    applySelectedSettings();
}
void frmmain::Combo4_Click() {
    applySelectedSettings();
}
void frmmain::Combo5_Click() {
    applySelectedSettings();
}

// The port selector's entries keep their names, "COM1" to "COM15"; their
// tooltips, and what assistive technology reads of them, name the devices
// behind them as the system lists them now.
void frmmain::describePorts() {
    for (int entry = 0; entry < Combo1->count(); ++entry) {
        QString device = MSComm1.describePort(static_cast<std::int16_t>(entry + 1));
        if (device.isEmpty())
            device = QStringLiteral("No device");
        Combo1->setItemData(entry, device, Qt::ToolTipRole);
        Combo1->setItemData(entry, device, Qt::AccessibleDescriptionRole);
    }
}

// Enter in the port selector chooses the entry whose name was typed.
void frmmain::Combo1_Enter() {
    const int entry = Combo1->findText(Combo1->currentText().trimmed(), Qt::MatchFixedString);
    if (entry < 0)
        return;
    Combo1->setCurrentIndex(entry);
    Combo1_Click();
}
