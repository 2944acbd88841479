// Kestrola NET, the desktop program (MessengerApp).
#include "app/ui/MessengerApp.h"
#include "base/StartupTrace.h"
#include "platform/Platform.h"
#include "settings/SoundFolders.h"
#include "settings/StartupRules.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace kestrola;
    core::TraceStartup("main");
    // The ports before anything else, then no capability left: nothing the toolkit loads (its
    // plug-ins follow the environment) ever runs with a right to the network.
    std::vector<std::string> notes;
    const auto mailslots = platform::CreateListeningMailslots(notes);
    core::TraceStartup("ports taken, capabilities dropped");
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    QApplication app(argc, argv);
    // What the toolkit has left of the arguments; the session's options never choose the store.
    const std::string commandLine = core::RawCommandLine(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    core::TraceStartup("toolkit started");

    const auto environment = platform::CreateProcessEnvironment();
    const auto codePage = platform::CreateCodePage();
    const auto clock = platform::CreateClock();
    const auto shell = platform::CreateShell();
    const auto quitRequests = platform::CreateQuitRequests();
    const auto notifications = platform::CreateDesktopNotifications();
    const auto sound =
        platform::CreateSound(core::InstalledSoundFolders(environment->ExecutablePath()));

    core::TraceStartup("platform objects made");
    const ui::MessengerPlatform messenger{
        *environment, *mailslots,         *codePage, *clock, *shell,
        *sound,       quitRequests.get(), {},        {},     notifications.get()};
    return ui::RunMessengerApp(commandLine, messenger);
}
