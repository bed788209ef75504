#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// Where a pattern was found: the characters [start, end) of the text, CRs
// inside the match included, so that selecting and copying them gives the
// text as it is shown.
struct TextMatch {
    qsizetype start = 0;
    qsizetype end = 0;
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

// What the receive and echo areas are searched for. A CR shows as nothing in
// them, so a match passes over the CRs in the text as the reader does: "0D 0A"
// finds "0D \r0A" in hex display. A match starts and ends on a character that
// shows. Matches may overlap: each place the pattern starts at is one.
class TextPattern {
public:
    TextPattern() = default;
    // CRs in the needle are dropped, as the text's are passed over.
    TextPattern(QStringView needle, Qt::CaseSensitivity sensitivity);

    bool isEmpty() const { return m_needle.isEmpty(); }

    // The first match that starts in [from, to); it may end past `to`.
    std::optional<TextMatch> findFirst(QStringView text, qsizetype from, qsizetype to) const;
    // The last match that starts in [from, to).
    std::optional<TextMatch> findLast(QStringView text, qsizetype from, qsizetype to) const;

    // The matches that start in [from, to). Counting stops early, at
    // `decidedTo`, at a start whose match the end of the text leaves open: more
    // text may complete it.
    struct Count {
        qsizetype matches = 0;
        qsizetype decidedTo = 0;
    };
    Count count(QStringView text, qsizetype from, qsizetype to) const;

private:
    enum class Verdict { Match, NoMatch, Open };
    Verdict matchAt(QStringView text, qsizetype at, qsizetype* end) const;
    template <typename Visit>
    void forEachCandidate(QStringView text, qsizetype from, qsizetype to, Visit visit) const;
    template <typename Visit>
    void forEachCandidateBackward(QStringView text, qsizetype from, qsizetype to,
                                  Visit visit) const;
    bool startsHere(char16_t c) const;

    // Folded when the case is ignored.
    QString m_needle;
    bool m_ignoreCase = false;
    // The characters a match can start with: the first of the needle and,
    // when the case is ignored, every character that folds to the same.
    using Variants = std::array<char16_t, 4>;
    Variants m_firsts{};
    // More of them than m_firsts holds: each character is folded instead.
    bool m_manyFirsts = false;
    // The same for the needle's second character, when it has one and its
    // variants fit: a start is then only looked at where one of them, or a
    // CR, comes next.
    Variants m_seconds{};
    bool m_pairs = false;
};
