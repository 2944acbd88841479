#pragma once

#include <cstdint>

namespace kestrola::core {

/// The window and tray icons by resource number.
enum class AttentionIcon : int {
    NewMessage = 273,
    Blink = 274,
    Normal = 275,
};

/// Which icon the window and the tray show while new messages wait; called on every poll tick,
/// so that a blinking icon changes phase twice a second.
class Attention {
public:
    /// The icon of this tick: steady normal with nothing new; with new messages the new-message
    /// icon, alternating with the blink icon when `blinkTrayIcon` is 1.
    AttentionIcon RefreshAttention(std::int32_t newCount, int blinkTrayIcon);
    /// The icon that the counts alone call for (no blinking).
    static AttentionIcon NewState(std::int32_t newCount);

private:
    int m_phase = 0;
};

} // namespace kestrola::core
