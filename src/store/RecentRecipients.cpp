#include "store/RecentRecipients.h"

#include <algorithm>

namespace kestrola::core {

void RecentRecipients::LoadRecentRecipients(const std::vector<std::string>& stored) {
    m_entries.clear();
    for (const auto& entry : stored)
        m_entries.push_back(m_codePage.UpperCase(entry));
}

void RecentRecipients::AddRecentRecipient(const std::string& name, int historyLength) {
    // The comparison is made before the box upper-cases the name, so a mixed-case name
    // (from the tree) never finds its upper-case entry and is appended again.
    if (std::find(m_entries.begin(), m_entries.end(), name) == m_entries.end())
        m_entries.push_back(m_codePage.UpperCase(name));
    const std::size_t keep = historyLength > 0 ? static_cast<std::size_t>(historyLength) : 0;
    if (m_entries.size() > keep)
        m_entries.erase(m_entries.begin(), m_entries.end() - static_cast<std::ptrdiff_t>(keep));
}

} // namespace kestrola::core
