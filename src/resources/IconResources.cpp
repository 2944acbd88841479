#include "resources/IconResources.h"

#include <array>
#include <utility>

namespace kestrola::core {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 20> kImages = {{
    {kNoticeIcon, "256-notice"},
    {kAboutBitmap, "262-about-banner"},
    {kNewIcon, "263-new"},
    {kReplyIcon, "264-reply"},
    {kSendIcon, "265-send"},
    {kExpandIcon, "266-expand"},
    {kPreviousIcon, "267-previous"},
    {kScanIcon, "268-scan"},
    {kNextIcon, "269-next"},
    {kMessageIcon, "270-message"},
    {kDeleteIcon, "271-delete"},
    {kClearIcon, "272-clear"},
    {kNewMessageIcon, "273-tray-new"},
    {kBlinkIcon, "274-tray-blink"},
    {kNormalIcon, "275-tray-normal"},
    {kLinkCursor, "276-link-cursor"},
    {kGroupIcon, "277-group"},
    {kComputerIcon, "278-computer"},
    {kUpgradeIcon, "279-upgrade"},
    {kAboutIcon, "281-about"},
}};

constexpr std::array<int, kImages.size()> IdsOf() {
    std::array<int, kImages.size()> ids{};
    for (std::size_t i = 0; i < kImages.size(); ++i)
        ids[i] = kImages[i].first;
    return ids;
}

constexpr std::array<int, kImages.size()> kIds = IdsOf();

} // namespace

std::string_view ImageResourceName(int id) {
    for (const auto& [number, name] : kImages) {
        if (number == id)
            return name;
    }
    return {};
}

std::span<const int> ImageResourceIds() {
    return kIds;
}

} // namespace kestrola::core
