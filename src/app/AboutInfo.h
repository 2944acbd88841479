#pragma once

#include <string>
#include <string_view>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::core {

/// The build number the About box shows.
inline constexpr int kBuildNumber = 1188;
/// The maker's web site with the program's referral query.
inline constexpr std::string_view kMakerSiteUrl =
    "https://www.kestrola.example/?inref=kestrola-net";
/// The text of the web-site link.
inline constexpr std::string_view kMakerSiteText = "www.kestrola.example";
/// A mail to the maker's support mailbox about this program.
inline constexpr std::string_view kSupportMailUrl =
    "mailto:support@kestrola.example?subject=About Kestrola NET";
/// The text of the e-mail link.
inline constexpr std::string_view kSupportMailText = "support@kestrola.example";
/// The sibling product's page on the maker's site.
inline constexpr std::string_view kUpgradePageUrl =
    "https://www.kestrola.example/products/murmeli-net/?inref=kestrola-net";

/// "Kestrola NET Build : %d" with the build number.
std::string BuildLine();

/// Asks the shell to open the sibling product's page; returns the shell's result, which the
/// callers ignore.
int OpenUpgradePage(platform::Shell& shell);

/// The help file beside the program: its path with the extension replaced by ".HLP" (added
/// when it has none).
std::string HelpFilePath(std::string_view programPath);

} // namespace kestrola::core
