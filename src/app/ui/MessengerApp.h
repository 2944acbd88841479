#pragma once

#include "window/MainWindow.h"
#include "window/RecipientNetwork.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kestrola::platform {
class Clock;
class CodePage;
class DesktopNotifications;
class Mailslots;
class ProcessEnvironment;
class QuitRequests;
class Shell;
class Sound;
} // namespace kestrola::platform

namespace kestrola::ui {

class MainDialog;

/// What the program runs on; the desktop program passes the system's, tests in-memory ones.
struct MessengerPlatform {
    platform::ProcessEnvironment& environment;
    platform::Mailslots& mailslots;
    const platform::CodePage& codePage;
    const platform::Clock& clock;
    platform::Shell& shell;
    platform::Sound& sound;
    /// The system's quit requests; nullptr for none.
    platform::QuitRequests* quitRequests = nullptr;
    /// Makes the network neighbourhood for the window; empty for the network scanner on the
    /// system's network provider.
    std::function<std::unique_ptr<core::RecipientNetwork>()> makeNetwork;
    /// Makes the message base; empty for the plain one.
    decltype(core::MainWindowServices::makeBase) makeBase;
    /// The desktop's notifications; nullptr for none.
    platform::DesktopNotifications* notifications = nullptr;
};

/// The program, from the single-instance test to the end of the main window: a second start
/// ends at once and silently; otherwise the window runs until it is ended (Exit, or a quit
/// request of the system or the desktop session, which saves like Exit without its question).
/// Returns the process exit status, 0. `onShown` runs once the window has been shown.
int RunMessengerApp(std::string_view rawCommandLine, const MessengerPlatform& platform,
                    const std::function<void(MainDialog&)>& onShown = {});

} // namespace kestrola::ui
