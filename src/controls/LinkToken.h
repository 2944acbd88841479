#pragma once

#include <cstddef>
#include <string_view>

namespace kestrola::core {

/// A stretch of a line: the characters from `first` up to `last` (excluded).
struct TokenSpan {
    std::size_t first = 0;
    std::size_t last = 0;
    friend bool operator==(const TokenSpan&, const TokenSpan&) = default;
};

/// The link or path under `position` of `line` (UTF-16): the blank-delimited token there,
/// without the sentence's punctuation around it (a trailing ".", ",", ";", ":", "!", "?",
/// closing quote, or ")" without its "(", and a leading "(" or opening quote). Empty (first
/// == last) when `position` lies between blanks.
TokenSpan LinkTokenAt(std::u16string_view line, std::size_t position);

} // namespace kestrola::core
