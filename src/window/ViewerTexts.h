#pragma once

#include "store/MessageRecord.h"

#include <cstdint>
#include <string>

namespace kestrola::core {

/// What the viewer shows of one decoded record.
struct ShownFields {
    std::string readMark; ///< "N" for a new record, " " for a read one
    std::string fromTo;   ///< sender, " to ", recipient
    std::string time;     ///< the stored date-time text
    std::string text;
};

/// The display fields of a record whose texts were decoded.
ShownFields ShownFieldsOf(const MessageRecord& decoded);
/// "count/newCount", as the counter label shows it.
std::string CountersText(std::uint32_t count, std::int32_t newCount);
/// The position label: the 1-based number of the shown record, 0 for none, or "-" for a
/// message on display that still waits to be written to the base.
std::string PositionText(std::uint32_t current, bool unsaved = false);
/// "Kestrola NET - n New", or "Kestrola NET" when nothing is new.
std::string WindowTitle(std::int32_t newCount);
/// The tray tip: "Kestrola NET All:count  New:newCount".
std::string TrayTip(std::uint32_t count, std::int32_t newCount);

} // namespace kestrola::core
