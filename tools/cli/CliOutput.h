#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrola::cli {

/// `text` (UTF-8) as a JSON string literal, quotes included, always valid UTF-8: control
/// characters (C0, DEL, C1) and bidirectional controls as \uXXXX, bytes that are not UTF-8 as
/// U+FFFD.
std::string JsonString(std::string_view text);
/// `text` (UTF-8) safe to print on a terminal: every control character (C0, DEL, C1) and
/// bidirectional control shows as \xNN or \u{NNNN}, a byte that is not UTF-8 as \xNN, so that
/// received text cannot move the cursor, set titles or reorder the line; tabs stay, and line
/// feeds stay when `keepLineFeeds` (a message body; never a name).
std::string Printable(std::string_view text, bool keepLineFeeds = false);
/// Bytes as lower-case hexadecimal without separators.
std::string Hex(std::string_view bytes);

/// Command-line words after the command, split into positional words and --options.
struct Arguments {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;

    /// Value of option `name`, or `fallback` when it was not given.
    std::string Option(std::string_view name, std::string_view fallback = {}) const;
    bool Has(std::string_view name) const;
};

/// Splits argv; options named in `withValue` take the next word as their value. Returns false
/// and sets `error` for an option without its value.
bool ParseArguments(int argc, char** argv, const std::vector<std::string_view>& withValue,
                    Arguments& out, std::string& error);

} // namespace kestrola::cli
