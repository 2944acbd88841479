#pragma once

#include "settings/ProfileStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

/// Most entries a list is read with, whatever its "Count" says.
inline constexpr std::int32_t kStringListMaxCount = 4096;

/// The sections that hold lists of texts.
inline constexpr std::string_view kIgnoreAllowWords = "IgnoreAllowWords";
inline constexpr std::string_view kIgnoreAllowTwits = "IgnoreAllowTwits";
inline constexpr std::string_view kPersonalizedSounds = "Personalized Sounds";
inline constexpr std::string_view kLastSended = "LastSended";

/// A list section: whether the program writes it back.
struct StringListSectionInfo {
    std::string_view section;
    bool written;
};

/// The list sections, in the order the main window reads them.
inline constexpr StringListSectionInfo kStringListSections[] = {
    {kIgnoreAllowWords, false},
    {kIgnoreAllowTwits, false},
    {kPersonalizedSounds, false},
    {kLastSended, true},
};

/// A section that stores a list of texts: integer key "Count" and text keys "0", "1", ... up
/// to Count-1. Entries left over from an earlier, longer list stay in the store; "Count"
/// bounds what is read.
class StringListSection {
public:
    StringListSection(ProfileStore& store, std::string_view section);

    /// Empties `list`, then appends the text of each key "0" to Count-1 in index order (a
    /// missing key as an empty text). A Count above kStringListMaxCount reads that many.
    void Load(std::vector<std::string>& list) const;
    /// Writes "Count" and then every entry under its index, in one batch; false when the
    /// store could not be written.
    bool Save(const std::vector<std::string>& list);

private:
    ProfileStore& m_store;
    std::string m_section;
};

/// Loads the list in `section` of `store` into `list`.
void LoadStringList(ProfileStore& store, std::vector<std::string>& list, std::string_view section);
/// Saves `list` into `section` of `store`.
bool SaveStringList(ProfileStore& store, const std::vector<std::string>& list,
                    std::string_view section);

} // namespace kestrola::core
