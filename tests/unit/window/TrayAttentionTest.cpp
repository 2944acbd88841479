#include "MainWindowHarness.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::AttentionIcon;
using core::ShowCommand;
using core::TrayOperation;
using core::WindowState;

constexpr AttentionIcon N = AttentionIcon::Normal;
constexpr AttentionIcon M = AttentionIcon::NewMessage;
constexpr AttentionIcon B = AttentionIcon::Blink;

// The icons and tips the tray was given from `from` on.
std::vector<std::pair<AttentionIcon, std::string>> TrayChanges(const FakeMainView& view,
                                                               std::size_t from) {
    std::vector<std::pair<AttentionIcon, std::string>> changes;
    for (std::size_t i = from; i < view.trayCalls.size(); ++i)
        changes.emplace_back(view.trayCalls[i].icon, view.trayCalls[i].tip);
    return changes;
}

TEST(TrayAttention, TipAndBlinkOverTicksUntilTheNewMessageIsRead) {
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", 0);
    h.Set("EventsSettings", "UpWindowOnPopup", 0);
    h.Start();
    h.Arrive(*h.pc2, "WORKGROUP", "one");
    h.Arrive(*h.pc2, "WORKGROUP", "two");
    h.Arrive(*h.pc2, "WORKGROUP", "three");
    // Three ticks take the three messages in; the first is shown on the empty base.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(h.Tick().received);
    h.window->OnCommand(core::kNextButton); // message 1 read, 2 shown
    h.window->OnCommand(core::kNextButton); // message 2 read, 3 shown (still new)
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "3/1");

    const std::size_t start = h.view.trayCalls.size();
    const std::size_t iconsStart = h.view.windowIcons.size();
    for (int i = 0; i < 4; ++i)
        h.Tick();
    // The phase runs on from the earlier ticks: the four ticks alternate, whichever comes first.
    const auto changes = TrayChanges(h.view, start);
    ASSERT_EQ(changes.size(), 4u);
    const AttentionIcon first = changes[0].first;
    const AttentionIcon second = first == M ? B : M;
    const std::string tip = "Kestrola NET All:3  New:1";
    const std::vector<std::pair<AttentionIcon, std::string>> blinking = {
        {first, tip}, {second, tip}, {first, tip}, {second, tip}};
    EXPECT_EQ(changes, blinking);
    const std::vector<AttentionIcon> windowIcons(h.view.windowIcons.begin() + iconsStart,
                                                 h.view.windowIcons.end());
    EXPECT_EQ(windowIcons, (std::vector<AttentionIcon>{first, second, first, second}));
    EXPECT_TRUE(h.view.urgent);

    // Reading the last new message: the next tick shows the normal icon in both places.
    h.window->OnCommand(core::kPreviousButton);
    h.Tick();
    EXPECT_EQ(h.view.trayCalls.back().icon, N);
    EXPECT_EQ(h.view.trayCalls.back().tip, "Kestrola NET All:3  New:0");
    EXPECT_EQ(h.view.windowIcons.back(), N);
    EXPECT_FALSE(h.view.urgent);
}

TEST(TrayAttention, WithoutBlinkingTheNewIconStays) {
    MainWindowHarness h;
    h.Set("SystemSettings", "BlinkTrayIcon", 0);
    h.Set("EventsSettings", "UpWindowOnPopup", 0);
    h.Start();
    h.Arrive(*h.pc2, "*", "x");
    ASSERT_TRUE(h.Tick().received);
    const std::size_t start = h.view.windowIcons.size();
    for (int i = 0; i < 3; ++i)
        h.Tick();
    EXPECT_EQ(
        std::vector<AttentionIcon>(h.view.windowIcons.begin() + start, h.view.windowIcons.end()),
        (std::vector<AttentionIcon>{M, M, M}));
}

TEST(TrayAttention, WithoutMinimizeToTrayThereIsNoTrayButTheWindowIconBlinks) {
    MainWindowHarness h;
    h.Set("SystemSettings", "MinimizeToTray", 0);
    h.Set("EventsSettings", "UpWindowOnPopup", 0);
    h.Start();
    h.Arrive(*h.pc2, "*", "x");
    h.Tick();
    h.Tick();
    h.Tick();
    EXPECT_TRUE(h.view.trayCalls.empty());
    ASSERT_GE(h.view.windowIcons.size(), 2u);
    EXPECT_NE(h.view.windowIcons.back(), h.view.windowIcons[h.view.windowIcons.size() - 2]);
    h.window->MinimizeWindow();
    EXPECT_EQ(h.view.state, WindowState::Minimized) << "stays on the task bar";
}

TEST(TrayAttention, AddAndDeleteHappenOnceModifyAlwaysGoesThrough) {
    MainWindowHarness h;
    h.Set("SystemSettings", "MinimizeToTray", 0);
    h.Start();
    core::TrayAttention& tray = h.window->Tray();
    tray.NotifyTray(TrayOperation::Delete, N, "");
    EXPECT_TRUE(h.view.trayCalls.empty()) << "nothing to delete";
    tray.NotifyTray(TrayOperation::Modify, N, "tip");
    tray.NotifyTray(TrayOperation::Add, N, "a");
    tray.NotifyTray(TrayOperation::Add, N, "b");
    EXPECT_TRUE(tray.TrayPresent());
    tray.NotifyTray(TrayOperation::Delete, N, "");
    tray.NotifyTray(TrayOperation::Delete, N, "");
    std::vector<TrayOperation> operations;
    for (const auto& call : h.view.trayCalls)
        operations.push_back(call.operation);
    EXPECT_EQ(operations, (std::vector<TrayOperation>{TrayOperation::Modify, TrayOperation::Add,
                                                      TrayOperation::Delete}));
}

struct ClickCase {
    WindowState before;
    bool trayAvailable;
    WindowState after;
};

class TrayClick : public ::testing::TestWithParam<ClickCase> {};

TEST_P(TrayClick, LeftClickToggles) {
    const ClickCase c = GetParam();
    MainWindowHarness h;
    h.view.trayAvailable = c.trayAvailable;
    h.Start();
    h.view.state = c.before;
    h.window->OnTrayEvent(core::TrayEvent::LeftButtonDown);
    EXPECT_EQ(h.view.state, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrayClick,
    ::testing::Values(ClickCase{WindowState::Normal, true, WindowState::Hidden},
                      ClickCase{WindowState::Normal, false, WindowState::Minimized},
                      ClickCase{WindowState::Hidden, true, WindowState::Normal},
                      ClickCase{WindowState::Minimized, true, WindowState::Normal}));

TEST(TrayAttention, RightClickOpensTheMenuWhoseCommandsWork) {
    MainWindowHarness h;
    h.Start();
    h.window->OnTrayEvent(core::TrayEvent::RightButtonDown);
    h.window->OnTrayEvent(core::TrayEvent::Other);
    EXPECT_EQ(h.view.trayMenus, 1);

    h.window->OnCommand(core::kTrayMenuMinimize);
    EXPECT_EQ(h.view.state, WindowState::Hidden);
    h.window->OnCommand(core::kTrayMenuRestore);
    EXPECT_EQ(h.view.state, WindowState::Normal);
    EXPECT_EQ(std::vector<ShowCommand>(h.view.shows.end() - 2, h.view.shows.end()),
              (std::vector<ShowCommand>{ShowCommand::ShowMinimized, ShowCommand::ShowNormal}));

    h.window->OnCommand(core::kTrayMenuMinimize);
    h.view.composer = "draft";
    h.window->OnCommand(core::kTrayMenuSendMessage);
    EXPECT_EQ(h.view.state, WindowState::Normal);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.view.composer, "");

    h.window->OnCommand(core::kTrayMenuExit);
    EXPECT_EQ(h.view.endDialogs, 1);
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

TEST(TrayAttention, ThePlatformsMinimiseHidesOnlyIntoAnAvailableTray) {
    for (const bool available : {true, false}) {
        MainWindowHarness h;
        h.view.trayAvailable = available;
        h.Start();
        h.view.state = WindowState::Minimized;
        h.window->OnSystemMinimize();
        EXPECT_EQ(h.view.state, available ? WindowState::Hidden : WindowState::Minimized);
    }
}

} // namespace
} // namespace kestrola::testing
