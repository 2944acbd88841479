#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrola::platform::netbios {

/// Bytes a NetBIOS name may have before its suffix.
constexpr std::size_t kNameLength = 15;
/// Size of an encoded name with an empty scope: length byte, 32 characters, terminating 0x00.
constexpr std::size_t kEncodedNameSize = 34;

/// Suffixes the transport uses.
constexpr std::uint8_t kWorkstationSuffix = 0x00;
constexpr std::uint8_t kMessengerSuffix = 0x03;

/// A view of packet bytes.
using Bytes = std::span<const std::uint8_t>;
/// The bytes of a string as a packet.
inline Bytes AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

/// A NetBIOS name: up to 15 OEM bytes without their padding, and the suffix byte.
struct NetbiosName {
    std::string name;
    std::uint8_t suffix = kWorkstationSuffix;

    bool operator==(const NetbiosName&) const = default;
};

/// Why `oem` cannot be a NetBIOS name (empty, longer than 15 bytes, a control character or one
/// of \ / : * ? " < > |), or an empty view when it can.
std::string_view CheckName(std::string_view oem);

/// The 16 raw bytes of a name: ASCII letters upper-cased, padded with spaces to 15 bytes (the
/// wildcard "*" with NUL bytes), then the suffix.
std::array<std::uint8_t, 16> RawName(const NetbiosName& name);

/// Appends the 34-byte wire form of `name` (first-level encoding, empty scope).
void AppendEncodedName(std::string& out, const NetbiosName& name);

/// The result of reading an encoded name.
struct NameParse {
    NetbiosName name;
    std::size_t next = 0;     ///< offset just after the name field
    std::string_view refused; ///< why it was refused; empty when it was read
    bool ok() const { return refused.empty(); }
};

/// Reads the encoded name at `offset`. With `allowPointer`, the field may be a compression
/// pointer (0xC0 0x0C style) to an encoded name earlier in the packet. Names with a scope are
/// refused. Never reads outside `packet`.
NameParse ParseEncodedName(Bytes packet, std::size_t offset, bool allowPointer);

/// Whether two names are the same name as a receiver compares them: ASCII case ignored, the
/// same suffix.
bool SameName(const NetbiosName& a, const NetbiosName& b);

/// "NAME<1D>" for logs and the command line.
std::string NameForDisplay(const NetbiosName& name);

} // namespace kestrola::platform::netbios
