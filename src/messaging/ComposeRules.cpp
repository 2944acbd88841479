#include "messaging/ComposeRules.h"

#include "messaging/StatusTexts.h"

namespace kestrola::core {

int CharacterCount(std::string_view text) {
    int count = 0;
    for (const char c : text) {
        // Count lead bytes only; continuation bytes 10xxxxxx belong to the character before.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

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
