// Find: the fast search gives exactly the matches of a plain one that tries
// every start and passes over CRs in the text, with and without case.
#include "window/text_search.h"

#include <QChar>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

// Few characters, so that matches are common: letters in both cases, ones
// whose case folds outside ASCII (the long s and the Kelvin sign), hex
// digits, a blank and the CR that the search passes over.
constexpr char16_t Alphabet[] = {u'a', u'A',      u'b',      u'B',      u'\r',     u'0',
                                 u'D', u' ',      u'\u00E9', u'\u00C9', u'\u017F', u's',
                                 u'S', u'\u212A', u'k',      u'K'};

char16_t fold(char16_t c, bool ignoreCase) {
    if (!ignoreCase)
        return c;
    const char32_t folded = QChar::toCaseFolded(char32_t(c));
    return folded <= 0xFFFF ? char16_t(folded) : c;
}

// The end of a match that starts at `at`, if one does.
std::optional<qsizetype> plainMatch(QStringView text, qsizetype at, QStringView needle,
                                    bool ignoreCase) {
    if (text[at] == u'\r')
        return std::nullopt;
    qsizetype i = at;
    for (qsizetype j = 0; j < needle.size(); ++j, ++i) {
        while (j > 0 && i < text.size() && text[i] == u'\r')
            ++i;
        if (i == text.size() ||
            fold(text[i].unicode(), ignoreCase) != fold(needle[j].unicode(), ignoreCase))
            return std::nullopt;
    }
    return i;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const bool ignoreCase = data[0] & 0x80;
    const qsizetype needleLength = 1 + (data[0] & 0x07);
    const qsizetype from = data[1];
    QString needle, text;
    for (std::size_t i = 2; i < size; ++i) {
        const char16_t c = Alphabet[data[i] % std::size(Alphabet)];
        (qsizetype(i - 2) < needleLength ? needle : text).append(QChar(c));
    }
    const TextPattern pattern(needle, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    QString shown = needle;
    shown.remove(u'\r');
    if (pattern.isEmpty() != shown.isEmpty())
        std::abort();
    if (shown.isEmpty())
        return 0;

    std::vector<TextMatch> expected;
    for (qsizetype at = 0; at < text.size(); ++at)
        if (const auto end = plainMatch(text, at, shown, ignoreCase))
            expected.push_back({at, *end});

    const auto first = pattern.findFirst(text, 0, text.size());
    if (first.has_value() != !expected.empty() || (first && !(*first == expected.front())))
        std::abort();
    const auto last = pattern.findLast(text, 0, text.size());
    if (last.has_value() != !expected.empty() || (last && !(*last == expected.back())))
        std::abort();
    const qsizetype start = std::min(from, text.size());
    const auto later = pattern.findFirst(text, start, text.size());
    std::optional<TextMatch> expectedLater;
    for (const TextMatch& match : expected)
        if (match.start >= start) {
            expectedLater = match;
            break;
        }
    if (later.has_value() != expectedLater.has_value() || (later && !(*later == *expectedLater)))
        std::abort();
    // Counting may stop short of the end, where more text could complete a match.
    const TextPattern::Count count = pattern.count(text, 0, text.size());
    qsizetype counted = 0;
    for (const TextMatch& match : expected)
        counted += match.start < count.decidedTo ? 1 : 0;
    if (count.matches != counted || count.decidedTo > text.size())
        std::abort();
    return 0;
}
