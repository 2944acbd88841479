#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {

/// The XDG base folders that say where desktop entries and MIME associations live.
struct XdgDirs {
    std::string configHome;              ///< $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> configDirs; ///< $XDG_CONFIG_DIRS or /etc/xdg
    std::string dataHome;                ///< $XDG_DATA_HOME or ~/.local/share
    std::vector<std::string> dataDirs;   ///< $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> desktops;   ///< $XDG_CURRENT_DESKTOP, lower case

    /// The folders named by the environment, with the XDG defaults for unset variables.
    static XdgDirs FromEnvironment();
};

/// Undoes the escapes of a desktop-entry value (\s, \n, \t, \r, \\).
std::string UnescapeDesktopValue(std::string_view value);

/// Cuts an Exec line before its first document placeholder (%u, %U, %f or %F; a quoted
/// placeholder is cut with its opening quote). A line without one stays whole.
std::string CutExecLine(std::string_view exec);

/// Splits an Exec line into arguments by its quoting rules, dropping the field codes that
/// stand alone (%i, %c, %k and the deprecated ones) and turning %% into %. Nothing when a quote
/// is left open.
std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec);

/// The value of `key` in the [Desktop Entry] group of a desktop file's text, unescaped.
std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key);

/// The desktop ids listed for `mimeType` in `group` of a mimeapps.list or mimeinfo.cache text.
std::vector<std::string> MimeAssociations(std::string_view text, std::string_view group,
                                          std::string_view mimeType);

/// The Exec line of the application the desktop prefers for `mimeType`: the default
/// applications of the mimeapps.list files in XDG order, then their added associations, then
/// the mimeinfo.cache files. Nothing when no installed entry is found.
std::optional<std::string> FindMimeHandlerExec(const XdgDirs& dirs, std::string_view mimeType);

} // namespace kestrola::platform
