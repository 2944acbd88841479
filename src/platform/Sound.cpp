#include "platform/Sound.h"

namespace kestrola::platform {

std::string ResolveSoundFile(const std::string& name, const std::vector<std::string>& soundFolders,
                             const std::function<bool(const std::string&)>& exists) {
    if (name.empty() || name.front() == '/' || exists(name))
        return name;
    for (const std::string& folder : soundFolders) {
        if (folder.empty())
            continue;
        std::string candidate = folder.back() == '/' ? folder + name : folder + "/" + name;
        if (exists(candidate))
            return candidate;
    }
    return name;
}

} // namespace kestrola::platform
