#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "platform/netbios/MailslotRegistry.h"
#include "settings/StringListSection.h"
#include "window/MenuResources.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::WindowState;
using Strings = std::vector<std::string>;

TEST(MainWindowStartup, RunsTheStepsInOrderOnAnEmptyBase) {
    MainWindowHarness h;
    h.Start();
    EXPECT_TRUE(h.initialised);
    // The log with each run of styling calls as one step.
    Strings steps;
    for (const std::string& line : *h.log) {
        const std::string step =
            line.rfind("Style", 0) == 0 ? line.substr(0, line.find('(')) : line;
        if (steps.empty() || steps.back() != step)
            steps.push_back(step);
    }
    EXPECT_EQ(steps,
              (Strings{"TakeSettings", "StopMessengerService(0)", "LookUpProvider", "InitTree",
                       "NotifyTray(Add)", "EnableToolTips", "StyleButton", "StyleEdit",
                       "SetRecipientList", "StartPollTimer(500)", "SetTopmost(0)"}));
    // Ten buttons styled, the upgrade button keeps its own look; composer before viewer.
    EXPECT_EQ(h.view.buttonLooks.size(), 10u);
    EXPECT_EQ(h.view.buttonLooks.count(core::kUpgradeButton), 0u);
    EXPECT_LT(std::find(h.log->begin(), h.log->end(), "StyleEdit(1009)"),
              std::find(h.log->begin(), h.log->end(), "StyleEdit(1008)"));
    ASSERT_FALSE(h.view.trayCalls.empty());
    EXPECT_EQ(h.view.trayCalls[0].icon, core::AttentionIcon::Normal);
    EXPECT_EQ(h.view.trayCalls[0].tip, "Kestrola NET");
    EXPECT_EQ(h.Shown(), "0 0/0 ");
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "0/100");
    EXPECT_EQ(h.view.title, "Kestrola NET");
    EXPECT_EQ(h.network.fastScan, 1);
    EXPECT_TRUE(h.reports.ids.empty());
}

// Each failure asks for the end of the run; the remaining steps run all the same and the
// settings are saved at the end.
TEST(MainWindowStartup, AFailureEndsTheRunAfterTheRemainingSteps) {
    for (const int reported :
         {core::kGetNetworkProviderFailed, core::kFailedCreateMailslot, core::kReadErrorLength}) {
        SCOPED_TRACE(reported);
        MainWindowHarness h;
        h.network.providerFound = reported != core::kGetNetworkProviderFailed;
        h.pc1->portTaken = reported == core::kFailedCreateMailslot;
        if (reported == core::kReadErrorLength) {
            WriteFileBytes(h.basePath, h.Record("PC2", "PC1", "hello", 0));
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
        h.Start();
        EXPECT_FALSE(h.initialised);
        EXPECT_EQ(h.view.Count("EndDialog"), 1);
        EXPECT_EQ(h.reports.ids, std::vector<int>{reported});
        EXPECT_EQ(h.view.Count("SetTopmost(0)"), 1);
        EXPECT_FALSE(h.view.title.empty());
        EXPECT_EQ(h.view.labels.count(core::kCountersLabel), 1u);
        EXPECT_EQ(h.view.pollTimer != 0, reported != core::kFailedCreateMailslot);
        h.window->Destroy();
        EXPECT_EQ(h.store->ReadString("SendRecervieSettings", "History", "missing"), "0");
    }
}

TEST(MainWindowStartup, StylesAndOptionsComeFromTheSettings) {
    MainWindowHarness h;
    h.Set("TextFontSettings", "FaceName", "DejaVu Sans Mono");
    h.Start({{"SystemSettings", "FlatButtons", 0},
             {"SystemSettings", "ToolTips", 0},
             {"SystemSettings", "MinimizeToTray", 0},
             {"SystemSettings", "AlwaysOnTop", 1},
             {"ColorsSettings", "ButtonActiveBgColor", 0x112233},
             {"ColorsSettings", "BackgroundTextColor", 0x000080},
             {"TextFontSettings", "lfHeight", -14}});
    EXPECT_FALSE(h.view.toolTips);
    EXPECT_TRUE(h.view.topmost);
    EXPECT_TRUE(h.view.trayCalls.empty()) << "no tray icon with MinimizeToTray 0";
    const core::ButtonLook& look = h.view.buttonLooks.at(core::kSendButton);
    EXPECT_FALSE(look.flat);
    EXPECT_EQ(look.colours.activeBackground, 0x112233u);
    EXPECT_TRUE(look.showText);
    EXPECT_EQ(h.view.editColours.at(core::kViewerEdit).first, 0x000080u);
    EXPECT_EQ(h.view.editFonts.at(core::kComposerEdit).lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(h.view.editFonts.at(core::kComposerEdit).lfHeight, -14);
}

TEST(MainWindowStartup, AFirstRunAsksAndShowsTheAboutBoxBeforeTheWindow) {
    MainWindowHarness h;
    h.Set("SystemSettings", "CurrentVersion", "0.9");
    h.view.answers = {true};
    h.Start();
    ASSERT_GE(h.log->size(), 2u);
    EXPECT_EQ(Strings(h.log->begin(), h.log->begin() + 2), (Strings{"AskYesNo", "ShowAboutBox"}));
    EXPECT_EQ(h.view.questions.front(), "Do you want to update Kestrola NET?");
    EXPECT_EQ(h.shell.calls.size(), 1u) << "Yes opens the upgrade page";
    EXPECT_EQ(h.store->ReadString("SystemSettings", "CurrentVersion", ""), "1.0");
}

TEST(MainWindowLifetime, DestructionRunsOnceAndSavesEveryKeyAndTheRecipientsInOrder) {
    MainWindowHarness h;
    h.Set("LastSended", "0", "ALICE");
    h.Set("LastSended", "1", "BOB");
    h.Start({{"LastSended", "Count", 2}});
    EXPECT_EQ(h.view.recipientList, (Strings{"ALICE", "BOB"}));
    h.view.recipient = "PC2";
    h.view.composer = "hi";
    h.window->OnCommand(core::kSendButton);
    h.log->clear();
    h.window->Destroy();
    h.window->Destroy();
    EXPECT_EQ(*h.log, (Strings{"StopMessengerService(1)", "NotifyTray(Delete)", "KillPollTimer"}));
    for (const core::SettingName& name : core::kSaveOrder)
        EXPECT_TRUE(h.store->Find(name.section, name.key).has_value()) << name.key;
    Strings stored;
    core::LoadStringList(*h.store, stored, core::kLastSended);
    EXPECT_EQ(stored, (Strings{"ALICE", "BOB", "PC2"}));
    h.Restart();
    EXPECT_EQ(h.view.recipientList, stored);
}

// "NoClose" minimises into the tray; where no tray icon offers Exit, closing is Exit.
TEST(MainWindowClose, FollowsNoCloseTheTrayAndTheExitQuestion) {
    const struct {
        int noClose, minimizeToTray;
        bool trayAvailable;
        int confirmation;
        bool answer, ends, minimises, asks;
    } cases[] = {
        {1, 1, true, 1, true, false, true, false},   {2, 1, true, 0, true, false, true, false},
        {1, 1, false, 0, true, true, false, false},  {1, 0, true, 1, true, true, false, true},
        {1, 0, false, 1, false, false, false, true}, {0, 1, true, 0, false, true, false, false},
        {0, 1, true, 1, false, false, false, true},  {0, 1, true, 5, true, true, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.noClose << c.minimizeToTray << c.trayAvailable
                                          << c.confirmation << c.answer);
        MainWindowHarness h;
        h.view.trayAvailable = c.trayAvailable;
        h.Start({{"SystemSettings", "NoClose", c.noClose},
                 {"SystemSettings", "MinimizeToTray", c.minimizeToTray},
                 {"SystemSettings", "ConfirmationOnExit", c.confirmation}});
        h.view.answers = {c.answer};
        h.window->OnClose();
        EXPECT_EQ(h.view.Count("EndDialog"), c.ends ? 1 : 0);
        EXPECT_EQ(h.view.state != WindowState::Normal, c.minimises);
        EXPECT_EQ(h.view.questions,
                  c.asks ? Strings{"Are you really want to exit from Kestrola NET?"} : Strings{});
    }
    MainWindowHarness h;
    h.Start({{"SystemSettings", "ConfirmationOnExit", 1}});
    h.window->EndWithoutQuestion();
    EXPECT_EQ(h.view.Count("EndDialog"), 1);
    EXPECT_TRUE(h.view.questions.empty());
}

// Esc never closes; with "MinimizeOnESC" 1 it minimises, and hides only into a tray.
TEST(MainWindowEscape, MinimisesOrDoesNothing) {
    const struct {
        int minimizeOnEsc, minimizeToTray;
        bool trayAvailable;
        WindowState after;
    } cases[] = {{1, 1, true, WindowState::Hidden},
                 {1, 1, false, WindowState::Minimized},
                 {1, 0, true, WindowState::Minimized},
                 {0, 1, true, WindowState::Normal},
                 {2, 1, true, WindowState::Normal}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        h.view.trayAvailable = c.trayAvailable;
        h.Start({{"SystemSettings", "MinimizeOnESC", c.minimizeOnEsc},
                 {"SystemSettings", "MinimizeToTray", c.minimizeToTray}});
        h.window->OnEscapeKey();
        EXPECT_EQ(h.view.state, c.after) << c.minimizeOnEsc << c.minimizeToTray << c.trayAvailable;
        EXPECT_EQ(h.view.Count("EndDialog"), 0);
    }
}

TEST(MainWindowCommands, NewExpandsScansOnceAndClearEmptiesTheComposer) {
    MainWindowHarness h;
    h.Start();
    h.view.composer = "draft";
    h.view.recipient = "PC2";
    h.window->OnCommand(core::kNewButton);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.view.composer + h.view.recipient, "");
    EXPECT_EQ(h.view.focus, core::kComposerEdit);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "0/100");
    h.window->OnCommand(core::kSendNew);
    EXPECT_EQ(h.network.scansStarted, 1) << "a finished scan is not repeated";
    h.view.recipient = "PC2";
    h.view.composer = "hello";
    h.window->OnTextsEdited();
    h.window->OnCommand(core::kClearButton);
    EXPECT_EQ(h.view.composer, "");
    EXPECT_EQ(h.view.recipient, "PC2");
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "3/100");
}

TEST(MainWindowCommands, WithoutCheckNetworkIfReplyEveryExpandScans) {
    MainWindowHarness h;
    h.Start({{"SystemSettings", "CheckNetworkIfReply", 0}});
    h.window->ScanIfNeeded();
    EXPECT_EQ(h.network.scansStarted, 0) << "collapsed: no scan";
    h.view.SetExpanded(true);
    h.window->OnCommand(core::kExpandButton);
    h.window->OnCommand(core::kNewButton);
    h.window->OnCommand(core::kScanButton);
    EXPECT_EQ(h.network.scansStarted, 3);
    for (const int command : {core::kPreviousButton, core::kNextButton, core::kDeleteButton})
        h.window->OnCommand(command);
    EXPECT_EQ(h.network.scansStarted, 3) << "only those scan";
}

// "RunMinimized": the first tick only. Without a notification area yet (started before the
// panel) the window waits on the task bar and moves into one that appears, unless the user
// has brought it up meanwhile.
TEST(MainWindowCommands, RunMinimizedActsOnTheFirstTickAndOnALateTray) {
    const struct {
        int runMinimized;
        bool trayAtStart, restored;
        WindowState first, last;
    } cases[] = {{0, true, false, WindowState::Normal, WindowState::Normal},
                 {1, true, true, WindowState::Hidden, WindowState::Normal},
                 {1, false, false, WindowState::Minimized, WindowState::Hidden},
                 {1, false, true, WindowState::Minimized, WindowState::Normal}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        h.view.trayAvailable = c.trayAtStart;
        h.Start({{"SystemSettings", "RunMinimized", c.runMinimized}});
        h.Tick();
        h.Tick();
        EXPECT_EQ(h.view.state, c.first) << c.runMinimized << c.trayAtStart << c.restored;
        if (c.restored)
            h.view.ShowWindow(core::ShowCommand::ShowNormal);
        h.view.trayAvailable = true;
        h.Tick();
        EXPECT_EQ(h.view.state, c.last) << c.runMinimized << c.trayAtStart << c.restored;
    }
}

TEST(MainWindowCommands, UpgradeAboutAndEditCommands) {
    MainWindowHarness h;
    h.Start();
    h.window->OnCommand(core::kUpgradeButton);
    ASSERT_EQ(h.shell.calls.size(), 1u);
    EXPECT_EQ(h.shell.calls[0].first, "open");
    h.window->OnCommand(core::kAboutButton);
    h.window->OnCommand(core::kTrayMenuAbout);
    EXPECT_EQ(h.view.Count("ShowAboutBox"), 2);
    for (const int command : {int{core::kEditCopy}, int{core::kEditCut}, int{core::kEditPaste},
                              int{core::kEditUndo}, int{core::kCopy}})
        h.window->OnCommand(command);
    EXPECT_EQ(h.view.editCommands,
              (std::vector<std::pair<int, int>>{{core::kComposerEdit, core::kEditCopy},
                                                {core::kComposerEdit, core::kEditCut},
                                                {core::kComposerEdit, core::kEditPaste},
                                                {core::kComposerEdit, core::kEditUndo},
                                                {core::kViewerEdit, core::kEditCopy}}));
}

TEST(MainWindowHistory, ShownMessagesAreLoggedByteForByteWhenHistoryIsOn) {
    for (const int history : {0, 1}) {
        MainWindowHarness h;
        h.Start({{"SendRecervieSettings", "History", history}});
        h.Arrive(*h.pc2, "PC1", "two\r\nlines");
        ASSERT_TRUE(h.Tick().shown);
        // An empty recipient field is logged as the decoder reads it.
        h.ArriveRaw(std::string("PC3\0\0hi\0", 8));
        ASSERT_TRUE(h.Tick().received);
        const std::string entry = "\r\nDate: 14:03:0906/01/2006\r\n\r\n";
        const std::string line = std::string(80, '-') + "\r\n\r\n";
        EXPECT_EQ(ReadFileBytes(h.historyPath),
                  history == 0 ? ""
                               : "From: PC2\r\nTo:   PC1" + entry + "two\r\nlines\r\n" + line +
                                     "From: PC3\r\nTo:   //Error" + entry + "hi\r\n" + line);
    }
}

TEST(MainWindowReceive, LostMessagesAndNetworkNoticesAreToldOnce) {
    MainWindowHarness h;
    h.Start();
    const auto notices = [&] {
        return std::count_if(h.log->begin(), h.log->end(), [](const std::string& entry) {
            return entry.rfind("ShowPassiveNotice(", 0) == 0;
        });
    };
    for (int episode = 1; episode <= 2; ++episode) {
        // PC3 goes beyond its share of the queue; PC2's one message is kept all the same.
        h.Arrive(*h.pc2, "PC1", "from PC2");
        for (std::size_t i = 0; i < platform::MailslotRegistry::kSourceShare + 6; ++i)
            h.Arrive(*h.pc3, "PC1", "flood");
        h.Tick();
        EXPECT_EQ(notices(), episode - 1) << "told when the drops have stopped";
        for (int i = 0; i < 5; ++i)
            h.Tick();
        EXPECT_EQ(notices(), episode);
        // The second time 59 of PC3's first messages still wait (six ticks read PC2's and
        // five of PC3's): 59 + 70 - 64 go.
        const std::string told = *std::find_if(h.log->rbegin(), h.log->rend(), [](auto& entry) {
            return entry.rfind("ShowPassiveNotice(", 0) == 0;
        });
        EXPECT_NE(told.find(episode == 1 ? "at once: 6 from 10." : "at once: 65 from 10."),
                  std::string::npos)
            << told;
    }
    h.pc1->notices = {"PC1 is taken"};
    h.Tick();
    h.Tick();
    EXPECT_EQ(h.view.Count("ShowPassiveNotice(PC1 is taken)"), 1);
}

// A message the user cannot see (window hidden, minimised or behind others) gets a desktop
// notification with the sender and the first line, unless "DesktopNotification" is 0.
TEST(MainWindowNotification, ShowsTheSenderAndFirstLineOfAnUnseenMessage) {
    const struct {
        WindowState state;
        bool active;
        int setting;
        bool notified;
    } cases[] = {{WindowState::Hidden, false, 1, true},
                 {WindowState::Minimized, false, 1, true},
                 {WindowState::Normal, false, 1, true},
                 {WindowState::Normal, true, 1, false},
                 {WindowState::Hidden, false, 0, false}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        h.Start({{"EventsSettings", "DesktopNotification", c.setting}});
        h.view.state = c.state;
        h.view.active = c.active;
        h.Arrive(*h.pc2, "PC1", "Lunch at noon?\r\nThe usual place.");
        ASSERT_TRUE(h.Tick().stored);
        Strings shown;
        for (const auto& notification : h.notifications.shown)
            shown.push_back(notification.summary + ": " + notification.body);
        EXPECT_EQ(shown, c.notified ? Strings{"PC2: Lunch at noon?"} : Strings{})
            << static_cast<int>(c.state) << c.active << c.setting;
    }
}

TEST(MainWindowNotification, AClickBringsTheWindowUpOnThatMessage) {
    MainWindowHarness h;
    h.Start({{"EventsSettings", "AutoShowNewMSG", 0}, {"EventsSettings", "UpWindowOnPersonal", 0}});
    h.Arrive(*h.pc2, "PC1", "first");
    ASSERT_TRUE(h.Tick().shown) << "the first message is shown at once";
    h.view.state = WindowState::Hidden;
    h.Arrive(*h.pc3, "PC1", "second");
    ASSERT_TRUE(h.Tick().stored);
    ASSERT_EQ(h.view.viewer, "first");
    ASSERT_EQ(h.notifications.shown.size(), 1u);
    h.notifications.click();
    EXPECT_EQ(h.Shown(), "2 2/1 second");
    EXPECT_EQ(h.view.state, WindowState::Normal);
    h.window.reset();
    h.notifications.click(); // after the window's end a click finds nothing to bring up
}

} // namespace
} // namespace kestrola::testing
