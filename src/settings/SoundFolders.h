#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

/// Where the installed default sounds are looked for after the working directory: the share
/// folder beside the program's own folder ("<prefix>/bin" → "<prefix>/share/kestrola-net/
/// sounds"), then the one the build was configured to install into.
std::vector<std::string> InstalledSoundFolders(std::string_view executablePath);

} // namespace kestrola::core
