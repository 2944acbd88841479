#include "window/ViewerTexts.h"

#include "base/Product.h"
#include "base/StatusTexts.h"

namespace kestrola::core {

ShownFields ShownFieldsOf(const MessageRecord& decoded) {
    ShownFields fields;
    fields.readMark = decoded.state == 0 ? "N" : " ";
    fields.fromTo = decoded.from + std::string(LoadString(kFromToJoin)) + decoded.to;
    fields.time = decoded.dateText;
    fields.text = decoded.text;
    return fields;
}

std::string CountersText(std::uint32_t count, std::int32_t newCount) {
    return std::to_string(count) + "/" + std::to_string(newCount);
}

std::string PositionText(std::uint32_t current, bool unsaved) {
    return unsaved ? "-" : std::to_string(current);
}

std::string WindowTitle(std::int32_t newCount) {
    if (newCount == 0)
        return std::string(kApplicationName);
    return std::string(kApplicationName) + " - " + std::to_string(newCount) + " New";
}

std::string TrayTip(std::uint32_t count, std::int32_t newCount) {
    // The tip field holds 127 characters; this text never comes near that.
    return "Kestrola NET All:" + std::to_string(count) + "  New:" + std::to_string(newCount);
}

} // namespace kestrola::core
