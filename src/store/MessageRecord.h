#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrola::core {

/// Room for a body in memory; a longer stored body is cut to this on reading.
constexpr std::size_t kBodyCapacity = 1027;
/// Stamp size: 21 characters of text and two NUL bytes.
constexpr std::size_t kStampSize = 23;

/// One message: the raw datagram as it travels (OEM code page), its state and stamp, and the
/// four texts decoded from them for display.
struct MessageRecord {
    std::string from;
    std::string to;
    std::string dateText;
    std::string text;
    std::uint8_t state = 0; ///< 0 new, 1 read
    std::array<std::uint8_t, kBodyCapacity> body{};
    std::uint32_t bodyLength = 0;
    std::array<char, kStampSize> stamp{};

    /// Replaces the body with `bytes`, cut to the capacity, and zeroes the rest.
    void SetBody(const std::string& bytes);
    /// The valid bytes of the body.
    std::string BodyBytes() const;
};

} // namespace kestrola::core
