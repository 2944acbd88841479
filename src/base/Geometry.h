#pragma once

namespace kestrola::core {

/// A point in pixels.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

/// A width and height in pixels.
struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

/// A rectangle whose right and bottom edges lie just outside it, as window systems count them.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    /// True when the rectangle covers no pixel.
    bool IsEmpty() const { return right <= left || bottom <= top; }
    /// The same rectangle moved by (dx, dy).
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    /// The rectangle shrunk by `d` on every side.
    Rect Deflate(int d) const { return {left + d, top + d, right - d, bottom - d}; }
    /// True when the two rectangles share at least one pixel.
    bool Intersects(const Rect& other) const {
        return !IsEmpty() && !other.IsEmpty() && left < other.right && other.left < right &&
               top < other.bottom && other.top < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace kestrola::core
