#include "messaging/ComposeRules.h"

#include "base/StatusTexts.h"

namespace kestrola::core {

int UsedLength(std::string_view recipient, std::string_view composer) {
    return CharacterCount(recipient) + CharacterCount(composer);
}

std::string LengthIndicatorText(int usedLength) {
    return std::to_string(usedLength) + "/" + std::to_string(kLengthLimit);
}

int CheckSend(std::string_view recipient, std::string_view composer, bool anyTreeItemChecked) {
    if (UsedLength(recipient, composer) > kLengthLimit)
        return kTooManySymbols;
    if (recipient.empty() && !anyTreeItemChecked)
        return kEnterComputerName;
    if (composer.empty())
        return kEnterMessageText;
    return 0;
}

std::string QuoteForReply(std::string_view viewerText, int excludeDoubleReply) {
    std::string quoted;
    quoted.reserve(viewerText.size() + viewerText.size() / 8 + 4);
    std::size_t start = 0;
    while (start < viewerText.size()) {
        // A line ends after its LF; a LF that opens the text does not end a line.
        std::size_t lf = viewerText.find('\n', start == 0 ? 1 : start);
        const std::size_t end = lf == std::string_view::npos ? viewerText.size() : lf + 1;
        const std::string_view line = viewerText.substr(start, end - start);
        start = end;
        if (excludeDoubleReply == 1 && line.front() == '>')
            continue;
        if (excludeDoubleReply == 0 || excludeDoubleReply == 1)
            quoted += '>';
        quoted += line;
    }
    return quoted + "\r\n";
}

} // namespace kestrola::core
