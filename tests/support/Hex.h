#pragma once

#include <string>
#include <string_view>

namespace kestrola::testing {

/// Bytes from hexadecimal digits (either case); blanks, line breaks and other characters
/// between the digits are skipped, so byte listings can be pasted as they are.
inline std::string FromHex(std::string_view hex) {
    std::string out;
    int nibbles = 0;
    int value = 0;
    for (const char c : hex) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            continue;
        value = value * 16 + digit;
        if (++nibbles == 2) {
            out += static_cast<char>(value);
            nibbles = value = 0;
        }
    }
    return out;
}

} // namespace kestrola::testing
