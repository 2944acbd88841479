#include "MainWindowHarness.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::AttentionIcon;
using core::ShowCommand;
using core::TrayOperation;
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
    // Messages 1 and 2 read, 3 shown (still new); a change of the counters shows the steady
    // new-message icon, whatever the blink phase.
    for (int i = 0; i < 2; ++i) {
        h.window->OnCommand(core::kNextButton);
        EXPECT_EQ(h.view.trayCalls.back().icon, M);
    }
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "3/1");
    const std::size_t tray = h.view.trayCalls.size(), icons = h.view.windowIcons.size();
    for (int i = 0; i < 4; ++i)
        h.Tick();
    // The phase runs on from the earlier ticks: the four ticks alternate.
    ASSERT_EQ(h.view.trayCalls.size(), tray + 4);
    const AttentionIcon first = h.view.trayCalls[tray].icon, second = first == M ? B : M;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(h.view.trayCalls[tray + i].icon, i % 2 ? second : first);
        EXPECT_EQ(h.view.trayCalls[tray + i].tip, "Kestrola NET All:3  New:1");
    }
    EXPECT_EQ(Icons(h.view.windowIcons.begin() + icons, h.view.windowIcons.end()),
              (Icons{first, second, first, second}));
    EXPECT_TRUE(h.view.urgent);
    // Reading the last new message: the next tick shows the normal icon in both places.
    h.window->OnCommand(core::kPreviousButton);
    h.Tick();
    EXPECT_EQ(h.view.trayCalls.back().icon, N);
    EXPECT_EQ(h.view.trayCalls.back().tip, "Kestrola NET All:3  New:0");
    EXPECT_EQ(h.view.windowIcons.back(), N);
    EXPECT_FALSE(h.view.urgent);
}

// Without blinking the new icon stays; without a tray the window icon blinks all the same
// and minimising leaves the window on the task bar.
TEST(TrayAttention, BlinkTrayIconAndMinimizeToTray) {
    for (const auto& [blink, tray] : {std::pair{0, 1}, std::pair{1, 0}}) {
        MainWindowHarness h;
        h.Start({{"SystemSettings", "BlinkTrayIcon", blink},
                 {"SystemSettings", "MinimizeToTray", tray},
                 {"EventsSettings", "UpWindowOnPopup", 0}});
        h.Arrive(*h.pc2, "*", "x");
        ASSERT_TRUE(h.Tick().received);
        const std::size_t start = h.view.windowIcons.size();
        for (int i = 0; i < 3; ++i)
            h.Tick();
        EXPECT_EQ(*std::find_if(h.view.windowIcons.begin(), h.view.windowIcons.end(),
                                [](AttentionIcon icon) { return icon != N; }),
                  M)
            << "blinking starts on the new-message icon";
        const AttentionIcon first = h.view.windowIcons[start], other = first == M ? B : M;
        EXPECT_EQ(Icons(h.view.windowIcons.begin() + start, h.view.windowIcons.end()),
                  (blink ? Icons{first, other, first} : Icons{M, M, M}));
        EXPECT_EQ(h.view.trayCalls.empty(), tray == 0);
        h.window->MinimizeWindow();
        EXPECT_EQ(h.view.state, tray ? WindowState::Hidden : WindowState::Minimized);
    }
}

TEST(TrayAttention, AddAndDeleteHappenOnceModifyAlwaysGoesThrough) {
    MainWindowHarness h;
    h.Start({{"SystemSettings", "MinimizeToTray", 0}});
    core::TrayAttention& tray = h.window->Tray();
    for (const TrayOperation operation :
         {TrayOperation::Delete, TrayOperation::Modify, TrayOperation::Add, TrayOperation::Add})
        tray.NotifyTray(operation, N, "");
    EXPECT_TRUE(tray.TrayPresent());
    tray.NotifyTray(TrayOperation::Delete, N, "");
    tray.NotifyTray(TrayOperation::Delete, N, "");
    EXPECT_FALSE(tray.TrayPresent());
    std::vector<TrayOperation> operations;
    for (const auto& call : h.view.trayCalls)
        operations.push_back(call.operation);
    EXPECT_EQ(operations, (std::vector<TrayOperation>{TrayOperation::Modify, TrayOperation::Add,
                                                      TrayOperation::Delete}));
}

// A left click toggles; the platform's minimise hides only into an available tray.
TEST(TrayAttention, LeftClickAndThePlatformsMinimise) {
    const struct {
        WindowState before;
        bool trayAvailable, click;
        WindowState after;
    } cases[] = {{WindowState::Normal, true, true, WindowState::Hidden},
                 {WindowState::Normal, false, true, WindowState::Minimized},
                 {WindowState::Hidden, true, true, WindowState::Normal},
                 {WindowState::Minimized, true, true, WindowState::Normal},
                 {WindowState::Minimized, true, false, WindowState::Hidden},
                 {WindowState::Minimized, false, false, WindowState::Minimized}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        h.view.trayAvailable = c.trayAvailable;
        h.Start();
        h.view.state = c.before;
        if (c.click)
            h.window->OnTrayEvent(core::TrayEvent::LeftButtonDown);
        else
            h.window->OnSystemMinimize();
        EXPECT_EQ(h.view.state, c.after)
            << static_cast<int>(c.before) << c.trayAvailable << c.click;
    }
}

TEST(TrayAttention, RightClickOpensTheMenuWhoseCommandsWork) {
    MainWindowHarness h;
    h.Start();
    h.window->OnTrayEvent(core::TrayEvent::RightButtonDown);
    h.window->OnTrayEvent(core::TrayEvent::Other);
    EXPECT_EQ(h.view.trayMenus, 1);
    h.window->OnCommand(core::kTrayMenuMinimize);
    EXPECT_EQ(h.view.state, WindowState::Hidden);
    h.window->OnCommand(core::kTrayMenuRestore);
    EXPECT_EQ(std::vector<ShowCommand>(h.view.shows.end() - 2, h.view.shows.end()),
              (std::vector<ShowCommand>{ShowCommand::ShowMinimized, ShowCommand::ShowNormal}));
    h.window->OnCommand(core::kTrayMenuMinimize);
    h.view.composer = "draft";
    h.window->OnCommand(core::kTrayMenuSendMessage);
    EXPECT_EQ(h.view.state, WindowState::Normal);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.view.composer, "");
    h.window->OnCommand(core::kTrayMenuExit);
    EXPECT_EQ(h.view.Count("EndDialog"), 1);
}

TEST(TrayAttention, RaiseRestoresOrBringsToTheFront) {
    MainWindowHarness h;
    h.Start();
    h.window->RaiseWindow();
    EXPECT_EQ(h.view.shows.back(), ShowCommand::Restore);
    EXPECT_EQ(h.view.foregrounds, 1);
    h.view.state = WindowState::Hidden;
    h.window->RaiseWindow();
    EXPECT_EQ(h.view.state, WindowState::Normal);
    EXPECT_EQ(h.view.foregrounds, 1);
}

} // namespace
} // namespace kestrola::testing
