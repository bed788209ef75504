#include "transmit/send_history.h"

#include <utility>

SendHistory::SendHistory(std::vector<SentText> entries)
    : m_entries(std::move(entries)) {
    if (m_entries.size() > Capacity)
        m_entries.erase(m_entries.begin(), m_entries.end() - Capacity);
    m_at = m_entries.size();
}

bool SendHistory::add(const SentText& sent) {
    const bool kept = m_entries.empty() || m_entries.back() != sent;
    if (kept) {
        m_entries.push_back(sent);
        if (m_entries.size() > Capacity)
            m_entries.erase(m_entries.begin());
    }
    m_at = m_entries.size();
    return kept;
}

bool SendHistory::older(const SentText& shown, SentText* entry) {
    if (m_at == 0)
        return false;
    if (m_at == m_entries.size())
        m_unsent = shown;
    *entry = m_entries[--m_at];
    return true;
}

bool SendHistory::newer(SentText* entry) {
    if (m_at >= m_entries.size())
        return false;
    ++m_at;
    *entry = m_at == m_entries.size() ? m_unsent : m_entries[m_at];
    return true;
}
