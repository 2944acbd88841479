#include "platform/OemTable.h"

namespace kestrola::platform {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t NextUtf8(std::string_view text, std::size_t& pos) {
    constexpr char32_t kInvalid = 0xFFFD;
    const auto lead = static_cast<std::uint8_t>(text[pos++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        return kInvalid;
    }
    if (pos + extra > text.size())
        return kInvalid;
    for (int i = 0; i < extra; ++i) {
        const auto b = static_cast<std::uint8_t>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return kInvalid;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kInvalid;
    pos += extra;
    return c;
}

OemTable::OemTable(int number, const std::array<char32_t, 128>& upperHalf) : m_number(number) {
    for (char32_t b = 0; b < 0x80; ++b)
        m_toUnicode[b] = b;
    for (std::size_t i = 0; i < upperHalf.size(); ++i) {
        m_toUnicode[0x80 + i] = upperHalf[i];
        if (upperHalf[i] != 0)
            m_fromUnicode.emplace(upperHalf[i], static_cast<std::uint8_t>(0x80 + i));
    }
}

std::string OemTable::AnsiToOem(std::string_view ansi) const {
    std::string out;
    out.reserve(ansi.size());
    for (std::size_t pos = 0; pos < ansi.size();) {
        const char32_t c = NextUtf8(ansi, pos);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const auto it = m_fromUnicode.find(c);
        out += it == m_fromUnicode.end() ? '?' : static_cast<char>(it->second);
    }
    return out;
}

std::string OemTable::OemToAnsi(std::string_view oem) const {
    std::string out;
    out.reserve(oem.size());
    for (const char ch : oem) {
        const char32_t c = m_toUnicode[static_cast<std::uint8_t>(ch)];
        // A byte the page leaves unassigned still gives one character, so lengths hold.
        AppendUtf8(out, c == 0 && ch != 0 ? U'?' : c);
    }
    return out;
}

std::string OemTable::UpperCase(std::string_view ansi) const {
    std::string out;
    out.reserve(ansi.size());
    for (std::size_t pos = 0; pos < ansi.size();) {
        const std::size_t start = pos;
        const char32_t c = NextUtf8(ansi, pos);
        if (c == 0xFFFD && pos == start + 1 && static_cast<std::uint8_t>(ansi[start]) >= 0x80) {
            out += ansi[start]; // keep undecodable bytes as they were
            continue;
        }
        AppendUtf8(out, ToUpper(c));
    }
    return out;
}

char32_t OemTable::ToUpper(char32_t c) const {
    if (c >= U'a' && c <= U'z')
        return c - 0x20;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    return c;
}

} // namespace kestrola::platform
