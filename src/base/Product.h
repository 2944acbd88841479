#pragma once

#include <string>
#include <string_view>

// What the program is called and where its maker is found: every room takes these from here.
namespace kestrola::core {

/// The application name for the whole run: every message box's caption and the last part of
/// the per-user store's place.
inline constexpr std::string_view kApplicationName = "Kestrola NET";
/// The single-instance marker's name.
inline constexpr std::string_view kInstanceMarkerName = "Kestrola NET Application";
/// The maker's name, the per-user store's folder.
inline constexpr std::string_view kCompanyName = "Ovrin software";
/// The executable name of the desktop program, which names its INI store.
inline constexpr std::string_view kProgramExecutableName = "kestrola-net";
/// The folder under the per-user data folder used when the program's own folder is not
/// writable.
inline constexpr std::string_view kDataFolderName = "kestrola-net";

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
inline std::string BuildLine() {
    return std::string(kApplicationName) + " Build : " + std::to_string(kBuildNumber);
}

} // namespace kestrola::core
