#pragma once

#include <QString>

#include <vector>

// A send made from the send box: its text as typed, and its mode.
struct SentText {
    QString text;
    bool hex = false;

    bool operator==(const SentText&) const = default;
};

// The sends made with the Send button or its keys, oldest first, and where
// Ctrl+Up and Ctrl+Down stand among them.
class SendHistory {
public:
    static constexpr int Capacity = 200;

    explicit SendHistory(std::vector<SentText> entries = {});

    const std::vector<SentText>& entries() const { return m_entries; }

    // Keeps a send, unless it equals the newest; the oldest gives way past
    // the capacity. Browsing starts again after the newest. Returns whether
    // the entries changed.
    bool add(const SentText& sent);
    // The entry before the one shown; `shown` is what the box holds, kept
    // when browsing starts, to come back after the newest. False at the
    // oldest.
    bool older(const SentText& shown, SentText* entry);
    // The entry after the one shown, or what the box held when browsing
    // started. False when not browsing.
    bool newer(SentText* entry);

private:
    std::vector<SentText> m_entries;
    // The entry shown; m_entries.size() while not browsing.
    std::size_t m_at;
    SentText m_unsent;
};
