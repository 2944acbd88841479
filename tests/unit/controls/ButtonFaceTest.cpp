#include "controls/ButtonFace.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using Path = std::vector<Point>;

TEST(ButtonFace, FlatEdgesFollowHoverAndPressAndNeverAFocusFrame) {
    // l=0 t=0 r=80 b=24: light up the left and along the top, dark along the bottom and right.
    const Path upperLeft{{0, 23}, {0, 0}, {80, 0}};
    const Path lowerRight{{0, 23}, {79, 23}, {79, -1}};
    const FacePath raised[] = {{FaceColour::Highlight, upperLeft},
                               {FaceColour::Shadow, lowerRight}};
    const FacePath sunken[] = {{FaceColour::Shadow, upperLeft},
                               {FaceColour::Highlight, lowerRight}};
    const struct {
        bool hover, pressed;
        std::vector<FacePath> edges;
    } cases[] = {
        {false, false, {}},
        {true, false, {raised[0], raised[1]}},
        {true, true, {sunken[0], sunken[1]}},
        {false, true, {sunken[0], sunken[1]}}, // pressed after leaving
    };
    for (const auto& c : cases) {
        ButtonFaceInput in;
        in.item = {0, 0, 80, 24};
        in.flat = true;
        in.hover = c.hover;
        in.pressed = c.pressed;
        in.focused = true;
        const auto face = LayOutButtonFace(in);
        EXPECT_TRUE(face.frame.empty());
        EXPECT_EQ(face.fill, in.item);
        EXPECT_EQ(face.edges, c.edges) << c.hover << c.pressed;
        EXPECT_EQ(face.active, c.hover || c.pressed);
    }
}

TEST(ButtonFace, RaisedLookFramesFocusAndDefaultInsideWhichEdgesAreDrawn) {
    for (const auto& [focused, isDefault] : {std::pair{false, false}, std::pair{true, false},
                                             std::pair{false, true}, std::pair{true, true}}) {
        ButtonFaceInput in;
        in.item = {0, 0, 80, 24};
        in.flat = false;
        in.focused = focused;
        in.isDefault = isDefault;
        in.hover = true; // never set in the raised look; drawing must not depend on it
        const auto face = LayOutButtonFace(in);
        const bool framed = focused || isDefault;
        const Rect r = framed ? Rect{1, 1, 79, 23} : in.item;
        ASSERT_EQ(face.frame.size(), framed ? 1u : 0u);
        if (framed) {
            EXPECT_EQ(face.frame[0], (FacePath{FaceColour::Focus, FramePath(in.item)}));
        }
        EXPECT_EQ(face.fill, r);
        const std::vector<FacePath> edges = {
            {FaceColour::Highlight, {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}}},
            {FaceColour::Light,
             {{r.left + 1, r.bottom - 1}, {r.left + 1, r.top + 1}, {r.right, r.top + 1}}},
            {FaceColour::DarkShadow,
             {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}}},
            {FaceColour::Shadow,
             {{r.left + 1, r.bottom - 2}, {r.right - 2, r.bottom - 2}, {r.right - 2, r.top}}},
        };
        EXPECT_EQ(face.edges, edges) << focused << isDefault;
    }
    ButtonFaceInput pressed;
    pressed.item = {0, 0, 80, 24};
    pressed.flat = false;
    pressed.pressed = true;
    const auto face = LayOutButtonFace(pressed);
    EXPECT_EQ(face.edges, (std::vector<FacePath>{
                              {FaceColour::Shadow, {{0, 0}, {79, 0}, {79, 23}, {0, 23}, {0, 0}}}}));
    EXPECT_TRUE(face.active);
    EXPECT_EQ(FramePath({2, 3, 6, 8}), (Path{{2, 3}, {5, 3}, {5, 7}, {2, 7}, {2, 3}}));
}

TEST(ButtonFace, IconAndCaptionPlacement) {
    // Icon 16x16, caption 40x13: the icon 3 pixels in, the caption centred in what remains.
    const struct {
        Rect item;
        bool icon, caption, pressed, focusFrame;
        Point iconAt;
        Rect captionRect;
    } cases[] = {
        {{0, 0, 80, 24}, true, true, false, false, {3, 4}, {29, 5, 69, 18}},
        {{0, 0, 80, 24}, true, true, true, false, {4, 5}, {30, 6, 70, 19}}, // pressed
        {{0, 0, 80, 24}, true, false, false, false, {32, 4}, {}},           // icon centred
        {{0, 0, 81, 25}, true, false, false, false, {32, 4}, {}},           // odd room
        {{0, 0, 80, 24}, false, true, false, false, {}, {20, 5, 60, 18}},   // caption alone
        {{0, 0, 80, 24}, true, true, false, true, {3, 4}, {29, 5, 69, 18}}, // focus frame
        {{0, 0, 25, 24}, false, true, false, false, {}, {-7, 5, 33, 18}},   // too wide
        {{10, 20, 90, 44}, true, true, false, false, {13, 24}, {39, 25, 79, 38}},
    };
    for (const auto& c : cases) {
        ButtonFaceInput in;
        in.item = c.item;
        in.flat = !c.focusFrame;
        in.focused = c.focusFrame;
        in.pressed = c.pressed;
        in.hasIcon = c.icon;
        in.iconWidth = in.iconHeight = 16;
        in.hasCaption = c.caption;
        in.captionSize = {40, 13};
        const auto face = LayOutButtonFace(in);
        if (c.icon) {
            EXPECT_EQ(face.iconAt, c.iconAt) << c.item.right;
        }
        if (c.caption) {
            EXPECT_EQ(face.captionRect, c.captionRect) << c.item.right;
        }
    }
}

} // namespace
} // namespace kestrola::core
