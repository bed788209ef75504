#pragma once

#include "platform/code_page.h"

#include <QByteArrayView>
#include <QString>

#include <array>

// The start of a character that came at the end of a batch and waits for the
// rest in the next one: a GBK lead byte, or up to three bytes of a UTF-8
// sequence.
struct PendingLead {
    bool held = false;
    // The waiting bytes, `size` of them, first first.
    std::array<char, 3> bytes{};
    qsizetype size = 0;

    QByteArrayView waiting() const { return {bytes.data(), size}; }
};

// The text that one batch of received bytes shows in the receive area: in
// hex display two upper-case digits, a space and a CR per byte; in text
// display the bytes decoded in the encoding, the start of a character at the
// end held in `lead` for the next batch shown as text.
QString renderBatch(QByteArrayView bytes, bool asText, PendingLead& lead,
                    TextEncoding encoding = TextEncoding::Gbk);
