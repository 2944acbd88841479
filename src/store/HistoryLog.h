#pragma once

#include <string>
#include <string_view>

namespace kestrola::core {

/// One history-log entry, byte for byte: From, To and Date lines, an empty line, the text, a
/// line of 80 hyphens and an empty line, every line ended by CR LF.
std::string FormatHistoryEntry(std::string_view from, std::string_view to,
                               std::string_view timeText, std::string_view text);

} // namespace kestrola::core
