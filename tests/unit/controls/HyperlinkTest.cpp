#include "controls/Hyperlink.h"

#include "controls/DialogUnits.h"
#include "fakes/RecordingShell.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(Hyperlink, ErrorTextsNameTheCode) {
    const std::pair<int, const char*> cases[] = {
        {2, "The specified file was not found."},
        {33, "Unknown Error (33) occurred."},
        {-1, "Unknown Error (-1) occurred."},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(HyperlinkErrorText(code), std::string("Unable to open hyperlink:\n\n") + text)
            << code;
}

TEST(Hyperlink, GotoUrlFallsBackToTheBrowserOnlyWhenTheOpenerFails) {
    const struct {
        int opener;
        std::optional<int> browser;
        int expected;
        bool browserTried;
    } cases[] = {
        {42, 42, 42, false}, {33, std::nullopt, 33, false}, {32, std::nullopt, 32, true},
        {31, 8, 8, true},    {0, std::nullopt, 0, true},
    };
    for (const auto& c : cases) {
        platform::testing::RecordingShell shell;
        shell.result = c.opener;
        shell.browserResult = c.browser;
        EXPECT_EQ(GotoUrl(shell, "https://x.example/"), c.expected) << c.opener;
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].first, "open");
        EXPECT_EQ(shell.calls[0].second, "https://x.example/");
        EXPECT_EQ(shell.browserRuns.size(), c.browserTried ? 1u : 0u) << c.opener;
    }
    EXPECT_FALSE(OpenSucceeded(32));
    EXPECT_TRUE(OpenSucceeded(33));
}

TEST(DialogUnits, ConvertWithTheFontsBaseUnits) {
    // 52 letters 334 pixels wide: 6.42 rounds to 6.
    const auto units = DialogUnits::FromFont(334, 13);
    EXPECT_EQ(units.BaseX(), 6);
    EXPECT_EQ(DialogUnits::FromFont(339, 13).BaseX(), 7); // 6.52 rounds up
    EXPECT_EQ(units.X(1), 2);                             // 1.5 rounds away from zero
    EXPECT_EQ(units.Y(12), 20);                           // 19.5
    EXPECT_EQ(units.X(-1), -2);
    EXPECT_EQ(units.ToPixels(14, 65, 148, 15), (Rect{21, 106, 21 + 222, 106 + 24}));
}

} // namespace
} // namespace kestrola::core
