// usage: kestrola_window_driver TO TEXT | --layout
// Drives the real program's window like a person, for the multi-host tests: it runs the
// program (MessengerApp on the system's platform, offscreen), presses New, types the recipient
// and the text, presses Send and ends the program. Run only inside a test's network namespace.
// With --layout (on the display in DISPLAY, without a network) it prints where a person clicks
// the buttons and the composer of the main window ("name x y" in window pixels).
#include "MainWindowHarness.h"
#include "app/ui/MainDialog.h"
#include "app/ui/MessengerApp.h"
#include "controls/CEditEx.h"
#include "controls/FlatButton.h"
#include "platform/Platform.h"
#include "settings/SoundFolders.h"
#include "settings/StartupRules.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrola;

int main(int argc, char** argv) {
    const bool layout = argc == 2 && std::strcmp(argv[1], "--layout") == 0;
    if (argc != 3 && !layout) {
        std::fprintf(stderr, "usage: %s TO TEXT | --layout\n", argv[0]);
        return 2;
    }
    char* qtArgv[] = {argv[0], nullptr};
    int qtArgc = 1;
    if (layout) {
        QApplication app(qtArgc, qtArgv);
        testing::MainWindowHarness h; // in memory: no network, no store of the user's
        ui::MainDialog window(h.Services());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window, 10000))
            return 3;
        const auto place = [&](const char* name, const QWidget* widget, QPoint at) {
            at = widget->mapTo(&window, at);
            std::printf("%s %d %d\n", name, at.x(), at.y());
        };
        for (const auto& [name, id] :
             {std::pair{"reply", core::kReplyButton}, std::pair{"expand", core::kExpandButton},
              std::pair{"send", core::kSendButton}})
            place(name, window.Button(id), window.Button(id)->rect().center());
        // Below the quoted message.
        const QWidget* composer = window.ComposerEdit();
        place("composer", composer, QPoint(composer->width() / 2, composer->height() - 8));
        window.Destroy();
        return 0;
    }
    // As the program does: the ports first (or beside another service), then the toolkit.
    std::vector<std::string> notes;
    const auto mailslots = platform::CreateListeningMailslots(notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);

    const auto environment = platform::CreateProcessEnvironment();
    const auto codePage = platform::CreateCodePage();
    const auto clock = platform::CreateClock();
    const auto shell = platform::CreateShell();
    const auto sound =
        platform::CreateSound(core::InstalledSoundFolders(environment->ExecutablePath()));
    const ui::MessengerPlatform messenger{*environment, *mailslots, *codePage, *clock, *shell,
                                          *sound,       nullptr,    {},        {}};
    // The INI store ("i" on the command line) is the one the test prepared.
    ui::RunMessengerApp("-i", messenger, [&](ui::MainDialog& window) {
        QTest::mouseClick(window.Button(core::kNewButton), Qt::LeftButton);
        QTest::keyClicks(window.RecipientBox()->lineEdit(), QString::fromUtf8(argv[1]));
        QTest::keyClicks(window.ComposerEdit(), QString::fromUtf8(argv[2]));
        QTest::mouseClick(window.Button(core::kSendButton), Qt::LeftButton);
        std::printf("recipient box: %s\n",
                    window.RecipientBox()->currentText().toUtf8().constData());
        std::fflush(stdout);
        window.Core().EndWithoutQuestion();
    });
    return 0;
}
