#include "platform/BrowserCommand.h"

namespace kestrola::platform {

int ComposeBrowserCommand(std::string_view program, std::string_view url, std::string& command) {
    // A longer line is refused rather than cut: a cut URL opens the wrong page.
    if (program.size() + 1 + url.size() + 1 > kCommandBufferSize)
        return 8;
    command.assign(program);
    command += ' ';
    command += url;
    return 0;
}

} // namespace kestrola::platform
