#include "controls/ButtonFace.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using Path = std::vector<Point>;

ButtonFaceInput Button(bool flat) {
    ButtonFaceInput in;
    in.item = {0, 0, 80, 24};
    in.flat = flat;
    return in;
}

TEST(ButtonFace, FlatEdgesFollowHoverAndPress) {
    // l=0 t=0 r=80 b=24: the raised edge's light side runs up the left and along the top, the
    // dark side along the bottom and up the right.
    const FacePath raisedLight{FaceColour::Highlight, Path{{0, 23}, {0, 0}, {80, 0}}};
    const FacePath raisedDark{FaceColour::Shadow, Path{{0, 23}, {79, 23}, {79, -1}}};
    const FacePath sunkenDark{FaceColour::Shadow, Path{{0, 23}, {0, 0}, {80, 0}}};
    const FacePath sunkenLight{FaceColour::Highlight, Path{{0, 23}, {79, 23}, {79, -1}}};
    struct Case {
        const char* name;
        bool hover;
        bool pressed;
        std::vector<FacePath> edges;
        bool active;
    };
    const Case cases[] = {
        {"resting", false, false, {}, false},
        {"hover", true, false, {raisedLight, raisedDark}, true},
        {"pressed", true, true, {sunkenDark, sunkenLight}, true},
        {"pressed after leaving", false, true, {sunkenDark, sunkenLight}, true},
    };
    for (const auto& c : cases) {
        auto in = Button(true);
        in.hover = c.hover;
        in.pressed = c.pressed;
        in.focused = true; // the flat look never draws a focus frame
        const auto face = LayOutButtonFace(in);
        EXPECT_TRUE(face.frame.empty()) << c.name;
        EXPECT_EQ(face.fill, in.item) << c.name;
        EXPECT_EQ(face.edges, c.edges) << c.name;
        EXPECT_EQ(face.active, c.active) << c.name;
    }
}

TEST(ButtonFace, RaisedLookFramesFocusAndDefaultInsideWhichEdgesAreDrawn) {
    struct Case {
        const char* name;
        bool focused;
        bool isDefault;
        bool framed;
    };
    const Case cases[] = {
        {"plain", false, false, false},
        {"focused", true, false, true},
        {"default", false, true, true},
        {"focused default", true, true, true},
    };
    for (const auto& c : cases) {
        auto in = Button(false);
        in.focused = c.focused;
        in.isDefault = c.isDefault;
        in.hover = true; // never set in the raised look; drawing must not depend on it
        const auto face = LayOutButtonFace(in);
        const Rect r = c.framed ? Rect{1, 1, 79, 23} : in.item;
        ASSERT_EQ(face.frame.size(), c.framed ? 1u : 0u) << c.name;
        if (c.framed) {
            EXPECT_EQ(face.frame[0].colour, FaceColour::Focus);
            EXPECT_EQ(face.frame[0].points, FramePath(in.item));
        }
        EXPECT_EQ(face.fill, r) << c.name;
        const std::vector<FacePath> edges = {
            {FaceColour::Highlight, {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}}},
            {FaceColour::Light,
             {{r.left + 1, r.bottom - 1}, {r.left + 1, r.top + 1}, {r.right, r.top + 1}}},
            {FaceColour::DarkShadow,
             {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}}},
            {FaceColour::Shadow,
             {{r.left + 1, r.bottom - 2}, {r.right - 2, r.bottom - 2}, {r.right - 2, r.top}}},
        };
        EXPECT_EQ(face.edges, edges) << c.name;
    }
}

TEST(ButtonFace, RaisedPressIsOneShadowFrame) {
    auto in = Button(false);
    in.pressed = true;
    const auto face = LayOutButtonFace(in);
    ASSERT_EQ(face.edges.size(), 1u);
    EXPECT_EQ(face.edges[0].colour, FaceColour::Shadow);
    EXPECT_EQ(face.edges[0].points, (Path{{0, 0}, {79, 0}, {79, 23}, {0, 23}, {0, 0}}));
    EXPECT_TRUE(face.active);
}

TEST(ButtonFace, IconAndCaptionPlacement) {
    struct Case {
        const char* name;
        Rect item;
        bool icon;
        bool caption;
        bool pressed;
        bool focusFrame;
        Point iconAt;
        Rect captionRect;
    };
    // Icon 16x16, caption 40x13.
    const Case cases[] = {
        // Icon left of the caption, 3 pixels in; the caption centred in what remains (61-19=42
        // wide from x=19: (61-40)/2=10 right; (24-13)/2=5 down).
        {"icon and caption", {0, 0, 80, 24}, true, true, false, false, {3, 4}, {29, 5, 69, 18}},
        {"pressed moves both", {0, 0, 80, 24}, true, true, true, false, {4, 5}, {30, 6, 70, 19}},
        {"icon alone is centred", {0, 0, 80, 24}, true, false, false, false, {32, 4}, {}},
        {"odd room truncates", {0, 0, 81, 25}, true, false, false, false, {32, 4}, {}},
        {"caption alone", {0, 0, 80, 24}, false, true, false, false, {}, {20, 5, 60, 18}},
        // The focus frame does not move icon or caption.
        {"inside a focus frame", {0, 0, 80, 24}, true, true, false, true, {3, 4}, {29, 5, 69, 18}},
        // A caption wider than its room starts left of it; the half is truncated toward zero.
        {"caption too wide", {0, 0, 25, 24}, false, true, false, false, {}, {-7, 5, 33, 18}},
        {"offset item", {10, 20, 90, 44}, true, true, false, false, {13, 24}, {39, 25, 79, 38}},
    };
    for (const auto& c : cases) {
        ButtonFaceInput in;
        in.item = c.item;
        in.flat = !c.focusFrame;
        in.focused = c.focusFrame;
        in.pressed = c.pressed;
        in.hasIcon = c.icon;
        in.iconWidth = 16;
        in.iconHeight = 16;
        in.hasCaption = c.caption;
        in.captionSize = {40, 13};
        const auto face = LayOutButtonFace(in);
        if (c.icon) {
            EXPECT_EQ(face.iconAt, c.iconAt) << c.name;
        }
        if (c.caption) {
            EXPECT_EQ(face.captionRect, c.captionRect) << c.name;
        }
    }
}

TEST(ButtonFace, FramePathCoversTheBorderOnce) {
    EXPECT_EQ(FramePath({2, 3, 6, 8}), (Path{{2, 3}, {5, 3}, {5, 7}, {2, 7}, {2, 3}}));
}

} // namespace
} // namespace kestrola::core
