#include "settings/ProfileStore.h"

#include "settings/IniDocument.h"

namespace kestrola::core {

std::int32_t ProfileStore::ReadInt(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
    // An empty value counts as missing for integers, as it does for the platform's profile
    // functions.
    const auto text = Find(section, key);
    if (!text || text->empty())
        return fallback;
    return ProfileIntFromText(*text);
}

std::string ProfileStore::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    auto text = Find(section, key);
    return text ? std::move(*text) : std::string(fallback);
}

} // namespace kestrola::core
