#include "window/Attention.h"

namespace kestrola::core {

AttentionIcon Attention::RefreshAttention(std::int32_t newCount, int blinkTrayIcon) {
    if (newCount <= 0)
        return AttentionIcon::Normal;
    if (blinkTrayIcon != 1)
        return AttentionIcon::NewMessage;
    m_phase ^= 1;
    return m_phase == 1 ? AttentionIcon::NewMessage : AttentionIcon::Blink;
}

AttentionIcon Attention::NewState(std::int32_t newCount) {
    return newCount > 0 ? AttentionIcon::NewMessage : AttentionIcon::Normal;
}

} // namespace kestrola::core
