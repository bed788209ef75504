#include "window/text_search.h"

#include <QChar>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t CR = u'\r';

// Simple case folding, one UTF-16 unit at a time; ASCII without a table.
char16_t folded(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
    const char32_t fold = QChar::toCaseFolded(char32_t(c));
    return fold <= 0xFFFF ? char16_t(fold) : c;
}

#if defined(__SSE2__)
// Where among eight characters a match can start, eight at a time: one of the
// first character's variants, and after it one of the second's or a CR, or a
// CR and then one of the second's or another CR.
class Starts {
public:
    Starts(const std::array<char16_t, 4>& firsts, const std::array<char16_t, 4>* seconds)
        : m_firsts(lanes(firsts))
        , m_seconds(lanes(seconds ? *seconds : firsts))
        , m_pairs(seconds != nullptr) {}

    // Two bits a character, for the eight from `p`. Reads p[9] too. No
    // branch: where first characters are common (hex digits), one taken
    // now and then would cost more than the tests it saves.
    [[gnu::always_inline]] unsigned among(const char16_t* p) const {
        const __m128i first = anyOf(load(p), m_firsts);
        if (!m_pairs)
            return unsigned(_mm_movemask_epi8(first));
        const __m128i next = load(p + 1);
        const __m128i afterCr = load(p + 2);
        const __m128i second = anyOf(next, m_seconds);
        const __m128i cr = _mm_cmpeq_epi16(next, m_cr);
        const __m128i later =
            _mm_or_si128(anyOf(afterCr, m_seconds), _mm_cmpeq_epi16(afterCr, m_cr));
        return unsigned(_mm_movemask_epi8(
            _mm_and_si128(first, _mm_or_si128(second, _mm_and_si128(cr, later)))));
    }

private:
    struct Lanes {
        __m128i a, b, c, d;
    };
    static Lanes lanes(const std::array<char16_t, 4>& variants) {
        return {_mm_set1_epi16(short(variants[0])), _mm_set1_epi16(short(variants[1])),
                _mm_set1_epi16(short(variants[2])), _mm_set1_epi16(short(variants[3]))};
    }
    [[gnu::always_inline]] static __m128i load(const char16_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    [[gnu::always_inline]] static __m128i anyOf(__m128i x, const Lanes& v) {
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, v.a), _mm_cmpeq_epi16(x, v.b)),
                            _mm_or_si128(_mm_cmpeq_epi16(x, v.c), _mm_cmpeq_epi16(x, v.d)));
    }

    Lanes m_firsts;
    Lanes m_seconds;
    __m128i m_cr = _mm_set1_epi16(short(CR));
    bool m_pairs;
};
#endif

} // namespace

TextPattern::TextPattern(QStringView needle, Qt::CaseSensitivity sensitivity)
    : m_ignoreCase(sensitivity == Qt::CaseInsensitive) {
    m_needle.reserve(needle.size());
    for (const QChar c : needle)
        if (c != CR)
            m_needle.append(m_ignoreCase ? QChar(folded(c.unicode())) : c);
    if (m_needle.isEmpty())
        return;
    const char16_t first = m_needle.at(0).unicode();
    const char16_t second = m_needle.size() > 1 ? m_needle.at(1).unicode() : first;
    m_firsts.fill(first);
    m_seconds.fill(second);
    m_pairs = m_needle.size() > 1;
    if (!m_ignoreCase)
        return;
    // Every character that folds to the first or the second, found once per
    // pattern: a scan of the text then compares characters and folds none.
    const auto variants = [](char16_t of, Variants& into) {
        std::size_t found = 0;
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            if (folded(char16_t(c)) != of)
                continue;
            if (found == into.size())
                return false;
            into[found++] = char16_t(c);
        }
        return true;
    };
    m_manyFirsts = !variants(first, m_firsts);
    m_pairs = m_pairs && variants(second, m_seconds);
}

bool TextPattern::startsHere(char16_t c) const {
    if (m_manyFirsts)
        return folded(c) == m_needle.front().unicode();
    return std::find(m_firsts.begin(), m_firsts.end(), c) != m_firsts.end();
}

// `at` holds a character the match can start with.
TextPattern::Verdict TextPattern::matchAt(QStringView text, qsizetype at, qsizetype* end) const {
    const char16_t* t = text.utf16();
    const qsizetype size = text.size();
    qsizetype j = at + 1;
    for (qsizetype k = 1; k < m_needle.size(); ++k, ++j) {
        while (j < size && t[j] == CR)
            ++j;
        if (j == size)
            return Verdict::Open;
        const char16_t want = m_needle.at(k).unicode();
        if (t[j] != want && !(m_ignoreCase && folded(t[j]) == want))
            return Verdict::NoMatch;
    }
    *end = j;
    return Verdict::Match;
}

// Calls visit(at) for each start a match can have in [from, to), in order,
// until it returns false. Eight characters at a time where the processor
// can, each candidate looked at without leaving the loop, so that a search
// of hundreds of megabytes goes about as fast as memory is read.
template <typename Visit>
void TextPattern::forEachCandidate(QStringView text, qsizetype from, qsizetype to,
                                   Visit visit) const {
    const char16_t* t = text.utf16();
    qsizetype i = from;
#if defined(__SSE2__)
    if (!m_manyFirsts) {
        const Starts starts(m_firsts, m_pairs ? &m_seconds : nullptr);
        for (; i + 8 <= to && i + 10 <= text.size(); i += 8) {
            auto mask = starts.among(t + i);
            while (mask != 0) {
                const int bit = __builtin_ctz(mask);
                mask &= ~(3U << bit);
                if (!visit(i + bit / 2))
                    return;
            }
        }
    }
#endif
    for (; i < to; ++i)
        if (startsHere(t[i]) && !visit(i))
            return;
}

// As forEachCandidate, from the last to the first.
template <typename Visit>
void TextPattern::forEachCandidateBackward(QStringView text, qsizetype from, qsizetype to,
                                           Visit visit) const {
    const char16_t* t = text.utf16();
    qsizetype i = to;
    // The last two characters have too little after them to look at.
    while (i > from && i + 2 > text.size())
        if (startsHere(t[--i]) && !visit(i))
            return;
#if defined(__SSE2__)
    if (!m_manyFirsts) {
        const Starts starts(m_firsts, m_pairs ? &m_seconds : nullptr);
        for (; i - 8 >= from; i -= 8) {
            auto mask = starts.among(t + i - 8);
            while (mask != 0) {
                const int bit = 31 - __builtin_clz(mask);
                mask &= ~(3U << (bit - 1));
                if (!visit(i - 8 + bit / 2))
                    return;
            }
        }
    }
#endif
    while (i > from)
        if (startsHere(t[--i]) && !visit(i))
            return;
}

std::optional<TextMatch> TextPattern::findFirst(QStringView text, qsizetype from,
                                                qsizetype to) const {
    std::optional<TextMatch> found;
    if (isEmpty())
        return found;
    forEachCandidate(text, std::max<qsizetype>(from, 0), std::min(to, text.size()),
                     [&](qsizetype at) {
                         qsizetype end = 0;
                         const Verdict verdict = matchAt(text, at, &end);
                         if (verdict == Verdict::Match)
                             found = TextMatch{at, end};
                         // Past a start that runs out of text, every start does.
                         return verdict == Verdict::NoMatch;
                     });
    return found;
}

std::optional<TextMatch> TextPattern::findLast(QStringView text, qsizetype from,
                                               qsizetype to) const {
    std::optional<TextMatch> found;
    if (isEmpty())
        return found;
    forEachCandidateBackward(text, std::max<qsizetype>(from, 0), std::min(to, text.size()),
                             [&](qsizetype at) {
                                 qsizetype end = 0;
                                 if (matchAt(text, at, &end) != Verdict::Match)
                                     return true;
                                 found = TextMatch{at, end};
                                 return false;
                             });
    return found;
}

TextPattern::Count TextPattern::count(QStringView text, qsizetype from, qsizetype to) const {
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, text.size());
    Count counted{0, std::max(from, to)};
    if (isEmpty())
        return counted;
    forEachCandidate(text, from, to, [&](qsizetype at) {
        qsizetype end = 0;
        const Verdict verdict = matchAt(text, at, &end);
        if (verdict == Verdict::Open) {
            counted.decidedTo = at;
            return false;
        }
        counted.matches += verdict == Verdict::Match ? 1 : 0;
        return true;
    });
    return counted;
}
