#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "platform/File.h"
#include "platform/netbios/MailslotRegistry.h"
#include "store/HistoryLog.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::WindowState;
using Strings = std::vector<std::string>;

// Each failure ends the run after the remaining steps; the settings are saved at the end.
TEST(MainWindowStartup, AFailureEndsTheRunAndTheSettingsAreSaved) {
    for (const int reported : {0, int{core::kGetNetworkProviderFailed},
                               int{core::kFailedCreateMailslot}, int{core::kReadErrorLength}}) {
        SCOPED_TRACE(reported);
        MainWindowHarness h;
        h.network.providerFound = reported != core::kGetNetworkProviderFailed;
        h.pc1->portTaken = reported == core::kFailedCreateMailslot;
        WriteFileBytes(h.basePath, h.Record("PC2", "PC1", "hello", 0));
        if (reported == core::kReadErrorLength) {
            // Another program changes the file once it has been indexed.
            h.makeBase = [](const std::string& base, const std::string& history,
                            const platform::Clock& clock) {
                struct ChangedBehindTheIndex : core::MessageBase {
                    using MessageBase::MessageBase;
                    bool LoadIndex() override {
                        const bool loaded = MessageBase::LoadIndex();
                        WriteFileBytes(baseFileName, "garbage");
                        return loaded;
                    }
                };
                return std::make_unique<ChangedBehindTheIndex>(base, history, clock);
            };
        }
        EXPECT_EQ(h.Start(), reported == 0);
        EXPECT_EQ(h.view.ended, reported ? 1 : 0);
        EXPECT_EQ(h.reports.ids, reported ? std::vector<int>{reported} : std::vector<int>{});
        EXPECT_EQ(h.view.pollTimer != 0, reported != core::kFailedCreateMailslot);
        h.window->Destroy();
        EXPECT_EQ(h.store->ReadString("SendRecervieSettings", "History", "missing"), "0");
    }
}

// The buttons are flat or raised and coloured as the settings say, and keep their captions.
TEST(MainWindowStartup, ButtonsTakeTheirLookFromTheSettings) {
    for (const int flat : {0, 1}) {
        MainWindowHarness h;
        h.Start({{"SystemSettings", "FlatButtons", flat},
                 {"ColorsSettings", "ButtonInactiveBgColor", 0x0907A1},
                 {"ColorsSettings", "ButtonFocusColor", 0x3456}});
        ASSERT_EQ(h.view.buttonLooks.size(), 10u);
        for (const auto& [button, look] : h.view.buttonLooks) {
            EXPECT_EQ(look.flat, flat == 1) << button;
            EXPECT_EQ(look.colours.inactiveBackground, 0x0907A1u) << button;
            EXPECT_EQ(look.colours.focus, 0x3456u) << button;
            EXPECT_TRUE(look.showText) << button;
        }
    }
}

TEST(MainWindowLifetime, DestructionRunsOnceAndSavesEveryKeyAndTheRecipients) {
    MainWindowHarness h;
    h.Set("LastSended", "0", "ALICE");
    h.Start({{"LastSended", "Count", 1}});
    h.view.recipient = "PC2";
    h.view.composer = "hi";
    h.window->OnCommand(core::kSendButton);
    h.log->clear();
    h.window->Destroy();
    h.window->Destroy();
    EXPECT_EQ(*h.log, (Strings{"StopMessengerService(1)", "NotifyTray(Delete)", "KillPollTimer"}));
    for (const core::SettingName& name : core::kSaveOrder)
        EXPECT_TRUE(h.store->Find(name.section, name.key).has_value()) << name.key;
    h.Restart();
    EXPECT_EQ(h.view.recipientList, (Strings{"ALICE", "PC2"}));
}

TEST(MainWindowLifetime, WhatTheBaseCannotTakeIsShownInFullAtTheEnd) {
    MainWindowHarness h;
    h.Start();
    platform::File holder; // another program holds the base
    ASSERT_TRUE(holder.Open(h.window->Base().baseFileName, platform::FileMode::ReadWriteExclusive));
    h.Arrive(*h.pc2, "PC1", "keep me");
    h.Tick();
    ASSERT_EQ(h.window->Base().PendingCount(), 1u);
    h.reports.texts.clear();
    h.window->Destroy();
    ASSERT_EQ(h.reports.texts.size(), 1u);
    EXPECT_NE(h.reports.texts[0].find("1 message(s) could not be stored in"), std::string::npos);
    EXPECT_NE(h.reports.texts[0].find("keep me"), std::string::npos);
}

// Close and Esc: "NoClose" minimises into the tray; where no tray icon offers Exit, closing is
// Exit; Esc never closes.
TEST(MainWindowClose, FollowsNoCloseTheTrayAndTheExitQuestion) {
    const struct {
        bool escape;
        int noClose, toTray;
        bool trayAvailable;
        int confirmation;
        bool answer, ends, asks;
        WindowState after;
    } cases[] = {{false, 1, 1, true, 1, true, false, false, WindowState::Hidden},
                 {false, 1, 1, false, 0, true, true, false, WindowState::Normal},
                 {false, 1, 0, false, 1, false, false, true, WindowState::Normal},
                 {false, 0, 1, true, 0, false, true, false, WindowState::Normal},
                 {false, 0, 1, true, 1, false, false, true, WindowState::Normal},
                 {false, 0, 1, true, 5, true, true, true, WindowState::Normal},
                 {true, 1, 1, true, 1, true, false, false, WindowState::Hidden},
                 {true, 1, 1, false, 1, true, false, false, WindowState::Minimized},
                 {true, 0, 1, true, 1, true, false, false, WindowState::Normal}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.escape << c.noClose << c.toTray << c.trayAvailable
                                          << c.confirmation << c.answer);
        MainWindowHarness h;
        h.view.trayAvailable = c.trayAvailable;
        h.Start({{"SystemSettings", "NoClose", c.noClose},
                 {"SystemSettings", "MinimizeOnESC", c.noClose},
                 {"SystemSettings", "MinimizeToTray", c.toTray},
                 {"SystemSettings", "ConfirmationOnExit", c.confirmation}});
        h.view.answer = c.answer;
        c.escape ? h.window->OnEscapeKey() : h.window->OnClose();
        EXPECT_EQ(h.view.ended, c.ends ? 1 : 0);
        EXPECT_EQ(h.view.state, c.after);
        EXPECT_EQ(h.view.questions,
                  c.asks ? Strings{"Are you really want to exit from Kestrola NET?"} : Strings{});
    }
}

TEST(MainWindowCommands, NewClearsBothTextsAndEditCommandsGoToTheFocusedEdit) {
    MainWindowHarness h;
    h.Start();
    h.view.composer = "draft";
    h.view.recipient = "PC2";
    h.window->OnTextsEdited();
    h.window->OnCommand(core::kNewButton);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.view.composer + h.view.recipient, "");
    EXPECT_EQ(h.view.focus, core::kComposerEdit);
    h.view.state = WindowState::Hidden; // an edit command does not bring the window up
    h.window->OnCommand(core::kEditPaste);
    h.window->OnCommand(core::kCopy);
    EXPECT_EQ(h.view.editCommands,
              (std::vector<std::pair<int, int>>{{core::kComposerEdit, core::kEditPaste},
                                                {core::kViewerEdit, core::kEditCopy}}));
    EXPECT_EQ(h.view.state, WindowState::Hidden);
    h.window->OnCommand(core::kTrayMenuRestore);
    EXPECT_EQ(h.view.state, WindowState::Normal);
}

// Expand (every time, with "CheckNetworkIfReply" 0) and Scan start a scan; the commands beside
// them never do.
TEST(MainWindowCommands, OnlyExpandAndScanStartAScan) {
    MainWindowHarness h;
    h.Start({{"SystemSettings", "CheckNetworkIfReply", 0}});
    h.view.SetExpanded(true);
    for (const int command : {core::kExpandButton, core::kExpandButton, core::kScanButton})
        h.window->OnCommand(command);
    const int others[] = {core::kPreviousButton, core::kNextButton,  core::kDeleteButton,
                          core::kSendButton,     core::kAboutButton, core::kTrayMenuAbout,
                          core::kClearButton};
    for (const int command : others)
        h.window->OnCommand(command);
    EXPECT_EQ(h.network.scansStarted, 3);
}

// "RunMinimized": the first tick only. Without a notification area yet the window waits on
// the task bar and moves into one that appears, unless the user has brought it up meanwhile.
TEST(MainWindowCommands, RunMinimizedActsOnTheFirstTickAndOnALateTray) {
    for (const auto& [runMinimized, trayAtStart, restored, first, last] :
         {std::tuple{0, true, false, WindowState::Normal, WindowState::Normal},
          std::tuple{1, true, true, WindowState::Hidden, WindowState::Normal},
          std::tuple{1, false, false, WindowState::Minimized, WindowState::Hidden},
          std::tuple{1, false, true, WindowState::Minimized, WindowState::Normal}}) {
        SCOPED_TRACE(::testing::Message() << runMinimized << trayAtStart << restored);
        MainWindowHarness h;
        h.view.trayAvailable = trayAtStart;
        h.Start({{"SystemSettings", "RunMinimized", runMinimized}});
        h.Tick();
        h.Tick();
        EXPECT_EQ(h.view.state, first);
        if (restored)
            h.view.ShowWindow(core::ShowCommand::ShowNormal);
        h.view.trayAvailable = true;
        h.Tick();
        EXPECT_EQ(h.view.state, last);
    }
}

// Each message is logged with its own texts, shown or not (an empty recipient as "//Error").
TEST(MainWindowHistory, MessagesAreLoggedWhenHistoryIsOn) {
    for (const int history : {0, 1}) {
        MainWindowHarness h;
        h.Start({{"SendRecervieSettings", "History", history},
                 {"EventsSettings", "AutoShowNewMSG", 0}});
        h.Arrive(*h.pc2, "PC1", "two\r\nlines");
        ASSERT_TRUE(h.Tick().shown);
        h.ArriveRaw(std::string("PC3\0\0hi\0", 8));
        ASSERT_FALSE(h.Tick().shown);
        const std::string stamp = "14:03:0906/01/2006";
        EXPECT_EQ(ReadFileBytes(h.historyPath),
                  history == 0 ? ""
                               : core::FormatHistoryEntry("PC2", "PC1", stamp, "two\r\nlines") +
                                     core::FormatHistoryEntry("PC3", "//Error", stamp, "hi"));
    }
}

// A message the user cannot see gets a desktop notification with the sender and the first
// line, unless "DesktopNotification" is 0; a click brings the window up on it.
TEST(MainWindowNotification, ShowsTheSenderAndFirstLineOfAnUnseenMessage) {
    for (const auto& [state, active, setting, notified] :
         {std::tuple{WindowState::Hidden, false, 1, true},
          std::tuple{WindowState::Normal, false, 1, true},
          std::tuple{WindowState::Normal, true, 1, false},
          std::tuple{WindowState::Hidden, false, 0, false}}) {
        MainWindowHarness h;
        h.Start({{"EventsSettings", "DesktopNotification", setting},
                 {"EventsSettings", "AutoShowNewMSG", 0},
                 {"EventsSettings", "UpWindowOnPersonal", 0}});
        h.Arrive(*h.pc3, "PC1", "first");
        ASSERT_TRUE(h.Tick().shown);
        h.view.state = state;
        h.view.active = active;
        h.notifications.shown.clear();
        h.Arrive(*h.pc2, "PC1", "Lunch at noon?\r\nThe usual place.");
        ASSERT_TRUE(h.Tick().stored);
        EXPECT_EQ(h.notifications.shown, notified ? Strings{"PC2: Lunch at noon?"} : Strings{})
            << static_cast<int>(state) << active << setting;
        if (!notified)
            continue;
        {
            // A busy viewer (a notice waiting, a delete going on) keeps what it shows.
            const core::BusyScope busy = h.window->GetViewer().HoldBusy();
            h.notifications.click();
            EXPECT_EQ(h.Shown(), "1 2/2 first");
        }
        h.notifications.click();
        EXPECT_EQ(h.Shown(), "2 2/1 Lunch at noon?\r\nThe usual place.");
        EXPECT_EQ(h.view.state, WindowState::Normal);
        h.window.reset();
        h.notifications.click(); // after the window's end a click finds nothing to bring up
    }
}

// A flood's losses, per source, and what the network layer has to say reach the user once each.
TEST(MainWindowNotification, AFloodsLossesAndNetworkNoticesAreToldOnce) {
    MainWindowHarness h;
    h.Start();
    h.pc1->notices = {"nmbd answers for this computer's names"};
    for (std::size_t i = 0; i < platform::MailslotRegistry::kSourceShare + 3; ++i)
        h.Arrive(*h.pc2, "PC1", "flood");
    for (int tick = 0; tick < 4; ++tick)
        h.Tick();
    EXPECT_EQ(h.view.passiveNotices,
              (Strings{"nmbd answers for this computer's names",
                       "Messages were lost because too many arrived at once: 3 from 10.213.0.2."}));
}

} // namespace
} // namespace kestrola::testing
