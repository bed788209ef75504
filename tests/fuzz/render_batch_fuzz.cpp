// Received bytes shown as text come out the same however the stream is cut
// into batches, in every encoding, and hex display shows four characters per
// byte.
#include "receive/render_batch.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses where the stream is cut; the rest is the stream.
    const unsigned cuts = data[0];
    const QByteArrayView stream(data + 1, qsizetype(size - 1));
    const TextEncoding encoding = TextEncodings[cuts % std::size(TextEncodings)];

    PendingLead whole;
    const QString expected = renderBatch(stream, true, whole, encoding);

    PendingLead lead;
    QString pieces;
    qsizetype at = 0;
    unsigned seed = cuts;
    while (at < stream.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length = qsizetype(seed >> 16) % (stream.size() - at + 1);
        const QByteArrayView batch = stream.sliced(at, length);
        // A batch shown in hex between them changes nothing for the text.
        if (seed & 0x8000) {
            PendingLead before = lead;
            if (renderBatch(batch, false, lead).size() != 4 * batch.size())
                std::abort();
            if (lead.held != before.held || lead.waiting() != before.waiting())
                std::abort();
        }
        pieces += renderBatch(batch, true, lead, encoding);
        at += length;
    }
    if (pieces != expected || lead.held != whole.held)
        std::abort();
    return 0;
}
