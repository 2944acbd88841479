#include "window/MenuResources.h"

namespace kestrola::core {

namespace {

const std::vector<MenuResource>& Menus() {
    static const std::vector<MenuResource> menus = {
        {kClickMenu,
         "click",
         {
             {kGoToUrl, "&Go to URL"},
             {kOpenFile, "&Open File"},
             {0, {}},
             {kReplyTo, "&Reply to"},
             {kSendNew, "&Send new"},
             {0, {}},
             {kCopy, "&Copy\tCtrl+C"},
         }},
        {kTrayMenuResource,
         "tray",
         {
             {kTrayMenuAbout, "&About Kestrola NET"},
             {0, {}},
             {kTrayMenuRestore, "&Restore"},
             {kTrayMenuMinimize, "&Minimize\tESC"},
             {0, {}},
             {kTrayMenuSendMessage, "&Send message"},
             {0, {}},
             {kTrayMenuExit, "&Exit"},
         }},
    };
    return menus;
}

} // namespace

const MenuResource* LoadMenuResource(int id) {
    for (const auto& menu : Menus()) {
        if (menu.id == id)
            return &menu;
    }
    return nullptr;
}

} // namespace kestrola::core
