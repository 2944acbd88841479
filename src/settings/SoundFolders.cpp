#include "settings/SoundFolders.h"

#ifndef KESTROLA_INSTALLED_SOUND_DIR
#define KESTROLA_INSTALLED_SOUND_DIR ""
#endif

namespace kestrola::core {

std::vector<std::string> InstalledSoundFolders(std::string_view executablePath) {
    std::vector<std::string> folders;
    const auto slash = executablePath.rfind('/');
    if (slash != std::string_view::npos) {
        const std::string programFolder(executablePath.substr(0, slash));
        folders.push_back(programFolder + "/../share/kestrola-net/sounds");
    }
    const std::string configured = KESTROLA_INSTALLED_SOUND_DIR;
    if (!configured.empty() && (folders.empty() || folders.front() != configured))
        folders.push_back(configured);
    return folders;
}

} // namespace kestrola::core
