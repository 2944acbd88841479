#include "app/ui/MainDialog.h"

#include "MainWindowHarness.h"
#include "UiTestSupport.h"
#include "app/ui/MessengerApp.h"
#include "app/ui/PaletteColors.h"
#include "controls/CEditEx.h"
#include "controls/Conversions.h"
#include "controls/DialogTemplate.h"
#include "controls/FlatButton.h"
#include "fakes/FakeProcessEnvironment.h"
#include "messaging/ui/SystemMessage.h"
#include "platform/Platform.h"
#include "resources/IconResources.h"
#include "settings/StringListSection.h"
#include "store/BaseFormat.h"
#include "store/ui/NoticeDialog.h"
#include "window/MenuResources.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSessionManager>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>
#include <cstddef>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using testing::MainWindowHarness;

class MainDialogTest : public ::testing::Test {
protected:
    MainDialog& Open() {
        // The desktop's colours, as the program takes them.
        dialog = std::make_unique<MainDialog>(
            core::MainWindowServices{*h.store, palette, *h.codePage, h.clock, *h.pc1, h.shell,
                                     h.sound, h.network, h.makeBase});
        dialog->trayAvailableOverride = true;
        EXPECT_TRUE(testing::ShowAndActivate(dialog.get()));
        return *dialog;
    }
    QString LabelText(int id) { return dialog->Label(id)->text(); }
    void Click(int button) { QTest::mouseClick(dialog->Button(button), Qt::LeftButton); }

    MainWindowHarness h;
    PaletteColors palette;
    std::unique_ptr<MainDialog> dialog;
};

// Collapsed, only the controls inside the marker work; expanding opens the rest and scans.
TEST_F(MainDialogTest, OpensCollapsedAndExpands) {
    MainDialog& window = Open();
    EXPECT_FALSE(window.Expanded());
    for (const int id : {core::kNewButton, core::kReplyButton, core::kPreviousButton,
                         core::kNextButton, core::kDeleteButton, core::kExpandButton})
        EXPECT_TRUE(window.Button(id)->isEnabled()) << id;
    EXPECT_TRUE(window.ViewerEdit()->isEnabled());
    for (const int id : {core::kSendButton, core::kClearButton, core::kScanButton,
                         core::kAboutButton, core::kUpgradeButton})
        EXPECT_FALSE(window.Button(id)->isEnabled()) << id << " lies outside the marker";
    EXPECT_FALSE(window.ComposerEdit()->isEnabled());
    EXPECT_FALSE(window.Tree()->isEnabled());
    EXPECT_FALSE(window.Button(core::kSendButton)->toolTip().isEmpty());
    EXPECT_EQ(window.TrayIconId(), core::kNormalIcon);
    EXPECT_EQ(window.TrayIcon()->toolTip(), QStringLiteral("Kestrola NET All:0  New:0"));
    testing::SavePicture(&window, QStringLiteral("main-collapsed-empty.png"));
    Click(core::kExpandButton);
    EXPECT_TRUE(window.Expanded());
    EXPECT_TRUE(window.Button(core::kSendButton)->isEnabled());
    EXPECT_TRUE(window.ComposerEdit()->isEnabled());
    EXPECT_FALSE(FindControl(&window, core::kSendToAllCheck)->isEnabled()) << "always disabled";
    EXPECT_EQ(h.network.scansStarted, 1) << "the first expand scans";
}

TEST_F(MainDialogTest, ShowsTheBaseAndStepsThroughIt) {
    testing::WriteFileBytes(
        h.basePath, h.Record("ALICE", "PC1",
                             "Lunch at noon?\r\nThe usual place, \\\\FILES\\menu\\today.txt", 0) +
                        h.Record("PC1", "SALES", "Figures are on the share.") +
                        h.Record("BOB", "WORKGROUP", "Server restart at 18:00", 0));
    h.Set("LastSended", "Count", 2);
    h.Set("LastSended", "0", "ALICE");
    h.Set("LastSended", "1", "SALES");
    MainDialog& window = Open();
    EXPECT_EQ(window.ViewerEdit()->toPlainText(),
              QStringLiteral("Lunch at noon?\nThe usual place, \\\\FILES\\menu\\today.txt"));
    EXPECT_EQ(LabelText(core::kFromToLabel), QStringLiteral("ALICE to PC1"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrola NET - 2 New"));
    EXPECT_EQ(window.RecipientBox()->count(), 2);
    Click(core::kExpandButton);
    window.RecipientBox()->setEditText(QStringLiteral("ALICE"));
    window.ComposerEdit()->setPlainText(QStringLiteral("Yes, see you there."));
    EXPECT_EQ(LabelText(core::kLengthIndicator), QStringLiteral("24/100"));
    testing::SavePicture(&window, QStringLiteral("main-expanded-messages.png"));
    Click(core::kNextButton);
    EXPECT_EQ(window.ViewerEdit()->toPlainText(), QStringLiteral("Figures are on the share."));
    EXPECT_EQ(LabelText(core::kCountersLabel), QStringLiteral("3/1"));
    Click(core::kDeleteButton);
    EXPECT_EQ(window.ViewerEdit()->toPlainText(), QStringLiteral("Server restart at 18:00"));
    EXPECT_EQ(LabelText(core::kCountersLabel), QStringLiteral("2/1"));
    EXPECT_EQ(window.ComposerEdit()->toPlainText(), QStringLiteral("Yes, see you there."));
}

// Typed recipients are capitals and at most 32 characters; a line break counts as CR LF.
TEST_F(MainDialogTest, TypingAndSendingReachesTheOtherComputer) {
    h.Set("SendRecervieSettings", "SuccesMessageTimeOut", 0);
    std::unique_ptr<platform::MailslotReader> pc2;
    ASSERT_TRUE(h.pc2->CreateMailslot("\\\\.\\mailslot\\MESSNGR", pc2).ok());
    MainDialog& window = Open();
    Click(core::kNewButton);
    EXPECT_TRUE(window.ComposerEdit()->hasFocus());
    QTest::keyClicks(window.RecipientBox()->lineEdit(), QStringLiteral("pc2"));
    QTest::keyClicks(window.ComposerEdit(), QStringLiteral("Hello"));
    QTest::keyClick(window.ComposerEdit(), Qt::Key_Return);
    QTest::keyClicks(window.ComposerEdit(), QStringLiteral("there"));
    EXPECT_EQ(LabelText(core::kLengthIndicator), QStringLiteral("15/100"));
    Click(core::kSendButton);
    char buffer[1024];
    std::size_t got = 0;
    ASSERT_TRUE(pc2->Read(buffer, sizeof buffer, got, nullptr));
    EXPECT_EQ(std::string(buffer, got),
              core::EncodeDatagram(*h.codePage, "Pc1", "PC2", "Hello\r\nthere"));
    EXPECT_EQ(window.RecipientBox()->itemText(0), QStringLiteral("PC2"));
    EXPECT_EQ(h.sound.played, std::vector<std::string>{"send.wav"});
    QTest::keyClicks(window.RecipientBox()->lineEdit(), QStringLiteral("-") + QString(40, 'x'));
    EXPECT_EQ(window.RecipientBox()->currentText(), QStringLiteral("PC2-") + QString(28, 'X'));
}

TEST_F(MainDialogTest, EscapeMinimisesIntoTheTrayAndNeverCloses) {
    MainDialog& window = Open();
    QTest::keyClick(window.ViewerEdit(), Qt::Key_Escape);
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(window.EndRequested());
    window.RunCommand(core::kTrayMenuRestore);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    // A held Esc minimises once; its repeats leave a window brought up again alone.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(window.ViewerEdit(), &repeat);
    EXPECT_TRUE(window.isVisible());
    // Without a notification area the window stays minimised on the task bar.
    window.trayAvailableOverride = false;
    QTest::keyClick(window.ViewerEdit(), Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
}

TEST_F(MainDialogTest, CloseBoxMinimisesWithNoCloseAndEndsWithout) {
    h.Set("SystemSettings", "NoClose", 1);
    Open().close();
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_FALSE(dialog->EndRequested());
    dialog.reset();
    h.Set("SystemSettings", "NoClose", 0);
    MainDialog& second = Open();
    bool finished = false;
    QObject::connect(&second, &MainDialog::RunFinished, [&finished] { finished = true; });
    second.close();
    EXPECT_TRUE(second.EndRequested());
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 2000));
    EXPECT_TRUE(second.isHidden());
}

TEST_F(MainDialogTest, TheTimerTakesMessagesInAndBlinks) {
    h.Set("EventsSettings", "UpWindowOnPopup", 0);
    MainDialog& window = Open();
    h.Arrive(*h.pc2, "WORKGROUP", "ping");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.ViewerEdit()->toPlainText() == QStringLiteral("ping"); }, 3000));
    EXPECT_EQ(window.TrayIcon()->toolTip(), QStringLiteral("Kestrola NET All:1  New:1"));
    EXPECT_TRUE(window.Urgent());
    // Two ticks later the icon has changed phase twice.
    const int first = window.WindowIconId();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.WindowIconId() != first; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.WindowIconId() == first; }, 2000));
    EXPECT_EQ(window.TrayIconId(), window.WindowIconId());
}

struct LinkCase {
    const char *text, *clickOn, *verb, *target;
};

class MainDialogLinkTest : public MainDialogTest, public ::testing::WithParamInterface<LinkCase> {};

// A double-click selects the whole link under the mouse; "Go to URL" hands it to the shell.
TEST_P(MainDialogLinkTest, DoubleClickThenGoToUrlOpensTheWholeLink) {
    const LinkCase c = GetParam();
    testing::WriteFileBytes(h.basePath, h.Record("ALICE", "PC1", c.text, 0));
    CEditEx* viewer = Open().ViewerEdit();
    QTextCursor at(viewer->document());
    at.setPosition(static_cast<int>(std::string_view(c.text).find(c.clickOn)) + 1);
    testing::WhenPopup([](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        ASSERT_NE(menu, nullptr);
        QAction* goTo = menu->actions().at(0);
        ASSERT_EQ(goTo->text(), QStringLiteral("&Go to URL"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(goTo).center());
    });
    QTest::mouseDClick(viewer->viewport(), Qt::LeftButton, {}, viewer->cursorRect(at).center());
    using Calls = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(h.shell.calls, (Calls{{c.verb, c.target}}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, MainDialogLinkTest,
    ::testing::Values(LinkCase{"The menu: http://intranet.example/menu?day=2, as usual.", "example",
                               "open", "http://intranet.example/menu?day=2"},
                      LinkCase{"It is on \\\\FILES\\menu\\today.txt.", "menu", "explore",
                               "\\\\FILES\\menu\\today.txt"}));

TEST_F(MainDialogTest, AlwaysOnTopAndToolTipsFollowTheSettings) {
    h.Set("SystemSettings", "AlwaysOnTop", 1);
    h.Set("SystemSettings", "ToolTips", 0);
    MainDialog& window = Open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Topmost(); }, 2000));
    EXPECT_TRUE(window.isVisible()) << "still shown after the change of its flags";
    EXPECT_TRUE(window.Button(core::kSendButton)->toolTip().isEmpty());
    window.SetTopmost(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Topmost(); }, 2000));
}

// The program as a whole: start, a quit request, and the settings on disk.
class MessengerAppTest : public ::testing::Test {
protected:
    MessengerAppTest() {
        environment.configFolder = h.dir.path();
        environment.executablePath = h.dir.File("kestrola-net");
        environment.writableFolders.insert(h.dir.path());
    }
    MessengerPlatform Platform(platform::QuitRequests* quit) {
        return {environment,
                *h.pc1,
                *h.codePage,
                h.clock,
                h.shell,
                h.sound,
                quit,
                [this] { return std::make_unique<testing::FakeRecipientNetwork>(h.network); },
                {}};
    }

    MainWindowHarness h; // its store is the INI store kestrola-net.INI in the same folder
    platform::testing::FakeProcessEnvironment environment;
};

TEST_F(MessengerAppTest, QuitSignalEndsLikeExitAndSavesEverything) {
    const auto quit = platform::CreateQuitRequests();
    ASSERT_GE(quit->Descriptor(), 0);
    int secondStatus = -1;
    std::size_t markers = 0;
    const int status = RunMessengerApp("-i", Platform(quit.get()), [&](MainDialog& window) {
        // A second start while this one runs ends at once.
        markers = environment.heldMarkers->size();
        platform::testing::FakeProcessEnvironment other = environment;
        other.configFolder = "/nonexistent";
        secondStatus = RunMessengerApp(
            "-i", {other, *h.pc1, *h.codePage, h.clock, h.shell, h.sound, nullptr, {}, {}});
        testing::WhenModal([](QWidget* notice) {
            // The refusal's notice: close it, then the system asks the program to end.
            QTest::keyClick(notice, Qt::Key_Return);
            std::raise(SIGTERM);
        });
        window.RecipientBox()->setEditText(QStringLiteral("PC2"));
        window.Core().OnCommand(core::kSendButton); // no text: refused with a notice
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(secondStatus, 0);
    EXPECT_EQ(markers, 1u);
    EXPECT_TRUE(environment.heldMarkers->empty()) << "the marker goes with the run";
    // Every written-back key is on disk, and the list section.
    const core::IniProfileStore stored(h.storePath);
    for (const core::SettingName& name : core::kSaveOrder)
        EXPECT_TRUE(stored.Find(name.section, name.key).has_value()) << name.key;
    EXPECT_TRUE(stored.Find("LastSended", "Count").has_value());
}

// Saving the session writes what Exit writes and the run goes on; the session's end (a Quit
// event) ends it without minimising or asking, even with "NoClose" and the exit question on.
TEST_F(MessengerAppTest, SavingTheSessionKeepsRunningAndTheSessionsEndEndsIt) {
    h.Set("SystemSettings", "NoClose", 1);
    h.Set("SystemSettings", "ConfirmationOnExit", 1);
    const auto quit = platform::CreateQuitRequests();
    bool savedWhileRunning = false;
    bool ranOn = false;
    bool stuck = false;
    EXPECT_EQ(RunMessengerApp(
                  "-i", Platform(quit.get()),
                  [&](MainDialog& window) {
                      window.RecipientBox()->setEditText(QStringLiteral("PC2"));
                      // No handler reads the manager, which the toolkit makes only
                      // inside a desktop session.
                      alignas(QSessionManager) std::byte manager[sizeof(QSessionManager)]{};
                      emit qApp->commitDataRequest(*reinterpret_cast<QSessionManager*>(manager));
                      const core::IniProfileStore stored(h.storePath);
                      savedWhileRunning = stored.Find("SystemSettings", "FlatButtons").has_value();
                      QTest::qWait(100);
                      ranOn = window.isVisible() && !window.EndRequested();
                      // The session's "die", as the toolkit passes it on.
                      QTimer::singleShot(0, qApp, [] {
                          QEvent end(QEvent::Quit);
                          QCoreApplication::sendEvent(qApp, &end);
                      });
                      QTimer::singleShot(5000, &window, [&stuck] {
                          stuck = true;
                          std::raise(SIGTERM);
                      });
                  }),
              0);
    EXPECT_TRUE(savedWhileRunning);
    EXPECT_TRUE(ranOn) << "saving the session is not its end";
    EXPECT_FALSE(stuck) << "the session's end did not end the run";
}

TEST_F(MessengerAppTest, AQuitSignalDuringTheFirstRunQuestionEndsWithoutAWindow) {
    h.Set("SystemSettings", "CurrentVersion", "");
    h.Set("LastSended", "Count", 2);
    h.Set("LastSended", "0", "ALICE");
    h.Set("LastSended", "1", "SALES");
    const auto quit = platform::CreateQuitRequests();
    std::string asked;
    testing::WhenModal([&](QWidget* box) {
        asked = box->windowTitle().toStdString();
        std::raise(SIGTERM);
    });
    bool shown = false;
    EXPECT_EQ(RunMessengerApp("-i", Platform(quit.get()), [&](MainDialog&) { shown = true; }), 0);
    EXPECT_EQ(asked, "Kestrola NET");
    EXPECT_FALSE(shown);
    EXPECT_TRUE(h.shell.calls.empty()) << "neither the upgrade page nor anything else opened";
    const core::IniProfileStore stored(h.storePath);
    EXPECT_EQ(stored.ReadString("SystemSettings", "CurrentVersion", ""), "1.0");
    EXPECT_TRUE(stored.Find("SendRecervieSettings", "HistoryLenght").has_value());
    std::vector<std::string> recents;
    core::IniProfileStore reread(h.storePath);
    core::LoadStringList(reread, recents, core::kLastSended);
    EXPECT_EQ(recents, (std::vector<std::string>{"ALICE", "SALES"})) << "the list was never read";
}

// A start that fails ends the run after its one notice, the settings saved; the first notice
// a user without a network sees (1286) already wears the buttons' colours.
TEST_F(MessengerAppTest, AFailedStartEndsTheRunAfterItsNotice) {
    h.Set("ColorsSettings", "ButtonInactiveBgColor", 0x00203040);
    for (const bool noNetwork : {false, true}) {
        h.pc1->portTaken = !noNetwork;
        h.network.providerFound = !noNetwork;
        ClearNoticeColours();
        std::vector<QColor> okBackgrounds;
        testing::WhenModal([&](QWidget* modal) {
            auto* notice = qobject_cast<NoticeDialog*>(modal);
            okBackgrounds.push_back(notice ? notice->OkButton()->InactiveBackground() : QColor());
            QTest::keyClick(modal, Qt::Key_Return);
        });
        EXPECT_EQ(RunMessengerApp("i", Platform(nullptr)), 0);
        ASSERT_EQ(okBackgrounds.size(), 1u);
        if (noNetwork) {
            EXPECT_EQ(okBackgrounds[0], ToQColor(0x00203040));
        } else {
            const core::IniProfileStore stored(h.storePath);
            EXPECT_TRUE(stored.Find("SystemSettings", "FlatButtons").has_value());
        }
    }
}

} // namespace
} // namespace kestrola::ui
