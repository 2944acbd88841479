#pragma once

#include <string>

namespace kestrola::core {

/// The countdown of a notice that closes by itself: the seconds left and the button's text.
class NoticeCountdown {
public:
    /// A countdown of `seconds`; 0 or below means none.
    explicit NoticeCountdown(int seconds) : m_seconds(seconds) {}

    /// True when the notice counts down (and needs its one-second timer).
    bool Running() const { return m_running; }
    /// Starts the countdown when it has seconds; returns Running().
    bool Start() { return m_running = m_seconds > 0; }
    /// One second has passed; returns true when the notice closes now.
    bool Tick();
    /// The countdown was stopped (by OK).
    void Stop() { m_running = false; }

    int Seconds() const { return m_seconds; }
    /// The OK button's text while counting: "Closing after: %d sec".
    std::string Text() const { return CountdownText(m_seconds); }

    /// "Closing after: %d sec" with `seconds`.
    static std::string CountdownText(int seconds);

private:
    int m_seconds;
    bool m_running = false;
};

} // namespace kestrola::core
