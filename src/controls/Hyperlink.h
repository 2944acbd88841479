#pragma once

#include "base/Geometry.h"

#include <cstdint>
#include <string>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::core {

/// A link's text colour before its first successful open: red 0, green 0, blue 238 (0x00BBGGRR).
inline constexpr std::uint32_t kLinkColour = 0x00EE0000;
/// A link's text colour after a successful open: red 85, green 26, blue 139.
inline constexpr std::uint32_t kVisitedColour = 0x008B1A55;

/// True when a shell-open result code means the target was opened.
inline bool OpenSucceeded(int code) {
    return code > 32;
}

/// Opens `url` through the desktop's opener and, when that fails, through the registered web
/// browser. Returns the code of the last attempt: the opener's when no browser is registered.
int GotoUrl(platform::Shell& shell, const std::string& url);

/// The whole text of the message box that reports a failed open with result `code`.
std::string HyperlinkErrorText(int code);

/// How a label's text is aligned in its control.
struct LabelAlignment {
    bool centreVertically = false; ///< the text is centred from top to bottom
    bool centre = false;           ///< the text is centred from left to right
    bool right = false;            ///< the text is aligned right (when not centred)
};

/// The rectangle a label takes when it is fitted to a text of `text` size inside `r`.
Rect FitToText(const Rect& r, Size text, LabelAlignment alignment);

} // namespace kestrola::core
