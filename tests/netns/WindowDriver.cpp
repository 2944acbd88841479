// Drives the real program's window like a person, for the multi-host tests: it runs the
// program (MessengerApp on the system's platform, offscreen), presses New, types the recipient
// and the text or checks tree items after a scan, presses Send and ends the program. Run only
// inside a test's network namespace.
//
// usage: kestrola_window_driver [--to NAME] [--check NAME]... --text TEXT
//        kestrola_window_driver --browse 1
//          (steps through the base with the Next button, printing what each message shows)
//        kestrola_window_driver --layout 1
//          (on the display in DISPLAY, without a network: where the buttons lie in the main
//          window, the composer and the tree's first row, "name x y width height" in window pixels,
//          for a person's clicks with xdotool)
#include "MainWindowHarness.h"
#include "app/ui/MainDialog.h"
#include "app/ui/MessengerApp.h"
#include "controls/CEditEx.h"
#include "controls/FlatButton.h"
#include "network/NetworkPanel.h"
#include "platform/Platform.h"
#include "settings/SoundFolders.h"
#include "settings/StartupRules.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kestrola;

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& name) {
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree->topLevelItem(g);
        if (group->text(0).compare(name, Qt::CaseInsensitive) == 0)
            return group;
        for (int c = 0; c < group->childCount(); ++c) {
            if (group->child(c)->text(0).compare(name, Qt::CaseInsensitive) == 0)
                return group->child(c);
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::string to;
    std::string text;
    std::vector<QString> checks;
    bool browse = false;
    bool layout = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--browse") == 0)
            browse = true;
        if (std::strcmp(argv[i], "--layout") == 0)
            layout = true;
        if (std::strcmp(argv[i], "--to") == 0)
            to = argv[i + 1];
        else if (std::strcmp(argv[i], "--check") == 0)
            checks.push_back(QString::fromUtf8(argv[i + 1]));
        else if (std::strcmp(argv[i], "--text") == 0)
            text = argv[i + 1];
    }
    if (text.empty() && !browse && !layout) {
        std::fprintf(stderr, "usage: %s [--to NAME] [--check NAME]... --text TEXT\n", argv[0]);
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
    int status = 0;
    // The INI store ("i" on the command line) is the one the test prepared.
    ui::RunMessengerApp("-i", messenger, [&](ui::MainDialog& window) {
        if (browse) {
            const auto label = [&window](int id) {
                return window.Label(id)->text().toUtf8().toStdString();
            };
            for (QString last;;) {
                const std::string shown = window.ViewerEdit()->toPlainText().toUtf8().toStdString();
                const std::string line =
                    label(core::kPositionLabel) + "|" + label(core::kCountersLabel) + "|" +
                    label(core::kReadMarkLabel) + "|" + label(core::kFromToLabel) + "|" + shown;
                if (QString::fromStdString(line) == last)
                    break;
                std::printf("%s\n", line.c_str());
                last = QString::fromStdString(line);
                QTest::mouseClick(window.Button(core::kNextButton), Qt::LeftButton);
            }
            std::fflush(stdout);
            window.Core().EndWithoutQuestion();
            return;
        }
        QTest::mouseClick(window.Button(core::kNewButton), Qt::LeftButton);
        if (!checks.empty()) {
            // New expanded the window and started the first scan.
            const bool scanned = QTest::qWaitFor(
                [&] {
                    return window.Core().GetViewer().Busy() == false &&
                           window.Label(core::kScanStatusLabel)->text() == "Scan complete";
                },
                30000);
            for (const QString& name : checks) {
                QTreeWidgetItem* item = FindItem(window.Tree(), name);
                if (!scanned || item == nullptr) {
                    std::fprintf(stderr, "driver: no tree item %s (scan %s)\n",
                                 name.toUtf8().constData(), scanned ? "complete" : "unfinished");
                    status = 3;
                    continue;
                }
                item->setCheckState(0, Qt::Checked);
            }
        }
        if (!to.empty())
            QTest::keyClicks(window.RecipientBox()->lineEdit(), QString::fromUtf8(to.c_str()));
        QTest::keyClicks(window.ComposerEdit(), QString::fromUtf8(text.c_str()));
        // The send runs inside the click; a timer tells how long the window's events stood
        // still meanwhile (paint events go the same way).
        QElapsedTimer sending;
        QElapsedTimer sinceTick;
        qint64 longestPause = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longestPause = std::max(longestPause, sinceTick.restart()); });
        ticker.start(10);
        sending.start();
        sinceTick.start();
        QTest::mouseClick(window.Button(core::kSendButton), Qt::LeftButton);
        longestPause = std::max(longestPause, sinceTick.elapsed());
        ticker.stop();
        std::printf("sent in %.2f s; longest pause of the window %lld ms; recipient box: %s; "
                    "indicator: %s\n",
                    static_cast<double>(sending.elapsed()) / 1000,
                    static_cast<long long>(longestPause),
                    window.RecipientBox()->currentText().toUtf8().constData(),
                    window.Label(core::kLengthIndicator)->text().toUtf8().constData());
        std::fflush(stdout);
        window.Core().EndWithoutQuestion();
    });
    return status;
}
