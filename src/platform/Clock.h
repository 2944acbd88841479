#pragma once

namespace kestrola::platform {

/// A moment of local wall-clock time, as the stamps of the program show it.
struct LocalTime {
    int year = 0;
    int month = 0; ///< 1 to 12
    int day = 0;   ///< 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

/// Source of the local time; tests install a fixed one.
class Clock {
public:
    virtual ~Clock() = default;
    /// The local date and time now.
    virtual LocalTime Now() const = 0;
};

} // namespace kestrola::platform
