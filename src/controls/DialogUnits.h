#pragma once

#include "base/Geometry.h"

namespace kestrola::core {

/// Converts dialog units to pixels. One horizontal unit is a quarter of the dialog font's
/// average character width, one vertical unit an eighth of its height.
class DialogUnits {
public:
    /// Base units from the dialog font: the width of the 52 letters A-Z and a-z together and
    /// the font's line height, both in pixels.
    static DialogUnits FromFont(int alphabetWidth, int height) {
        // The average is rounded to the nearest pixel.
        return DialogUnits((alphabetWidth + 26) / 52, height);
    }
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    /// Horizontal dialog units in pixels, rounded to the nearest pixel.
    int X(int units) const { return Scale(units, m_baseX, 4); }
    /// Vertical dialog units in pixels, rounded to the nearest pixel.
    int Y(int units) const { return Scale(units, m_baseY, 8); }
    /// A rectangle given as x, y, width and height in dialog units, in pixels; position and
    /// size are converted each on its own, as dialog templates are.
    Rect ToPixels(int x, int y, int width, int height) const {
        return {X(x), Y(y), X(x) + X(width), Y(y) + Y(height)};
    }

private:
    static int Scale(int units, int base, int divisor) {
        const long long product = static_cast<long long>(units) * base;
        const long long half = divisor / 2;
        return static_cast<int>(product >= 0 ? (product + half) / divisor
                                             : -((-product + half) / divisor));
    }

    int m_baseX;
    int m_baseY;
};

} // namespace kestrola::core
