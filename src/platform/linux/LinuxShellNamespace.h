#pragma once

#include "platform/ShellNamespace.h"

#include <string>
#include <utility>

namespace kestrola::platform {

/// Where the Linux namespace finds its special folders.
struct LinuxShellNamespaceOptions {
    /// The network places the file managers show (served by the desktop's virtual file system).
    std::string networkLocation = "network:///";
    /// The user's desktop folder (a path); may be missing on disk.
    std::string desktopFolder;
    /// The home folder (a path), listed when the desktop folder is missing.
    std::string homeFolder;

    /// The folders of this session: the XDG desktop folder and the home folder.
    static LinuxShellNamespaceOptions FromEnvironment();
};

/// The desktop's namespace through GIO: local folders, and the network places when the
/// desktop's virtual file system runs. Error codes are GIO's (GIOErrorEnum).
class LinuxShellNamespace : public ShellNamespace {
public:
    explicit LinuxShellNamespace(LinuxShellNamespaceOptions options)
        : m_options(std::move(options)) {}

    std::optional<std::string> SpecialFolderLocation(int folderId) override;
    std::string DesktopLocation() override;
    ShellListing EnumerateFolder(const std::string& location) override;
    int CompareEntries(const ShellEntry& first, const ShellEntry& second) override;
    ShellMenu QueryContextMenu(const ShellEntry& entry) override;
    ShellStatus InvokeCommand(const ShellEntry& entry, const ShellCommand& command) override;

private:
    LinuxShellNamespaceOptions m_options;
};

/// At most `count` characters of UTF-8 `text`, never splitting a character.
std::string CutDisplayName(const std::string& text, std::size_t count);

/// The primary sort key of `text`: case-folded, decomposed and without accents, so that names
/// differing only in case or accents compare equal.
std::string FoldForOrder(const std::string& text);

} // namespace kestrola::platform
