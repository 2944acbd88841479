#include "MainWindowHarness.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::AttentionIcon;
using core::WindowState;
using Icons = std::vector<AttentionIcon>;
constexpr AttentionIcon N = AttentionIcon::Normal;
constexpr AttentionIcon M = AttentionIcon::NewMessage;
constexpr AttentionIcon B = AttentionIcon::Blink;

TEST(TrayAttention, TipAndBlinkOverTicksUntilTheNewMessageIsRead) {
    MainWindowHarness h;
    h.Start({{"EventsSettings", "AutoShowNewMSG", 0}, {"EventsSettings", "UpWindowOnPopup", 0}});
    for (const char* text : {"one", "two", "three"})
        h.Arrive(*h.pc2, "WORKGROUP", text);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(h.Tick().received);
    // Messages 1 and 2 read, 3 shown (still new).
    h.window->OnCommand(core::kNextButton);
    h.window->OnCommand(core::kNextButton);
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "3/1");
    // The phase runs on from the earlier ticks: four ticks alternate, tray and window alike.
    Icons seen;
    for (int i = 0; i < 4; ++i) {
        h.Tick();
        EXPECT_EQ(h.view.trayIcons.back(), h.view.windowIcons.back());
        EXPECT_EQ(h.view.trayTip, "Kestrola NET All:3  New:1");
        seen.push_back(h.view.windowIcons.back());
    }
    const AttentionIcon second = seen[0] == M ? B : M;
    EXPECT_EQ(seen, (Icons{seen[0], second, seen[0], second}));
    EXPECT_TRUE(h.view.urgent);
    // Reading the last new message: the next tick shows the normal icon in both places.
    h.window->OnCommand(core::kPreviousButton);
    h.Tick();
    EXPECT_EQ(h.view.trayIcons.back(), N);
    EXPECT_EQ(h.view.trayTip, "Kestrola NET All:3  New:0");
    EXPECT_EQ(h.view.windowIcons.back(), N);
    EXPECT_FALSE(h.view.urgent);
}

// A left click toggles; the platform's minimise hides only into an available tray.
TEST(TrayAttention, LeftClickAndThePlatformsMinimise) {
    for (const auto& [before, trayAvailable, click, after] :
         {std::tuple{WindowState::Normal, true, true, WindowState::Hidden},
          std::tuple{WindowState::Normal, false, true, WindowState::Minimized},
          std::tuple{WindowState::Hidden, true, true, WindowState::Normal},
          std::tuple{WindowState::Minimized, true, true, WindowState::Normal},
          std::tuple{WindowState::Minimized, true, false, WindowState::Hidden},
          std::tuple{WindowState::Minimized, false, false, WindowState::Minimized}}) {
        MainWindowHarness h;
        h.view.trayAvailable = trayAvailable;
        h.Start();
        h.view.state = before;
        if (click)
            h.window->OnTrayEvent(core::TrayEvent::LeftButtonDown);
        else
            h.window->OnSystemMinimize();
        EXPECT_EQ(h.view.state, after) << static_cast<int>(before) << trayAvailable << click;
    }
}

} // namespace
} // namespace kestrola::testing
