#include "platform/code_page.h"
#include "receive/received_text.h"
#include "transmit/hex_tokens.h"
#include "transmit/line_end.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <algorithm>

namespace {

LineEnd chosenLineEnd(const ComboBox* selector) {
    return LineEnds[std::clamp<int>(selector->currentIndex(), 0, int(std::size(LineEnds)) - 1)];
}

// Line and column, from 1, of a place in a text; CR LF, CR and LF each end a
// line, and a character outside the BMP is one column.
std::pair<int, int> lineAndColumn(QStringView text, qsizetype at) {
    int line = 1, column = 1;
    for (qsizetype i = 0; i < at; ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 >= at || text[i + 1] != u'\n'))) {
            ++line;
            column = 1;
        } else if (text[i] != u'\r' && !text[i].isLowSurrogate()) {
            ++column;
        }
    }
    return {line, column};
}

} // namespace

void frmmain::Option3_Click() {
    shared.sendAsText = 0;
}

void frmmain::Option4_Click() {
    shared.sendAsText = 1;
}

void frmmain::Check2_Click() {
    shared.lineEnding = Check2->isChecked() ? lineEndSuffix(chosenLineEnd(lineEnd)) : QString();
}

// The "Line end" selector: what "CR" adds from the next send on.
void frmmain::lineEnd_Click() {
    Check2_Click();
    m_remembered.lineEnd = chosenLineEnd(lineEnd);
    remember();
}

// The send box as the Send button and its keys send it: a send that goes out
// is kept in the history.
void frmmain::Command2_Click() {
    if (shared.portState != 1) {
        MsgBox(QStringLiteral("Please open the serial device"));
        return;
    }
    const SentText typed{Text2->toPlainText(), shared.sendAsText == 0};
    if (sendBox())
        keepSent(typed);
}

// The send routine, run by the Send button and by every tick of the repeat
// timer.
void frmmain::Timer1_Timer() {
    sendBox();
}

bool frmmain::sendBox() {
    const bool hex = !shared.sendAsText;
    const QString typed = Text2->toPlainText();
    // Hex sends read line breaks as separators; text sends end lines as chosen.
    return transmit(
        hex ? QString(typed).remove(u'\r') : withLineBreaks(typed, chosenLineEnd(lineEnd)), hex);
}

bool frmmain::transmit(const QString& text, bool hex) {
    // The receive side reads in the mode of the last send.
    MSComm1.setInputMode(hex ? comm::InputModeBinary : comm::InputModeText);
    const bool sent = hex ? sendHex(text) : sendText(text);
    if (!MSComm1.portOpen())
        MsgBox(QStringLiteral("Please open the serial port"));
    return sent;
}

// Hands bytes to the line; what the component refuses is neither echoed nor
// counted, and TX counts the rest as the driver takes it.
bool frmmain::send(const QByteArray& bytes, const QString& echo) {
    const qint64 start = MSComm1.bytesAccepted() + MSComm1.bytesToWrite();
    try {
        MSComm1.output(bytes);
    } catch (const CommError&) {
        return false;
    }
    Text4->append(echo);
    m_unsent.push_back({start, start + bytes.size()});
    MSComm1_OutputTaken();
    return true;
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

TextEncoding frmmain::encoding() const {
    return m_received->encoding;
}

// Text goes out in the chosen encoding, or not at all: a character that the
// encoding cannot carry is named, and nothing of the send goes out.
bool frmmain::sendText(const QString& text) {
    if (shared.portState != 1)
        return false;
    if (const qsizetype refused = unencodableAt(text, encoding()); refused >= 0) {
        refuseCharacter(text, refused);
        return false;
    }
    const QString line = text + shared.lineEnding;
    return send(encodeText(line, encoding()), line);
}

void frmmain::refuseCharacter(const QString& text, qsizetype at) {
    char32_t code = text[at].unicode();
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(text[at], text[at + 1]);
    const bool printable = QChar::isPrint(code) && !QChar::isSurrogate(code);
    const QString shown = printable ? QString::fromUcs4(&code, 1) : QString();
    const auto [line, column] = lineAndColumn(text, at);
    MsgBox(QStringLiteral("%1U+%2%3 at line %4, column %5 cannot be sent in %6")
               .arg(printable ? u'"' + shown + QStringLiteral("\" (") : QString())
               .arg(QString::number(code, 16).toUpper().rightJustified(4, u'0'))
               .arg(printable ? QStringLiteral(")") : QString())
               .arg(line)
               .arg(column)
               .arg(textEncodingCaption(encoding())),
           MessageBoxes::Icon::Exclamation,
           QStringLiteral("Nothing was sent. Choose another \"Text encoding\" in the receive "
                          "area's context menu, or send the bytes in hex."));
}

// Exactly the bytes typed: a token that is not a byte is reported, and then
// nothing of the send goes out.
bool frmmain::sendHex(const QString& text) {
    const HexTokens tokens = readHexTokens(text);
    for (const QString& token : tokens.refused)
        MsgBox(QStringLiteral("hex err"), MessageBoxes::Icon::None,
               QStringLiteral("\"%1\" is not a byte value from 00 to FF.").arg(token));
    return tokens.refused.isEmpty() && !tokens.bytes.isEmpty() && send(tokens.bytes, text + u' ');
}
