#pragma once

#include <chrono>
#include <cstdint>

namespace kestrola::platform {

/// When this computer announces itself, on the schedule Samba keeps: the first announcement at
/// once, then the interval grows by one minute after each announcement up to twelve minutes.
/// An AnnouncementRequest brings the interval back to at most three minutes and an
/// announcement after the given delay. Not thread-safe by itself.
class AnnouncementSchedule {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::seconds kStep{60};
    static constexpr std::chrono::seconds kLongest{720};
    static constexpr std::chrono::seconds kAfterRequest{180};

    /// Starts the schedule: the first announcement is due at `now`.
    void Start(Clock::time_point now);
    /// Whether the schedule runs.
    bool Running() const { return m_running; }
    /// When the next announcement is due (meaningless unless running).
    Clock::time_point Next() const { return m_next; }
    /// Whether an announcement is due at `now`.
    bool Due(Clock::time_point now) const { return m_running && now >= m_next; }
    /// Takes the announcement due now: returns the periodicity it announces (the time until the
    /// next one) and schedules that next one.
    std::chrono::seconds Announce(Clock::time_point now);
    /// An AnnouncementRequest arrived: announce `delay` from `now` unless one is due sooner.
    void Requested(Clock::time_point now, Clock::duration delay);
    /// Stops the schedule; nothing is due any more.
    void Stop() { m_running = false; }

private:
    bool m_running = false;
    std::chrono::seconds m_interval{0};
    Clock::time_point m_next{};
};

} // namespace kestrola::platform
