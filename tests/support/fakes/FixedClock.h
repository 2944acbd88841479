#pragma once

#include "platform/Clock.h"

namespace kestrola::platform::testing {

/// A clock that shows the time it was given until it is set again.
class FixedClock : public Clock {
public:
    explicit FixedClock(LocalTime time = {2005, 12, 6, 9, 5, 7}) : m_time(time) {}
    LocalTime Now() const override { return m_time; }
    void Set(LocalTime time) { m_time = time; }

private:
    LocalTime m_time;
};

} // namespace kestrola::platform::testing
