#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrola::platform {

/// The number of the network-places special folder, as the shell numbers its special folders.
inline constexpr int kNetworkPlacesFolder = 19;
/// The most characters of a display name.
inline constexpr std::size_t kDisplayNameMax = 260;

/// The outcome of a namespace call: success, or the system's error code.
struct ShellStatus {
    bool ok = true;
    int code = 0; ///< the system's error code when `ok` is false
};

/// One object of a folder as the desktop lists it.
struct ShellEntry {
    std::string name;                       ///< its name inside the folder that listed it
    std::string location;                   ///< where the object itself is listed and opened
    std::string displayName;                ///< what the desktop shows, at most 260 characters
    std::vector<std::string> iconNames;     ///< themed icon names, most specific first
    std::vector<std::string> openIconNames; ///< themed icon names of its open state
    bool isFolder = false;                  ///< a folder, a mountable place or a network place
    bool hasSubFolders = false;             ///< it holds folders (network places always count)
};

/// The objects of one folder, folders and others, in the order the desktop gives them.
struct ShellListing {
    ShellStatus status;
    std::vector<ShellEntry> entries;
};

/// One entry of an object's context menu.
struct ShellCommand {
    enum class Kind {
        Open,         ///< the desktop's default handler
        OpenWith,     ///< the application `application`
        CopyLocation, ///< put `text` on the clipboard
    };
    Kind kind = Kind::Open;
    std::string label;       ///< "Open", "Open With <application>", "Copy Location"
    std::string application; ///< OpenWith: the application's desktop id
    std::string text;        ///< CopyLocation: the location as the desktop writes it
};

/// An object's context menu, or the error that kept it from being built.
struct ShellMenu {
    ShellStatus status;
    std::vector<ShellCommand> commands;
};

/// The desktop's namespace of folders and places: listing, ordering and the commands the desktop
/// offers for an object. Every call may come from any thread.
class ShellNamespace {
public:
    virtual ~ShellNamespace() = default;

    /// Where special folder `folderId` lives; nothing for a number this desktop has no folder
    /// for.
    virtual std::optional<std::string> SpecialFolderLocation(int folderId) = 0;
    /// The desktop's own folder: the user's desktop folder when it exists, else the home folder.
    virtual std::string DesktopLocation() = 0;
    /// Lists the objects of the folder at `location`; hidden objects are left out.
    virtual ShellListing EnumerateFolder(const std::string& location) = 0;
    /// Orders two objects of one folder as the file manager does (case-insensitive, numbers in
    /// numeric order): negative, 0 or positive.
    virtual int CompareEntries(const ShellEntry& first, const ShellEntry& second) = 0;
    /// The commands the desktop offers for `entry`: "Open", one "Open With <application>" per
    /// registered application of its content type, "Copy Location".
    virtual ShellMenu QueryContextMenu(const ShellEntry& entry) = 0;
    /// Carries out `command` (Open or OpenWith) for `entry`.
    virtual ShellStatus InvokeCommand(const ShellEntry& entry, const ShellCommand& command) = 0;
};

} // namespace kestrola::platform
