#pragma once

#include <cstdint>

namespace kestrola::ui {

/// The five colours of a flat colour button, each laid out 0x00BBGGRR (red in the low byte).
struct ButtonColours {
    std::uint32_t inactiveBackground = 0;
    std::uint32_t activeBackground = 0;
    std::uint32_t inactiveForeground = 0;
    std::uint32_t activeForeground = 0;
    std::uint32_t focusColor = 0;
    friend bool operator==(const ButtonColours&, const ButtonColours&) = default;
};

/// The focus frame's colour until one is set: red 0, green 0, blue 250.
inline constexpr std::uint32_t kDefaultFocusColor = 0xFA0000;

} // namespace kestrola::ui
