#include "window/AboutInfo.h"

namespace kestrola::core {

std::string HelpFilePath(std::string_view programPath) {
    const std::size_t slash = programPath.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = programPath.rfind('.');
    // A dot that leads the name (a hidden file) does not start an extension.
    const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
    return std::string(programPath.substr(0, hasExtension ? dot : programPath.size())) + ".HLP";
}

} // namespace kestrola::core
