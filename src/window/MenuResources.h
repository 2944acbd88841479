#pragma once

#include <string_view>
#include <vector>

namespace kestrola::core {

/// The viewer's "click" menu.
inline constexpr int kClickMenu = 251;

/// Commands of the "click" menu.
enum ClickMenuCommand : int {
    kGoToUrl = 32851,
    kOpenFile = 32852,
    kReplyTo = 32854,
    kSendNew = 32855,
    kCopy = 32858,
};

/// The tray icon's "tray" menu.
inline constexpr int kTrayMenuResource = 227;

/// Commands of the "tray" menu.
enum TrayMenuCommand : int {
    kTrayMenuRestore = 32800,
    kTrayMenuMinimize = 32801,
    kTrayMenuSendMessage = 32802,
    kTrayMenuExit = 32803,
    kTrayMenuAbout = 32847,
};

/// One entry of a pop-up menu; a separator has id 0 and no text. A tab in the text separates
/// the shortcut shown at the right; an ampersand marks the access key.
struct MenuItem {
    int id = 0;
    std::string_view text;
};

/// A menu resource: its name and the items of its first pop-up.
struct MenuResource {
    int id = 0;
    std::string_view name;
    std::vector<MenuItem> items;
};

/// The menu resource `id`, or nullptr when the program has none of that number.
const MenuResource* LoadMenuResource(int id);

} // namespace kestrola::core
