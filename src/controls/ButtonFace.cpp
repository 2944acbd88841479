#include "controls/ButtonFace.h"

namespace kestrola::core {

std::vector<Point> FramePath(const Rect& r) {
    const int l = r.left, t = r.top, ri = r.right - 1, b = r.bottom - 1;
    return {{l, t}, {ri, t}, {ri, b}, {l, b}, {l, t}};
}

ButtonFace LayOutButtonFace(const ButtonFaceInput& in) {
    ButtonFace face;
    Rect r = in.item;

    if (!in.flat && (in.focused || in.isDefault)) {
        face.frame.push_back({FaceColour::Focus, FramePath(r)});
        r = r.Deflate(1);
    }

    face.fill = r;
    face.active = in.hover || in.pressed;

    const int l = r.left, t = r.top, ri = r.right, b = r.bottom;
    if (in.pressed) {
        if (in.flat) {
            // Thin sunken edge.
            face.edges.push_back({FaceColour::Shadow, {{l, b - 1}, {l, t}, {ri, t}}});
            face.edges.push_back(
                {FaceColour::Highlight, {{l, b - 1}, {ri - 1, b - 1}, {ri - 1, t - 1}}});
        } else {
            face.edges.push_back({FaceColour::Shadow, FramePath(r)});
        }
    } else if (in.flat) {
        if (in.hover) {
            // Thin raised edge, only under the mouse.
            face.edges.push_back({FaceColour::Highlight, {{l, b - 1}, {l, t}, {ri, t}}});
            face.edges.push_back(
                {FaceColour::Shadow, {{l, b - 1}, {ri - 1, b - 1}, {ri - 1, t - 1}}});
        }
    } else {
        face.edges.push_back({FaceColour::Highlight, {{l, b - 1}, {l, t}, {ri, t}}});
        face.edges.push_back({FaceColour::Light, {{l + 1, b - 1}, {l + 1, t + 1}, {ri, t + 1}}});
        face.edges.push_back(
            {FaceColour::DarkShadow, {{l, b - 1}, {ri - 1, b - 1}, {ri - 1, t - 1}}});
        face.edges.push_back({FaceColour::Shadow, {{l + 1, b - 2}, {ri - 2, b - 2}, {ri - 2, t}}});
    }

    // Icon and caption are placed in the whole control, not inside the focus frame.
    Rect q = in.item;
    if (in.hasIcon) {
        Rect icon = in.item;
        if (in.hasCaption) {
            icon.left += 3;
            q.left += in.iconWidth + 3;
        } else {
            icon.left += (icon.right - in.iconWidth - icon.left) / 2;
        }
        icon.top += (icon.bottom - in.iconHeight - icon.top) / 2;
        if (in.pressed)
            icon = icon.Offset(1, 1);
        face.iconAt = {icon.left, icon.top};
    }

    if (in.hasCaption) {
        if (in.pressed)
            q = q.Offset(1, 1);
        Rect text{q.left, q.top, q.left + in.captionSize.width, q.top + in.captionSize.height};
        // Integer division truncates toward zero, also for a caption wider than its room.
        face.captionRect =
            text.Offset((q.Width() - text.Width()) / 2, (q.Height() - text.Height()) / 2);
    }
    return face;
}

} // namespace kestrola::core
