#include "platform/code_page.h"
#include "transmit/hex_tokens.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <algorithm>

void frmmain::Option3_Click() {
    shared.sendAsText = 0;
}

void frmmain::Option4_Click() {
    shared.sendAsText = 1;
}

void frmmain::Check2_Click() {
    shared.lineEnding = Check2->isChecked() ? QStringLiteral("\r\n") : QString();
}

void frmmain::Command2_Click() {
    if (shared.portState == 1)
        Timer1_Timer();
    else
        MsgBox(QStringLiteral("Please open the serial device"));
}

// The send routine, run by the Send button and by every tick of the repeat
// timer.
void frmmain::Timer1_Timer() {
    // The receive side reads in the mode of the last send.
    MSComm1.setInputMode(Option3->isChecked() ? comm::InputModeBinary : comm::InputModeText);
    const QString text = Text2->toPlainText().remove(u'\r');
    if (shared.sendAsText)
        sendText(text);
    else
        sendHex(text);
    if (!MSComm1.portOpen())
        MsgBox(QStringLiteral("Please open the serial port"));
}

// Hands bytes to the line; what the component refuses is neither echoed nor
// counted, and TX counts the rest as the driver takes it.
void frmmain::send(const QByteArray& bytes, const QString& echo) {
    const qint64 start = MSComm1.bytesAccepted() + MSComm1.bytesToWrite();
    try {
        MSComm1.output(bytes);
    } catch (const CommError&) {
        return;
    }
    Text4->append(echo);
    m_unsent.push_back({start, start + bytes.size()});
    MSComm1_OutputTaken();
}

// What the driver took of each send so far goes to TX; bytes that other sends
// (a file) queued in between are not the send's.
void frmmain::MSComm1_OutputTaken() {
    const qint64 taken = MSComm1.bytesAccepted();
    while (!m_unsent.empty()) {
        Unsent& send = m_unsent.front();
        const qint64 now = std::clamp(taken, send.start, send.end);
        Label11->add(now - send.start);
        send.start = now;
        if (now < send.end)
            return;
        m_unsent.pop_front();
    }
}

void frmmain::sendText(const QString& text) {
    if (shared.portState != 1)
        return;
    const QString line = text + shared.lineEnding;
    send(encodeAnsi(line), line);
}

// Exactly the bytes typed: a token that is not a byte is reported, and then
// nothing of the send goes out.
void frmmain::sendHex(const QString& text) {
    const HexTokens tokens = readHexTokens(text);
    for (const QString& token : tokens.refused)
        MsgBox(QStringLiteral("hex err"), MessageBoxes::Icon::None,
               QStringLiteral("\"%1\" is not a byte value from 00 to FF.").arg(token));
    if (tokens.refused.isEmpty() && !tokens.bytes.isEmpty())
        send(tokens.bytes, text + u' ');
}
