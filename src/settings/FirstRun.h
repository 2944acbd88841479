#pragma once

#include "base/Product.h"
#include "settings/ProfileStore.h"

#include <functional>
#include <string>
#include <string_view>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::core {

/// The version marker this build writes to "CurrentVersion".
inline constexpr std::string_view kCurrentVersion = "1.0";
/// The question a first run asks, with Yes and No buttons.
inline constexpr std::string_view kUpdateQuestion = "Do you want to update Kestrola NET?";

/// Asks the shell to open the sibling product's page; returns the shell's result, which the
/// callers ignore.
int OpenUpgradePage(platform::Shell& shell);

/// What a first run shows; the window layer fills these in. An empty `askYesNo` answers No;
/// an empty `showAboutBox` shows nothing.
struct FirstRunCallbacks {
    /// Asks `question` with Yes and No buttons under the caption "Kestrola NET"; true for Yes.
    std::function<bool(std::string_view question)> askYesNo;
    /// Shows the About box modally and returns when it is closed.
    std::function<void()> showAboutBox;
};

/// Reads "CurrentVersion" (into `versionRead` when given). Unless it is exactly "1.0", writes
/// "1.0" at once, asks the update question (Yes opens the upgrade page) and then shows the
/// About box whatever the answer. True when it was such a first run.
bool CheckFirstRun(ProfileStore& store, const FirstRunCallbacks& callbacks, platform::Shell& shell,
                   std::string* versionRead = nullptr);

} // namespace kestrola::core
