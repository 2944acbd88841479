#include "store/NoticeCountdown.h"

namespace kestrola::core {

bool NoticeCountdown::Tick() {
    --m_seconds;
    if (m_seconds != 0)
        return false;
    m_running = false;
    return true;
}

std::string NoticeCountdown::CountdownText(int seconds) {
    return "Closing after: " + std::to_string(seconds) + " sec";
}

} // namespace kestrola::core
