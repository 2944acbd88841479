// Drives the real program's window like a person, for the multi-host tests: it runs the
// program (MessengerApp on the system's platform, offscreen), presses New, types the recipient
// and the text, presses Send and ends the program. Run only inside a test's network namespace.
//
// usage: kestrola_window_driver [--to NAME] --text TEXT
//        kestrola_window_driver --layout 1
//          (on the display in DISPLAY, without a network: where the buttons lie in the main
//          window, the composer and the tree's first row, "name x y width height" in window pixels,
//          for a person's clicks with xdotool)
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
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrola;

int main(int argc, char** argv) {
    std::string to;
    std::string text;
    bool layout = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--layout") == 0)
            layout = true;
        if (std::strcmp(argv[i], "--to") == 0)
            to = argv[i + 1];
        else if (std::strcmp(argv[i], "--text") == 0)
            text = argv[i + 1];
    }
    if (text.empty() && !layout) {
        std::fprintf(stderr, "usage: %s [--to NAME] --text TEXT | --layout 1\n", argv[0]);
        return 2;
    }
    if (layout) {
        char* qtArgv[] = {argv[0], nullptr};
        int qtArgc = 1;
        QApplication app(qtArgc, qtArgv);
        testing::MainWindowHarness h; // in memory: no network, no store of the user's
        ui::MainDialog window(h.Services());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window, 10000))
            return 3;
        for (const auto& [name, id] :
             {std::pair{"new", core::kNewButton}, std::pair{"reply", core::kReplyButton},
              std::pair{"expand", core::kExpandButton}, std::pair{"send", core::kSendButton}}) {
            const QRect area(window.Button(id)->mapTo(&window, QPoint(0, 0)),
                             window.Button(id)->size());
            std::printf("%s %d %d %d %d\n", name, area.x(), area.y(), area.width(), area.height());
        }
        const QPoint composerAt = window.ComposerEdit()->mapTo(&window, QPoint(0, 0));
        std::printf("composer %d %d %d %d\n", composerAt.x(), composerAt.y(),
                    window.ComposerEdit()->width(), window.ComposerEdit()->height());
        // The tree's first row, measured on a row of its own.
        QTreeWidget* tree = window.Tree();
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("WORKGROUP")}));
        const QRect row = tree->visualItemRect(tree->topLevelItem(0));
        const QPoint rowAt = tree->viewport()->mapTo(&window, row.topLeft());
        std::printf("row %d %d %d %d\n", rowAt.x(), rowAt.y(), row.width(), row.height());
        std::fflush(stdout);
        window.Destroy();
        return 0;
    }
    // As the program does: the ports first (or beside another service), then the toolkit.
    std::vector<std::string> notes;
    const auto mailslots = platform::CreateListeningMailslots(notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char* qtArgv[] = {argv[0], nullptr};
    int qtArgc = 1;
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
        if (!to.empty())
            QTest::keyClicks(window.RecipientBox()->lineEdit(), QString::fromUtf8(to.c_str()));
        QTest::keyClicks(window.ComposerEdit(), QString::fromUtf8(text.c_str()));
        QTest::mouseClick(window.Button(core::kSendButton), Qt::LeftButton);
        std::printf("recipient box: %s\n",
                    window.RecipientBox()->currentText().toUtf8().constData());
        std::fflush(stdout);
        window.Core().EndWithoutQuestion();
    });
    return 0;
}
