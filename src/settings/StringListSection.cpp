#include "settings/StringListSection.h"

#include <algorithm>

namespace kestrola::core {

StringListSection::StringListSection(ProfileStore& store, std::string_view section)
    : m_store(store), m_section(section) {}

void StringListSection::Load(std::vector<std::string>& list) const {
    list.clear();
    ProfileStore::Batch batch(m_store);
    // A hand-edited Count of two thousand million would otherwise fill memory with empty
    // entries before the window ever shows.
    const std::int32_t count =
        std::min(m_store.ReadInt(m_section, "Count", 0), kStringListMaxCount);
    for (std::int32_t i = 0; i < count; ++i)
        list.push_back(m_store.ReadString(m_section, std::to_string(i), ""));
}

bool StringListSection::Save(const std::vector<std::string>& list) {
    ProfileStore::Batch batch(m_store);
    bool written = m_store.WriteInt(m_section, "Count", static_cast<std::int32_t>(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i)
        written &= m_store.WriteString(m_section, std::to_string(i), list[i]);
    return batch.End() && written;
}

void LoadStringList(ProfileStore& store, std::vector<std::string>& list, std::string_view section) {
    StringListSection(store, section).Load(list);
}

bool SaveStringList(ProfileStore& store, const std::vector<std::string>& list,
                    std::string_view section) {
    return StringListSection(store, section).Save(list);
}

} // namespace kestrola::core
