#include "store/Stamp.h"

#include <algorithm>
#include <charconv>

namespace kestrola::core {

std::string FormatTwoDigits(int n) {
    std::string text = std::to_string(n);
    if (n >= 0 && n < 10)
        text.insert(text.begin(), '0');
    return text;
}

namespace {

std::string TimePart(const platform::LocalTime& t) {
    return FormatTwoDigits(t.hour) + ":" + FormatTwoDigits(t.minute) + ":" +
           FormatTwoDigits(t.second);
}

std::string DatePart(const platform::LocalTime& t) {
    return FormatTwoDigits(t.day) + "/" + FormatTwoDigits(t.month) + "/" + std::to_string(t.year);
}

} // namespace

std::array<char, 23> MakeStamp(const platform::LocalTime& t) {
    const std::string text = TimePart(t) + " , " + DatePart(t);
    std::array<char, 23> stamp{};
    // 21 characters for a four-digit year; never more than leaves the two closing NULs.
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 21), stamp.begin());
    return stamp;
}

std::string HistoryTimeText(const platform::LocalTime& t, std::string_view separator) {
    return TimePart(t) + std::string(separator) + DatePart(t);
}

std::optional<platform::LocalTime> ParseStamp(std::string_view text) {
    // hh:mm:ss , dd/mm/yyyy
    if (text.size() < 18 || text.substr(8, 3) != " , ")
        return std::nullopt;
    auto number = [&](std::size_t pos, std::size_t len, int& out) {
        const char* first = text.data() + pos;
        const auto [end, ec] = std::from_chars(first, first + len, out);
        return ec == std::errc() && end == first + len;
    };
    platform::LocalTime t;
    if (!number(0, 2, t.hour) || text[2] != ':' || !number(3, 2, t.minute) || text[5] != ':' ||
        !number(6, 2, t.second) || !number(11, 2, t.day) || text[13] != '/' ||
        !number(14, 2, t.month) || text[16] != '/' || !number(17, text.size() - 17, t.year))
        return std::nullopt;
    return t;
}

} // namespace kestrola::core
