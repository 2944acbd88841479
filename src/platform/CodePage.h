#pragma once

#include <string>
#include <string_view>

namespace kestrola::platform {

/// Conversions between the program's ANSI text and the OEM code page that travels on the wire
/// and inside stored message bodies.
class CodePage {
public:
    virtual ~CodePage() = default;
    /// ANSI text to OEM bytes, one byte per character; a character without an OEM code
    /// becomes '?'.
    virtual std::string AnsiToOem(std::string_view ansi) const = 0;
    /// OEM bytes to ANSI text; every byte gives exactly one character.
    virtual std::string OemToAnsi(std::string_view oem) const = 0;
    /// The locale's upper-casing of ANSI text.
    virtual std::string UpperCase(std::string_view ansi) const = 0;
    /// Number of the OEM code page in use (437, 850, ...).
    virtual int OemCodePage() const = 0;
};

} // namespace kestrola::platform
