#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace kestrola::testing {

/// Bytes from hexadecimal digits (either case); anything between the digits is skipped, so byte
/// listings can be pasted as they are.
inline std::string FromHex(std::string_view hex) {
    std::string digits, out;
    for (const char c : hex)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    return out;
}

} // namespace kestrola::testing
