// Kestrola NET, the desktop program (MessengerApp).
#include "app/SoundFolders.h"
#include "app/StartupRules.h"
#include "app/ui/MessengerApp.h"
#include "platform/Platform.h"

#include <QApplication>

int main(int argc, char** argv) {
    using namespace kestrola;
    QApplication app(argc, argv);
    // What the toolkit has left of the arguments; the session's options never choose the store.
    const std::string commandLine = core::RawCommandLine(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const auto environment = platform::CreateProcessEnvironment();
    const auto codePage = platform::CreateCodePage();
    const auto clock = platform::CreateClock();
    const auto shell = platform::CreateShell();
    const auto mailslots = platform::CreateMailslots();
    const auto quitRequests = platform::CreateQuitRequests();
    const auto notifications = platform::CreateDesktopNotifications();
    const auto sound =
        platform::CreateSound(core::InstalledSoundFolders(environment->ExecutablePath()));

    const ui::MessengerPlatform messenger{
        *environment, *mailslots,         *codePage, *clock, *shell,
        *sound,       quitRequests.get(), {},        {},     notifications.get()};
    return ui::RunMessengerApp(commandLine, messenger);
}
