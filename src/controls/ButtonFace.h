#pragma once

#include "base/Geometry.h"

#include <vector>

namespace kestrola::core {

/// Colours a button's lines are drawn in: the platform's four edge colours and the focus colour.
enum class FaceColour { Shadow, Highlight, Light, DarkShadow, Focus };

/// A path of one-pixel lines through `points`. Each line stops short of its end point, as the
/// window system's lines do, so a path ends one pixel before its last point.
struct FacePath {
    FaceColour colour = FaceColour::Shadow;
    std::vector<Point> points;
    friend bool operator==(const FacePath&, const FacePath&) = default;
};

/// What a button's paint request needs to know about the button.
struct ButtonFaceInput {
    Rect item;              ///< the whole control
    bool flat = true;       ///< flat look (else raised)
    bool hover = false;     ///< the mouse is over the button (flat look only)
    bool pressed = false;   ///< the button is held down
    bool focused = false;   ///< the button has the keyboard focus
    bool isDefault = false; ///< the button is the dialog's default button
    bool hasIcon = false;
    int iconWidth = 0;
    int iconHeight = 0;
    bool hasCaption = false; ///< a caption is drawn (not empty, text shown)
    Size captionSize;        ///< the caption measured as one line
};

/// Where and how each part of a button is drawn, in drawing order.
struct ButtonFace {
    /// Lines drawn before anything else (the raised look's focus frame).
    std::vector<FacePath> frame;
    /// The area filled with the background colour.
    Rect fill;
    /// True when the active colours apply (hover or pressed), else the inactive ones.
    bool active = false;
    /// The edge lines, drawn over the fill.
    std::vector<FacePath> edges;
    /// Top-left corner of the icon (when the input has one).
    Point iconAt;
    /// The rectangle the caption is drawn in (when the input has one).
    Rect captionRect;
};

/// The closed path of a one-pixel frame just inside `r`.
std::vector<Point> FramePath(const Rect& r);

/// Lays out one paint of a flat colour button: focus frame, fill, edges, icon and caption.
ButtonFace LayOutButtonFace(const ButtonFaceInput& in);

} // namespace kestrola::core
