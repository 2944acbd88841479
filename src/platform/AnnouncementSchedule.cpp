#include "platform/AnnouncementSchedule.h"

#include <algorithm>

namespace kestrola::platform {

void AnnouncementSchedule::Start(Clock::time_point now) {
    m_running = true;
    m_interval = std::chrono::seconds{0};
    m_next = now;
}

std::chrono::seconds AnnouncementSchedule::Announce(Clock::time_point now) {
    if (m_interval < kLongest)
        m_interval += kStep;
    m_next = now + m_interval;
    return m_interval;
}

void AnnouncementSchedule::Requested(Clock::time_point now, Clock::duration delay) {
    if (!m_running)
        return;
    // One lost announcement must not leave us out of the lists for long.
    m_interval = std::min(m_interval, kAfterRequest);
    m_next = std::min(m_next, now + delay);
}

} // namespace kestrola::platform
