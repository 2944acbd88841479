#include "app/ui/MainDialog.h"

#include "MainWindowHarness.h"
#include "UiTestSupport.h"
#include "app/ui/MessengerApp.h"
#include "app/ui/PaletteColors.h"
#include "controls/CEditEx.h"
#include "controls/FlatButton.h"
#include "fakes/FakeProcessEnvironment.h"
#include "platform/Platform.h"
#include "store/BaseFormat.h"
#include "window/MenuResources.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
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
    testing::SavePicture(&window, QStringLiteral("main-dialog-sent.png"));
    EXPECT_EQ(h.sound.played, std::vector<std::string>{"send.wav"});
    QTest::keyClicks(window.RecipientBox()->lineEdit(), QStringLiteral("-") + QString(40, 'x'));
    EXPECT_EQ(window.RecipientBox()->currentText(), QStringLiteral("PC2-") + QString(28, 'X'));
}

// The program as a whole: a quit request ends it like Exit, with the settings on disk and the
// instance marker released.
TEST(MessengerApp, QuitSignalEndsLikeExitAndSavesEverything) {
    MainWindowHarness h; // its store is the INI store kestrola-net.INI in the same folder
    platform::testing::FakeProcessEnvironment environment;
    environment.configFolder = h.dir.path();
    environment.executablePath = h.dir.File("kestrola-net");
    environment.writableFolders.insert(h.dir.path());
    const auto quit = platform::CreateQuitRequests();
    ASSERT_GE(quit->Descriptor(), 0);
    const auto network = [&] { return std::make_unique<testing::FakeRecipientNetwork>(h.network); };
    std::size_t markers = 0;
    const int status = RunMessengerApp(
        "-i",
        {environment, *h.pc1, *h.codePage, h.clock, h.shell, h.sound, quit.get(), network, {}},
        [&](MainDialog& window) {
            markers = environment.heldMarkers->size();
            testing::WhenModal([](QWidget* notice) {
                // The refusal's notice: close it, then the system asks the program to end.
                QTest::keyClick(notice, Qt::Key_Return);
                std::raise(SIGTERM);
            });
            window.RecipientBox()->setEditText(QStringLiteral("PC2"));
            window.Core().OnCommand(core::kSendButton); // no text: refused with a notice
        });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(markers, 1u);
    EXPECT_TRUE(environment.heldMarkers->empty()) << "the marker goes with the run";
    const core::IniProfileStore stored(h.storePath); // every key: MainWindowLifetime
    EXPECT_TRUE(stored.Find("SendRecervieSettings", "History").has_value());
    EXPECT_TRUE(stored.Find("LastSended", "Count").has_value());
}

} // namespace
} // namespace kestrola::ui
