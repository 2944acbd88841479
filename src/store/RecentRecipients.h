#pragma once

#include "platform/CodePage.h"

#include <string>
#include <vector>

namespace kestrola::core {

/// The names sent to recently, oldest first, as the recipient box offers them. Entries are
/// kept in upper case, as the box shows them; a new name is compared as it was handed over.
class RecentRecipients {
public:
    explicit RecentRecipients(const platform::CodePage& codePage) : m_codePage(codePage) {}

    /// Replaces the list with a stored one, exactly as stored (no trimming, no merging).
    void LoadRecentRecipients(const std::vector<std::string>& stored);
    /// Appends `name` unless an entry equals it byte for byte, then drops the oldest entries
    /// beyond `historyLength` (0 or below leaves the list empty).
    void AddRecentRecipient(const std::string& name, int historyLength);
    /// The entries to store, oldest first.
    const std::vector<std::string>& SaveRecentRecipients() const { return m_entries; }

private:
    const platform::CodePage& m_codePage;
    std::vector<std::string> m_entries;
};

} // namespace kestrola::core
