#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

/// Most characters a text value is read with; longer values are cut.
inline constexpr std::size_t kProfileTextMax = 4095;

/// The integer a profile value reads as: optional blanks, one optional sign, then the leading
/// decimal digits, wrapping at 32 bits; 0 when no digit follows.
std::int32_t ProfileIntFromText(std::string_view text);

/// True when two section or key names match as profile names do: ASCII letters without regard
/// to case, every other byte exactly.
bool SameProfileName(std::string_view a, std::string_view b);

/// The text of an INI file, line by line, read and edited the way hand-edited profile files
/// are: `[section]` lines and `key=value` lines, names matched without regard to case, the
/// first matching section and key winning. Lines that are neither (comments, blanks, junk) are
/// kept as they were, and an edit touches only the line it changes or adds.
class IniDocument {
public:
    /// Result of `Set`.
    enum class Edit {
        Changed,   ///< the text now holds the new value
        Unchanged, ///< the key already read as that value; nothing was touched
        Refused,   ///< a name or the value cannot be stored in this format
    };

    /// An empty document.
    IniDocument() = default;
    /// Splits file bytes into lines ending in CR LF, LF or CR; a leading UTF-8 byte-order mark
    /// is remembered and written again.
    explicit IniDocument(std::string_view bytes);

    /// The value of `key` in `section`: blanks around it removed, one pair of enclosing single
    /// or double quotation marks removed, cut at a NUL and after kProfileTextMax characters.
    /// Nothing when the section or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    /// Stores `value` under `key` in `section`: in place when the key exists (the line keeps
    /// everything up to its value), else as a new line after the section's last key, else in
    /// a new section at the end. Values that would not read back as given (blanks at either
    /// end, enclosing quotation marks) are written inside double quotation marks.
    Edit Set(std::string_view section, std::string_view key, std::string_view value);
    /// Stores `value` as signed decimal text like Set, except that a stored text that already
    /// reads as `value` (a note after the number, say) is left as it is.
    Edit SetInt(std::string_view section, std::string_view key, std::int32_t value);

    /// The whole text with `lineEnd` after every line.
    std::string Serialize(std::string_view lineEnd) const;

    /// Section names in file order, as written (duplicates included).
    std::vector<std::string> SectionNames() const;
    /// Key names of the first section named `section`, in file order.
    std::vector<std::string> KeyNames(std::string_view section) const;

    /// True when `name` can be written as a section name.
    static bool IsStorableSection(std::string_view name);
    /// True when `name` can be written as a key name.
    static bool IsStorableKey(std::string_view name);
    /// True when `value` can be written as a value (no line break, no NUL).
    static bool IsStorableValue(std::string_view value);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text;
        Kind kind = Kind::Other;
        std::string name;          // trimmed section or key name
        std::size_t valueFrom = 0; // for keys: first byte after the '='
    };

    static Line Classify(std::string text);
    /// Index of the first header named `section`, or npos.
    std::size_t FindSection(std::string_view section) const;
    /// Index of `key` in the section whose header is at `header`, or npos.
    std::size_t FindKey(std::size_t header, std::string_view key) const;

    bool m_byteOrderMark = false;
    std::vector<Line> m_lines;
};

} // namespace kestrola::core
