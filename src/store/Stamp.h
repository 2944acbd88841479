#pragma once

#include "platform/Clock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kestrola::core {

/// Decimal text of n with a leading "0" below 10 (7 → "07", 12 → "12", 2005 → "2005").
std::string FormatTwoDigits(int n);

/// The 23-byte stamp of a stored record: "hh:mm:ss , dd/mm/yyyy" and two NUL bytes.
std::array<char, 23> MakeStamp(const platform::LocalTime& t);

/// The time text of a history entry: "hh:mm:ss", `separator`, "dd/mm/yyyy".
std::string HistoryTimeText(const platform::LocalTime& t, std::string_view separator);

/// Reads the time back from a stamp's text; nothing when it is not in the stamp layout.
std::optional<platform::LocalTime> ParseStamp(std::string_view text);

} // namespace kestrola::core
