#include "settings/FirstRun.h"

#include "platform/Shell.h"
#include "settings/AppSettings.h"

namespace kestrola::core {

int OpenUpgradePage(platform::Shell& shell) {
    return shell.Open("open", std::string(kUpgradePageUrl));
}

bool CheckFirstRun(ProfileStore& store, const FirstRunCallbacks& callbacks, platform::Shell& shell,
                   std::string* versionRead) {
    const std::string version = store.ReadString(kSystemSettings, "CurrentVersion", "");
    if (versionRead != nullptr)
        *versionRead = version;
    if (version == kCurrentVersion)
        return false;
    // Written before the question, so that a crash or kill during the dialogs does not ask
    // again on the next start.
    store.WriteString(kSystemSettings, "CurrentVersion", kCurrentVersion);
    if (callbacks.askYesNo && callbacks.askYesNo(kUpdateQuestion))
        OpenUpgradePage(shell);
    if (callbacks.showAboutBox)
        callbacks.showAboutBox();
    return true;
}

} // namespace kestrola::core
