#include "platform/netbios/NetbiosName.h"

#include "base/Text.h"

#include <cstdio>

namespace kestrola::platform::netbios {

namespace {} // namespace

std::string_view CheckName(std::string_view oem) {
    if (oem.empty())
        return "the name is empty";
    if (oem.size() > kNameLength)
        return "the name is longer than 15 characters";
    for (const char c : oem) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return "the name contains a control character";
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return "the name contains a character NetBIOS names cannot have (\\ / : * ? \" < > |)";
    }
    return {};
}

std::array<std::uint8_t, 16> RawName(const NetbiosName& name) {
    std::array<std::uint8_t, 16> raw{};
    // The wildcard is padded with NUL bytes, every other name with spaces.
    const std::uint8_t pad = name.name == "*" ? 0x00 : 0x20;
    raw.fill(pad);
    for (std::size_t i = 0; i < name.name.size() && i < kNameLength; ++i)
        raw[i] = static_cast<std::uint8_t>(core::AsciiUpper(name.name[i]));
    raw[15] = name.suffix;
    return raw;
}

void AppendEncodedName(std::string& out, const NetbiosName& name) {
    out += static_cast<char>(0x20);
    for (const std::uint8_t b : RawName(name)) {
        out += static_cast<char>('A' + (b >> 4));
        out += static_cast<char>('A' + (b & 0x0F));
    }
    out += '\0';
}

NameParse ParseEncodedName(Bytes packet, std::size_t offset, bool allowPointer) {
    NameParse result;
    std::size_t at = offset;
    if (at >= packet.size()) {
        result.refused = "the packet ends before a name";
        return result;
    }
    if ((packet[at] & 0xC0) == 0xC0) {
        if (!allowPointer) {
            result.refused = "a compression pointer where a full name belongs";
            return result;
        }
        if (at + 2 > packet.size()) {
            result.refused = "the packet ends inside a compression pointer";
            return result;
        }
        const std::size_t target =
            (static_cast<std::size_t>(packet[at] & 0x3F) << 8) | packet[at + 1];
        // Only backwards, and only to a plain name, so that pointers cannot loop.
        if (target >= at) {
            result.refused = "a compression pointer that does not point backwards";
            return result;
        }
        NameParse pointed = ParseEncodedName(packet, target, false);
        if (!pointed.ok())
            return pointed;
        pointed.next = at + 2;
        return pointed;
    }
    if (packet[at] != 0x20) {
        result.refused = "a name length byte other than 32";
        return result;
    }
    if (at + kEncodedNameSize > packet.size()) {
        result.refused = "the packet ends inside a name";
        return result;
    }
    std::array<std::uint8_t, 16> raw{};
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint8_t high = packet[at + 1 + 2 * i];
        const std::uint8_t low = packet[at + 2 + 2 * i];
        if (high < 'A' || high > 'P' || low < 'A' || low > 'P') {
            result.refused = "a name character outside A to P";
            return result;
        }
        raw[i] = static_cast<std::uint8_t>(((high - 'A') << 4) | (low - 'A'));
    }
    if (packet[at + 33] != 0x00) {
        result.refused = "a name with a scope";
        return result;
    }
    std::size_t length = kNameLength;
    while (length > 0 && (raw[length - 1] == 0x20 || raw[length - 1] == 0x00))
        --length;
    result.name.name.assign(reinterpret_cast<const char*>(raw.data()), length);
    result.name.suffix = raw[15];
    result.next = at + kEncodedNameSize;
    return result;
}

bool SameName(const NetbiosName& a, const NetbiosName& b) {
    return a.suffix == b.suffix && core::AsciiUpper(a.name) == core::AsciiUpper(b.name);
}

std::string NameForDisplay(const NetbiosName& name) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "<%02X>", name.suffix);
    return name.name + suffix;
}

} // namespace kestrola::platform::netbios
