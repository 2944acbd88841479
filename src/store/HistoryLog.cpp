#include "store/HistoryLog.h"

namespace kestrola::core {

std::string FormatHistoryEntry(std::string_view from, std::string_view to,
                               std::string_view timeText, std::string_view text) {
    constexpr std::string_view kEnd = "\r\n";
    std::string entry;
    entry.reserve(from.size() + to.size() + timeText.size() + text.size() + 120);
    entry.append("From: ").append(from).append(kEnd);
    entry.append("To:   ").append(to).append(kEnd);
    entry.append("Date: ").append(timeText).append(kEnd);
    entry.append(kEnd);
    entry.append(text).append(kEnd);
    entry.append(80, '-').append(kEnd);
    entry.append(kEnd);
    return entry;
}

} // namespace kestrola::core
