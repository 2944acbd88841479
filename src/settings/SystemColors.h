#pragma once

#include <cstdint>
#include <string_view>

namespace kestrola::core {

/// A colour laid out 0x00BBGGRR: red in the low byte.
using ColorRef = std::uint32_t;

/// Builds a colour value from its three components.
constexpr ColorRef Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<ColorRef>(red) | static_cast<ColorRef>(green) << 8 |
           static_cast<ColorRef>(blue) << 16;
}

/// The system colours that settings take their defaults from, numbered as the desktop
/// platform numbers them.
enum class SystemColor : int {
    None = -1,
    Window = 5,      ///< COLOR_WINDOW
    WindowText = 8,  ///< COLOR_WINDOWTEXT
    ButtonFace = 15, ///< COLOR_BTNFACE
    ButtonText = 18, ///< COLOR_BTNTEXT
};

/// The platform's name of a system colour ("COLOR_WINDOW"); "" for None.
std::string_view SystemColorName(SystemColor color);

/// The desktop's current system colours. The window layer answers from its palette; the core
/// never asks the toolkit itself.
class SystemColors {
public:
    virtual ~SystemColors() = default;
    /// The colour the desktop uses now for `color`.
    virtual ColorRef Get(SystemColor color) const = 0;
};

/// The classic light scheme: white windows with black text, grey buttons with black text.
/// Used where no desktop is at hand (tools, tests).
class ClassicSystemColors final : public SystemColors {
public:
    ColorRef Get(SystemColor color) const override;
};

} // namespace kestrola::core
