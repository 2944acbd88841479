#pragma once

#include <string>
#include <string_view>

namespace kestrola::platform {

/// Orders two UTF-8 texts as file managers order names: character by character by code point,
/// except that runs of decimal digits compare by their value ("File 9" before "File 10"); equal
/// values with more leading zeros come later. Negative, 0 or positive. Case is compared as
/// given: fold both texts first for a case-insensitive order.
int CompareNaturalOrder(std::string_view first, std::string_view second);

} // namespace kestrola::platform
