#include "platform/netbios/AnnouncementSchedule.h"

#include <algorithm>

namespace kestrola::platform {

void AnnouncementSchedule::Start(Clock::time_point now) {
    m_running = true;
    m_interval = std::chrono::seconds{0};
    m_next = now;
    m_last = now - kAnswerGap;
}

std::chrono::seconds AnnouncementSchedule::Announce(Clock::time_point now) {
    if (m_interval < kLongest)
        m_interval += kStep;
    m_next = now + m_interval;
    m_last = now;
    return m_interval;
}

void AnnouncementSchedule::Requested(Clock::time_point now, Clock::duration delay,
                                     std::uint32_t requester) {
    if (!m_running)
        return;
    Clock::time_point answer = std::max<Clock::time_point>(now + delay, m_last + kAnswerGap);
    // A requester answered lately is answered again, but not before its gap has passed: a
    // browser that becomes master just after another program of its host asked still learns
    // of us, and a flood from one address stays one answer per gap.
    if (const auto it = m_requesters.find(requester); it != m_requesters.end()) {
        if (now < it->second)
            return; // its answer is still to come
        if (now < it->second + kRequesterGap)
            answer = std::max(answer, it->second + kRequesterGap);
        it->second = answer;
    } else {
        if (m_requesters.size() >= kMaxRequesters)
            std::erase_if(m_requesters,
                          [&](const auto& r) { return now - r.second >= kRequesterGap; });
        if (m_requesters.size() < kMaxRequesters)
            m_requesters[requester] = answer;
    }
    // One lost announcement must not leave us out of the lists for long.
    m_interval = std::min(m_interval, kAfterRequest);
    m_next = std::min(m_next, answer);
}

} // namespace kestrola::platform
