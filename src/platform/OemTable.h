#pragma once

#include "platform/CodePage.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrola::platform {

/// Appends the UTF-8 form of `codePoint` to `out`.
void AppendUtf8(std::string& out, char32_t codePoint);
/// Decodes one UTF-8 character at `pos` and advances `pos`; an invalid sequence yields
/// U+FFFD and consumes one byte.
char32_t NextUtf8(std::string_view text, std::size_t& pos);

/// A single-byte OEM code page given by the characters of its bytes 0x80 to 0xFF; the lower
/// half is ASCII. Converts between it and UTF-8 (the ANSI text on this system).
class OemTable : public CodePage {
public:
    /// `upperHalf[i]` is the character of byte 0x80 + i, or 0 where the page has none.
    OemTable(int number, const std::array<char32_t, 128>& upperHalf);

    std::string AnsiToOem(std::string_view ansi) const override;
    std::string OemToAnsi(std::string_view oem) const override;
    std::string UpperCase(std::string_view ansi) const override;
    int OemCodePage() const override { return m_number; }

protected:
    /// Upper-case form of one character; the base maps ASCII and Latin-1 letters only.
    virtual char32_t ToUpper(char32_t c) const;

private:
    int m_number;
    std::array<char32_t, 256> m_toUnicode{};
    std::unordered_map<char32_t, std::uint8_t> m_fromUnicode;
};

} // namespace kestrola::platform
