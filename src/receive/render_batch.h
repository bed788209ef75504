#pragma once

#include <QByteArrayView>
#include <QString>

// A lead byte of a double-byte character that came at the end of a batch and
// waits for its trail byte in the next one.
struct PendingLead {
    bool held = false;
    int lead = 0;
};

// The text that one batch of received bytes shows in the receive area: in
// hex display two upper-case digits, a space and a CR per byte; in text
// display the bytes decoded as code page 936, a lead byte at the end held in
// `lead` for the next batch shown as text.
QString renderBatch(QByteArrayView bytes, bool asText, PendingLead& lead);
