#include "window/AboutInfo.h"
#include "window/Expansion.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(AboutInfo, HelpFileReplacesTheExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/kestrola-net", "/usr/bin/kestrola-net.HLP"},
        {"/opt/app.d/kestrola", "/opt/app.d/kestrola.HLP"},
        {"/home/u/.kestrola", "/home/u/.kestrola.HLP"},
        {"kestrola.bin.exe", "kestrola.bin.HLP"},
    };
    for (const auto& [program, help] : cases)
        EXPECT_EQ(HelpFilePath(program), help) << program;
}

TEST(Expansion, OnlyControlsWhollyOutsideTheMarkerSwitch) {
    const Rect marker{0, 0, 150, 100};
    const std::vector<Rect> children = {
        {10, 10, 70, 30},    // inside
        {140, 50, 180, 70},  // straddles the right edge
        {150, 10, 200, 30},  // touches the right edge from outside: shares no pixel
        {149, 10, 200, 30},  // shares one column
        {20, 100, 80, 120},  // just below
        {0, 0, 150, 100},    // the marker itself
        {20, 20, 20, 40},    // empty: overlaps nothing
        {-50, -50, 300, 300} // covers the marker
    };
    EXPECT_EQ(OutsideMarker(children, marker),
              (std::vector<bool>{false, false, true, false, true, false, true, false}));
    EXPECT_EQ(CollapsedSize({100, 200, 500, 500}, {104, 230, 354, 430}), (Size{254, 230}));
}

} // namespace
} // namespace kestrola::core
