#pragma once

#include "receive/date_stamp.h"
#include "receive/render_batch.h"
#include "receive/stamp_clock.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// What each batch of received bytes adds to the receive area: the batch
// rendered, and when its text ends a line, CR LF in front of it and the date
// and time after it.
class ReceivedText {
public:
    // The text to append for a batch, in hex or as text (in `encoding`);
    // `now` is asked for the time only when the text ends a line.
    QString append(QByteArrayView batch, bool asText, QDateTime (*now)() = &stampTime);

    // A lead byte of a double-byte character waiting for its trail byte in
    // the next batch shown as text.
    PendingLead pendingLead;
    // How finely the stamp after a line gives the time.
    StampPrecision precision = StampPrecision::Seconds;
    // What received bytes shown as text are read as.
    TextEncoding encoding = TextEncoding::Gbk;
};
