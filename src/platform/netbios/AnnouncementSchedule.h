#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>

namespace kestrola::platform {

/// When this computer announces itself, on the schedule Samba keeps: the first announcement at
/// once, then the interval grows by one minute after each announcement up to twelve minutes.
/// An AnnouncementRequest brings the interval back to at most three minutes and an
/// announcement after the given delay. However many requests arrive, at most one answer is
/// pending; it comes no sooner than `kAnswerGap` after our last announcement, and a requester
/// whose request we answered is answered again no sooner than `kRequesterGap` later. A flood of
/// requests from one address thus brings one announcement per ten seconds, and one from forged
/// addresses one per two seconds, while a newcomer looking for us is still answered at once.
/// Not thread-safe by itself.
class AnnouncementSchedule {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::seconds kStep{60};
    static constexpr std::chrono::seconds kLongest{720};
    static constexpr std::chrono::seconds kAfterRequest{180};
    /// Shortest time between our last announcement and one a request brings.
    static constexpr std::chrono::seconds kAnswerGap{2};
    /// Every host of a segment hears our announcements and keeps them for three minutes and
    /// more: the same requester asking again soon is answered, but only this much later (long
    /// enough to calm a flood, short enough for a browser that becomes master just after
    /// another program of its host asked).
    static constexpr std::chrono::seconds kRequesterGap{10};
    /// Requesters remembered; beyond them only the answer gap holds.
    static constexpr std::size_t kMaxRequesters = 256;

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
    /// An AnnouncementRequest from `requester` arrived: announce `delay` from `now`, or the
    /// answer gap after the last announcement when that is later, unless one is due sooner or
    /// the requester was answered within the requester gap.
    void Requested(Clock::time_point now, Clock::duration delay, std::uint32_t requester);
    /// Stops the schedule; nothing is due any more.
    void Stop() { m_running = false; }

private:
    bool m_running = false;
    Clock::time_point m_last{};                              ///< of our latest announcement
    std::map<std::uint32_t, Clock::time_point> m_requesters; ///< answered, and when asked
    std::chrono::seconds m_interval{0};
    Clock::time_point m_next{};
};

} // namespace kestrola::platform
