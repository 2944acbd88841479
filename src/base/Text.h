#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text helpers for bytes as the program keeps them: UTF-8 inside, ASCII case rules as the
// network and the settings store fold names (no locale is consulted).
namespace kestrola::core {

/// The number of characters of UTF-8 text: its lead bytes (continuation bytes 10xxxxxx
/// belong to the character before them).
int CharacterCount(std::string_view text);

/// The first `count` characters of UTF-8 text, each with its continuation bytes.
std::string_view FirstCharacters(std::string_view text, std::size_t count);

/// Space, tab, CR, LF, vertical tab and form feed.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

/// `text` without the blanks at its ends.
std::string_view Trim(std::string_view text);

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// `text` with its ASCII letters in upper (lower) case; every other byte as it is.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

/// True when `a` and `b` differ at most in the case of ASCII letters.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace kestrola::core
