#include "network/NetworkPanel.h"

#include "base/Text.h"

#include <algorithm>

namespace kestrola::core {

int CompareItemTexts(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::size_t SortedInsertIndex(const std::vector<std::string>& siblings, std::string_view text) {
    std::size_t at = 0;
    while (at < siblings.size() && CompareItemTexts(siblings[at], text) <= 0)
        ++at;
    return at;
}

} // namespace kestrola::core
