#pragma once

#include "platform/ShellNamespace.h"

#include <string>

namespace kestrola::core {

/// The record of one shell tree item, owned by the item and freed with it.
struct ShellItemData {
    std::string parentFolder;   ///< where the folder that listed the item lives
    platform::ShellEntry entry; ///< the item as that folder listed it (its own location inside)
};

} // namespace kestrola::core
