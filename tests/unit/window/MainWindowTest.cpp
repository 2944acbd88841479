#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "platform/netbios/MailslotRegistry.h"
#include "settings/StringListSection.h"
#include "store/BaseFormat.h"
#include "window/MenuResources.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::AttentionIcon;
using core::ShowCommand;
using core::TrayOperation;
using core::WindowState;

// The calls of the view and the network that tell the start-up steps apart.
std::vector<std::string> Steps(const std::vector<std::string>& log) {
    std::vector<std::string> steps;
    for (const std::string& line : log) {
        if (line.rfind("StyleButton", 0) == 0 && !steps.empty() && steps.back() == "StyleButton")
            continue;
        if (line.rfind("StyleEdit", 0) == 0 || line.rfind("StyleButton", 0) == 0)
            steps.push_back(line.substr(0, line.find('(')));
        else
            steps.push_back(line);
    }
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
}

std::string StoredRecord(const std::string& from, const std::string& to, const std::string& text,
                         std::uint8_t state, const platform::CodePage& codePage) {
    core::MessageRecord r;
    r.SetBody(core::EncodeDatagram(codePage, from, to, text));
    r.state = state;
    const std::string stamp = "09:05:07 , 06/12/2005";
    std::copy(stamp.begin(), stamp.end(), r.stamp.begin());
    return core::EncodeRecord(r);
}

TEST(MainWindowStartup, RunsTheInitialisationStepsInOrder) {
    MainWindowHarness h;
    h.Start();
    EXPECT_TRUE(h.initialised);
    const std::vector<std::string> expected = {
        "TakeSettings",     "StopMessengerService(0)", "LookUpProvider", "InitTree",
        "NotifyTray(Add)",  "EnableToolTips",          "StyleButton",    "StyleEdit",
        "SetRecipientList", "StartPollTimer(500)",     "SetTopmost(0)",
    };
    EXPECT_EQ(Steps(*h.log), expected);
    // Ten buttons are styled, the upgrade button keeps its own look; composer before viewer.
    EXPECT_EQ(h.view.buttonLooks.size(), 10u);
    EXPECT_EQ(h.view.buttonLooks.count(core::kUpgradeButton), 0u);
    const auto composer = std::find(h.log->begin(), h.log->end(), "StyleEdit(1009)");
    const auto viewer = std::find(h.log->begin(), h.log->end(), "StyleEdit(1008)");
    EXPECT_LT(composer, viewer);
    // The tray icon starts with the normal icon and the plain name as its tip.
    ASSERT_FALSE(h.view.trayCalls.empty());
    EXPECT_EQ(h.view.trayCalls.front().icon, AttentionIcon::Normal);
    EXPECT_EQ(h.view.trayCalls.front().tip, "Kestrola NET");
    // The labels, title and indicator of an empty base.
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "0/0");
    EXPECT_EQ(h.view.labels[core::kPositionLabel], "0");
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "0/100");
    EXPECT_EQ(h.view.title, "Kestrola NET");
    EXPECT_EQ(h.network.fastScan, 1);
    EXPECT_TRUE(h.reports.ids.empty());
}

struct FailureCase {
    const char* name;
    int reported;
};

class MainWindowStartFailure : public ::testing::TestWithParam<FailureCase> {};

// Each failure asks for the end of the run; initialisation still runs to its end.
TEST_P(MainWindowStartFailure, EndsTheRunAfterTheRemainingSteps) {
    MainWindowHarness h;
    const std::string which = GetParam().name;
    if (which == "provider")
        h.network.providerFound = false;
    if (which == "mailslot")
        h.pc1->portTaken = true;
    if (which == "first record") {
        WriteFileBytes(h.basePath, StoredRecord("PC2", "PC1", "hello", 0, *h.codePage));
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
    EXPECT_EQ(h.view.endDialogs, 1);
    EXPECT_EQ(h.reports.ids, std::vector<int>{GetParam().reported});
    // The steps after the failure ran: topmost, counters and title.
    EXPECT_NE(std::find(h.log->begin(), h.log->end(), "SetTopmost(0)"), h.log->end());
    EXPECT_FALSE(h.view.title.empty());
    EXPECT_EQ(h.view.labels.count(core::kCountersLabel), 1u);
    EXPECT_EQ(h.view.pollTimer != 0, which != "mailslot");
    // Destruction after such an end saves the settings as always.
    h.window->Destroy();
    EXPECT_TRUE(FileExists(h.storePath));
    EXPECT_EQ(h.store->ReadString("SendRecervieSettings", "History", "missing"), "0");
}

INSTANTIATE_TEST_SUITE_P(Failures, MainWindowStartFailure,
                         ::testing::Values(FailureCase{"provider", core::kGetNetworkProviderFailed},
                                           FailureCase{"mailslot", core::kFailedCreateMailslot},
                                           FailureCase{"first record", core::kReadErrorLength}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(MainWindowStartup, ABaseWithTwoMessagesOpensOnTheFirst) {
    MainWindowHarness h;
    WriteFileBytes(h.basePath, StoredRecord("PC2", "PC1", "first", 0, *h.codePage) +
                                   StoredRecord("PC3", "*", "second", 1, *h.codePage));
    h.Start();
    EXPECT_EQ(h.window->Base().Current(), 1u);
    EXPECT_EQ(h.view.viewer, "first");
    EXPECT_EQ(h.view.labels[core::kFromToLabel], "PC2 to PC1");
    EXPECT_EQ(h.view.labels[core::kTimeLabel], "09:05:07 , 06/12/2005");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], "N");
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "2/1");
    EXPECT_EQ(h.view.labels[core::kPositionLabel], "1");
    EXPECT_EQ(h.view.title, "Kestrola NET - 1 New");
}

TEST(MainWindowStartup, StylesAndOptionsComeFromTheSettings) {
    MainWindowHarness h;
    h.Set("SystemSettings", "FlatButtons", 0);
    h.Set("SystemSettings", "ToolTips", 0);
    h.Set("SystemSettings", "MinimizeToTray", 0);
    h.Set("SystemSettings", "AlwaysOnTop", 1);
    h.Set("ColorsSettings", "ButtonActiveBgColor", 0x112233);
    h.Set("ColorsSettings", "BackgroundTextColor", 0x000080);
    h.Set("TextFontSettings", "FaceName", "DejaVu Sans Mono");
    h.Set("TextFontSettings", "lfHeight", -14);
    h.Start();
    EXPECT_FALSE(h.view.toolTips);
    EXPECT_TRUE(h.view.topmost);
    EXPECT_TRUE(h.view.trayCalls.empty()) << "no tray icon with MinimizeToTray 0";
    const core::ButtonLook& look = h.view.buttonLooks.at(core::kSendButton);
    EXPECT_FALSE(look.flat);
    EXPECT_EQ(look.activeBackground, 0x112233u);
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
    EXPECT_EQ((*h.log)[0], "AskYesNo");
    EXPECT_EQ((*h.log)[1], "ShowAboutBox");
    EXPECT_EQ(h.view.questions.front(), "Do you want to update Kestrola NET?");
    ASSERT_EQ(h.shell.calls.size(), 1u) << "Yes opens the upgrade page";
    EXPECT_EQ(h.store->ReadString("SystemSettings", "CurrentVersion", ""), "1.0");
}

TEST(MainWindowLifetime, DestructionSavesListsAndEveryKeyOnce) {
    MainWindowHarness h;
    h.Set("LastSended", "Count", 2);
    h.Set("LastSended", "0", "ALICE");
    h.Set("LastSended", "1", "BOB");
    h.Start();
    EXPECT_EQ(h.view.recipientList, (std::vector<std::string>{"ALICE", "BOB"}));
    h.log->clear();
    h.window->Destroy();
    EXPECT_EQ(*h.log, (std::vector<std::string>{"StopMessengerService(1)", "NotifyTray(Delete)",
                                                "KillPollTimer"}));
    h.window->Destroy();
    EXPECT_EQ(h.log->size(), 3u) << "destruction runs once";
    // Every key of the five tables is in the store afterwards.
    const std::string ini = ReadFileBytes(h.storePath);
    for (const core::SettingName& name : core::kSaveOrder) {
        EXPECT_TRUE(h.store->Find(name.section, name.key).has_value())
            << name.section << "/" << name.key;
    }
    EXPECT_NE(ini.find("[LastSended]"), std::string::npos);
}

TEST(MainWindowLifetime, RecentRecipientsComeBackAfterARestartInTheirOrder) {
    MainWindowHarness h;
    h.Start();
    for (const char* name : {"PC2", "WORKGROUP", "PC3"}) {
        h.view.recipient = name;
        h.view.composer = "hi";
        h.window->OnCommand(core::kSendButton);
    }
    EXPECT_EQ(h.view.recipientList, (std::vector<std::string>{"PC2", "WORKGROUP", "PC3"}));
    h.Restart();
    EXPECT_EQ(h.view.recipientList, (std::vector<std::string>{"PC2", "WORKGROUP", "PC3"}));
    std::vector<std::string> stored;
    core::LoadStringList(*h.store, stored, core::kLastSended);
    EXPECT_EQ(stored, (std::vector<std::string>{"PC2", "WORKGROUP", "PC3"}));
}

struct CloseCase {
    int noClose;
    int minimizeToTray;
    bool trayAvailable;
    int confirmation;
    bool answer;
    bool ends;
    bool minimises;
    bool asks;
};

class MainWindowClose : public ::testing::TestWithParam<CloseCase> {};

// "NoClose" minimises into the tray; where no tray icon offers Exit, closing is Exit.
TEST_P(MainWindowClose, FollowsNoCloseTheTrayAndTheExitQuestion) {
    const CloseCase c = GetParam();
    MainWindowHarness h;
    h.Set("SystemSettings", "NoClose", c.noClose);
    h.Set("SystemSettings", "MinimizeToTray", c.minimizeToTray);
    h.Set("SystemSettings", "ConfirmationOnExit", c.confirmation);
    h.view.trayAvailable = c.trayAvailable;
    h.Start();
    h.view.answers = {c.answer};
    h.window->OnClose();
    EXPECT_EQ(h.view.endDialogs, c.ends ? 1 : 0);
    EXPECT_EQ(h.view.state != WindowState::Normal, c.minimises);
    EXPECT_EQ(h.view.questions.size(), c.asks ? 1u : 0u);
    if (c.asks) {
        EXPECT_EQ(h.view.questions.front(), "Are you really want to exit from Kestrola NET?");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowClose,
                         ::testing::Values(
                             // noClose, tray setting, tray there, confirmation, answer, ends,
                             // minimises, asks
                             CloseCase{1, 1, true, 1, true, false, true, false},
                             CloseCase{2, 1, true, 0, true, false, true, false},
                             CloseCase{1, 1, false, 0, true, true, false, false},
                             CloseCase{1, 0, true, 1, true, true, false, true},
                             CloseCase{1, 0, false, 1, false, false, false, true},
                             CloseCase{0, 1, true, 0, false, true, false, false},
                             CloseCase{0, 1, true, 1, false, false, false, true},
                             CloseCase{0, 1, true, 5, true, true, false, true}));

struct EscapeCase {
    int minimizeOnEsc;
    int minimizeToTray;
    bool trayAvailable;
    WindowState after;
};

class MainWindowEscape : public ::testing::TestWithParam<EscapeCase> {};

// Esc never closes; it minimises with "MinimizeOnESC" 1 and hides only when a tray can bring
// the window back.
TEST_P(MainWindowEscape, MinimisesOrDoesNothing) {
    const EscapeCase c = GetParam();
    MainWindowHarness h;
    h.Set("SystemSettings", "MinimizeOnESC", c.minimizeOnEsc);
    h.Set("SystemSettings", "MinimizeToTray", c.minimizeToTray);
    h.view.trayAvailable = c.trayAvailable;
    h.Start();
    h.window->OnEscapeKey();
    EXPECT_EQ(h.view.state, c.after);
    EXPECT_EQ(h.view.endDialogs, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowEscape,
                         ::testing::Values(EscapeCase{1, 1, true, WindowState::Hidden},
                                           EscapeCase{1, 1, false, WindowState::Minimized},
                                           EscapeCase{1, 0, true, WindowState::Minimized},
                                           EscapeCase{0, 1, true, WindowState::Normal},
                                           EscapeCase{2, 1, true, WindowState::Normal}));

TEST(MainWindowCommands, NewExpandsScansOnceAndEmptiesTheComposer) {
    MainWindowHarness h;
    h.Start();
    h.view.composer = "draft";
    h.view.recipient = "PC2";
    h.window->OnCommand(core::kNewButton);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.network.scansStarted, 1);
    EXPECT_EQ(h.view.composer, "");
    EXPECT_EQ(h.view.recipient, "");
    EXPECT_EQ(h.view.focus, core::kComposerEdit);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "0/100");
    // A finished scan is not repeated while "CheckNetworkIfReply" is on.
    h.window->OnCommand(core::kSendNew);
    EXPECT_EQ(h.network.scansStarted, 1);
}

TEST(MainWindowCommands, ScanIfNeededFollowsCheckNetworkIfReply) {
    MainWindowHarness h;
    h.Set("SystemSettings", "CheckNetworkIfReply", 0);
    h.Start();
    h.window->ScanIfNeeded();
    EXPECT_EQ(h.network.scansStarted, 0) << "collapsed: no scan";
    h.view.SetExpanded(true);
    h.window->OnCommand(core::kExpandButton);
    h.window->OnCommand(core::kNewButton);
    EXPECT_EQ(h.network.scansStarted, 2) << "every expand and New scans";
    h.window->OnCommand(core::kScanButton);
    EXPECT_EQ(h.network.scansStarted, 3);
}

TEST(MainWindowCommands, ClearEmptiesOnlyTheComposer) {
    MainWindowHarness h;
    h.Start();
    h.view.recipient = "PC2";
    h.view.composer = "hello";
    h.window->OnTextsEdited();
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "8/100");
    h.window->OnCommand(core::kClearButton);
    EXPECT_EQ(h.view.composer, "");
    EXPECT_EQ(h.view.recipient, "PC2");
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "3/100");
}

TEST(MainWindowCommands, FirstTickMinimisesWithRunMinimizedOnly) {
    for (const int runMinimized : {0, 1}) {
        MainWindowHarness h;
        h.Set("SystemSettings", "RunMinimized", runMinimized);
        h.Start();
        h.Tick();
        EXPECT_EQ(h.view.state == WindowState::Hidden, runMinimized == 1);
        h.view.ShowWindow(ShowCommand::ShowNormal);
        h.Tick();
        EXPECT_EQ(h.view.state, WindowState::Normal) << "only the first tick";
    }
}

// Started with the session before the panel: the window waits on the task bar and goes into
// the notification area once one appears, unless the user has brought it up meanwhile.
TEST(MainWindowCommands, RunMinimizedMovesIntoALateNotificationArea) {
    for (const bool restoredMeanwhile : {false, true}) {
        MainWindowHarness h;
        h.Set("SystemSettings", "RunMinimized", 1);
        h.view.trayAvailable = false;
        h.Start();
        h.Tick();
        h.Tick();
        EXPECT_EQ(h.view.state, WindowState::Minimized);
        if (restoredMeanwhile)
            h.view.ShowWindow(ShowCommand::ShowNormal);
        h.view.trayAvailable = true;
        h.Tick();
        EXPECT_EQ(h.view.state, restoredMeanwhile ? WindowState::Normal : WindowState::Hidden);
    }
}

TEST(MainWindowCommands, UpgradeAndAboutAndEditCommands) {
    MainWindowHarness h;
    h.Start();
    h.window->OnCommand(core::kUpgradeButton);
    ASSERT_EQ(h.shell.calls.size(), 1u);
    EXPECT_EQ(h.shell.calls[0].first, "open");
    h.window->OnCommand(core::kAboutButton);
    h.window->OnCommand(core::kTrayMenuAbout);
    EXPECT_EQ(h.view.aboutBoxes, 2);
    for (const int command : {core::kEditCopy, core::kEditCut, core::kEditPaste, core::kEditUndo})
        h.window->OnCommand(command);
    h.window->OnCommand(core::kCopy);
    const std::vector<std::pair<int, int>> expected = {
        {core::kComposerEdit, core::kEditCopy},  {core::kComposerEdit, core::kEditCut},
        {core::kComposerEdit, core::kEditPaste}, {core::kComposerEdit, core::kEditUndo},
        {core::kViewerEdit, core::kEditCopy},
    };
    EXPECT_EQ(h.view.editCommands, expected);
}

TEST(MainWindowCommands, EndWithoutQuestionEndsEvenWithConfirmation) {
    MainWindowHarness h;
    h.Set("SystemSettings", "ConfirmationOnExit", 1);
    h.Start();
    h.window->EndWithoutQuestion();
    EXPECT_EQ(h.view.endDialogs, 1);
    EXPECT_TRUE(h.view.questions.empty());
}

} // namespace
} // namespace kestrola::testing

namespace kestrola::testing {
namespace {

TEST(MainWindowHistory, ShownMessagesAreLoggedByteForByte) {
    MainWindowHarness h;
    h.Set("SendRecervieSettings", "History", 1);
    h.Start();
    h.Arrive(*h.pc2, "PC1", "two\r\nlines");
    ASSERT_TRUE(h.Tick().shown);
    const std::string expected = "From: PC2\r\n"
                                 "To:   PC1\r\n"
                                 "Date: 14:03:0906/01/2006\r\n"
                                 "\r\n"
                                 "two\r\nlines\r\n" +
                                 std::string(80, '-') + "\r\n\r\n";
    EXPECT_EQ(ReadFileBytes(h.historyPath), expected);
    // An empty recipient field is logged as the decoder reads it.
    h.ArriveRaw(std::string("PC3\0\0hi\0", 8));
    ASSERT_TRUE(h.Tick().received);
    const std::string log = ReadFileBytes(h.historyPath);
    EXPECT_EQ(log.substr(expected.size(), 28), "From: PC3\r\nTo:   //Error\r\nDa");
}

TEST(MainWindowReceive, LostMessagesAreToldOncePerEpisode) {
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
        const auto told = std::find_if(h.log->rbegin(), h.log->rend(), [](const auto& entry) {
            return entry.rfind("ShowPassiveNotice(", 0) == 0;
        });
        // The second time 59 of PC3's first messages still wait (six ticks read PC2's and
        // five of PC3's): 59 + 70 - 64 go.
        const std::string count = episode == 1 ? "6" : "65";
        EXPECT_NE(told->find("at once: " + count + " from 10."), std::string::npos) << *told;
    }
}

TEST(MainWindowReceive, TheNetworkLayersNoticesAreShownOnce) {
    MainWindowHarness h;
    h.Start();
    h.pc1->notices = {"Another computer (10.0.0.9) uses the name PC1 too"};
    h.Tick();
    h.Tick();
    EXPECT_EQ(std::count(h.log->begin(), h.log->end(),
                         "ShowPassiveNotice(Another computer (10.0.0.9) uses the name PC1 too)"),
              1);
}

struct NotifyCase {
    WindowState state;
    bool active;
    int setting; // "DesktopNotification"
    bool notified;
};

class MainWindowNotification : public ::testing::TestWithParam<NotifyCase> {};

// A message the user cannot see (window hidden, minimised or behind others) gets a desktop
// notification with the sender and the first line, unless "DesktopNotification" is 0.
TEST_P(MainWindowNotification, ShowsTheSenderAndFirstLineOfAnUnseenMessage) {
    const NotifyCase c = GetParam();
    MainWindowHarness h;
    h.Set("EventsSettings", "DesktopNotification", c.setting);
    h.Start();
    h.view.state = c.state;
    h.view.active = c.active;
    h.Arrive(*h.pc2, "PC1", "Lunch at noon?\r\nThe usual place.");
    ASSERT_TRUE(h.Tick().stored);
    ASSERT_EQ(h.notifications.shown.size(), c.notified ? 1u : 0u);
    if (c.notified) {
        EXPECT_EQ(h.notifications.shown[0].summary, "PC2");
        EXPECT_EQ(h.notifications.shown[0].body, "Lunch at noon?");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowNotification,
                         ::testing::Values(NotifyCase{WindowState::Hidden, false, 1, true},
                                           NotifyCase{WindowState::Minimized, false, 1, true},
                                           NotifyCase{WindowState::Normal, false, 1, true},
                                           NotifyCase{WindowState::Normal, true, 1, false},
                                           NotifyCase{WindowState::Hidden, false, 0, false}));

TEST(MainWindowNotificationClick, BringsTheWindowUpOnThatMessage) {
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", 0);
    h.Set("EventsSettings", "UpWindowOnPersonal", 0);
    h.Start();
    h.Arrive(*h.pc2, "PC1", "first");
    ASSERT_TRUE(h.Tick().shown) << "the first message is shown at once";
    h.view.state = WindowState::Hidden;
    h.Arrive(*h.pc3, "PC1", "second");
    ASSERT_TRUE(h.Tick().stored);
    ASSERT_EQ(h.view.viewer, "first");
    ASSERT_EQ(h.notifications.shown.size(), 1u);
    h.notifications.click();
    EXPECT_EQ(h.view.viewer, "second");
    EXPECT_EQ(h.window->Base().Current(), 2u);
    EXPECT_EQ(h.view.state, WindowState::Normal);
    // After the window's end a click finds nothing to bring up.
    h.window.reset();
    h.notifications.click();
}

TEST(MainWindowHistory, WithHistoryOffNothingIsWritten) {
    MainWindowHarness h;
    h.Start();
    h.Arrive(*h.pc2, "PC1", "hello");
    ASSERT_TRUE(h.Tick().shown);
    EXPECT_FALSE(FileExists(h.historyPath));
}

} // namespace
} // namespace kestrola::testing
