#pragma once

#include "base/Product.h"
#include "platform/ProcessEnvironment.h"
#include "settings/ProfileStore.h"

#include <memory>
#include <string>
#include <string_view>

namespace kestrola::core {

/// Which store holds the settings.
enum class StoreChoice {
    IniFile, ///< the INI file named after the executable
    PerUser, ///< the per-user store (the registry's place)
};

/// The raw command-line text after the program name: the arguments joined by single spaces,
/// without the toolkit's and the desktop session's own options and their values ("-session
/// <id>", "-display <name>", "-name <name>", ...), which are not the program's.
std::string RawCommandLine(int argc, const char* const* argv);

/// Any letter I or i anywhere in the raw command line chooses the INI file; anything else,
/// an empty line included, the per-user store.
StoreChoice ChooseStore(std::string_view rawCommandLine);

/// The INI store's file name for an executable: its base name, without folder and extension,
/// followed by ".INI".
std::string IniFileName(std::string_view executablePath);
/// The INI store's full path: the per-user configuration folder and IniFileName.
std::string IniStorePath(const platform::ProcessEnvironment& environment,
                         std::string_view executablePath);
/// The per-user store's full path: "Ovrin software/Kestrola NET.conf" in the per-user
/// configuration folder.
std::string UserStorePath(const platform::ProcessEnvironment& environment);
/// The store of `choice` for the executable at `executablePath`.
std::unique_ptr<ProfileStore> OpenStore(StoreChoice choice,
                                        const platform::ProcessEnvironment& environment,
                                        std::string_view executablePath);

/// The working directory for the run: the program's own folder when it is writable, else the
/// per-user data folder's "kestrola-net" (created). "" when neither is known.
std::string ChooseWorkingFolder(platform::ProcessEnvironment& environment);

/// What the start-up steps before the main window found.
struct StartupOutcome {
    /// False when another instance runs: the program ends at once, silently.
    bool proceed = false;
    /// Held for the run; empty when the marker could not be made (the start goes on).
    std::unique_ptr<platform::InstanceMarker> marker;
    /// The folder made the working directory (the change may have failed; it is ignored).
    std::string workingFolder;
    StoreChoice storeChoice = StoreChoice::PerUser;
    std::unique_ptr<ProfileStore> store;
};

/// The start-up steps without a window, in order: create the single-instance marker (a
/// second instance stops here, having read and changed nothing), make the working folder the
/// current directory, and choose and open the settings store from the raw command line.
StartupOutcome BeginStartup(platform::ProcessEnvironment& environment,
                            std::string_view rawCommandLine);

} // namespace kestrola::core
