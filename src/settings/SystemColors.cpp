#include "settings/SystemColors.h"

namespace kestrola::core {

std::string_view SystemColorName(SystemColor color) {
    switch (color) {
    case SystemColor::Window:
        return "COLOR_WINDOW";
    case SystemColor::WindowText:
        return "COLOR_WINDOWTEXT";
    case SystemColor::ButtonFace:
        return "COLOR_BTNFACE";
    case SystemColor::ButtonText:
        return "COLOR_BTNTEXT";
    case SystemColor::None:
        break;
    }
    return {};
}

ColorRef ClassicSystemColors::Get(SystemColor color) const {
    switch (color) {
    case SystemColor::Window:
        return Rgb(255, 255, 255);
    case SystemColor::ButtonFace:
        return Rgb(192, 192, 192);
    case SystemColor::WindowText:
    case SystemColor::ButtonText:
    case SystemColor::None:
        break;
    }
    return Rgb(0, 0, 0);
}

} // namespace kestrola::core
