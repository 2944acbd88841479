#pragma once

#include <span>
#include <string_view>

namespace kestrola::core {

/// Numbers of the program's icons, bitmap and cursor.
enum IconResource : int {
    kNoticeIcon = 256,
    kAboutBitmap = 262,
    kNewIcon = 263,
    kReplyIcon = 264,
    kSendIcon = 265,
    kExpandIcon = 266,
    kPreviousIcon = 267,
    kScanIcon = 268,
    kNextIcon = 269,
    kMessageIcon = 270,
    kDeleteIcon = 271,
    kClearIcon = 272,
    kNewMessageIcon = 273,
    kBlinkIcon = 274,
    kNormalIcon = 275,
    kLinkCursor = 276,
    kGroupIcon = 277,
    kComputerIcon = 278,
    kUpgradeIcon = 279,
    kAboutIcon = 281,
};

/// The file name (without folder and extension) of image resource `id`, such as "263-new";
/// empty for a number the program does not have.
std::string_view ImageResourceName(int id);

/// Every image resource number, in ascending order.
std::span<const int> ImageResourceIds();

/// The hot spot of the link cursor, in pixels of its natural size.
inline constexpr int kLinkCursorHotX = 8;
inline constexpr int kLinkCursorHotY = 2;

} // namespace kestrola::core
