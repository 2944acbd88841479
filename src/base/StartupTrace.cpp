#include "base/StartupTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kestrola::core {

void TraceStartup(const char* step) {
    using Clock = std::chrono::steady_clock;
    static const bool enabled = std::getenv("KESTROLA_TRACE_STARTUP") != nullptr;
    if (!enabled)
        return;
    static const Clock::time_point first = Clock::now();
    static Clock::time_point previous = first;
    const Clock::time_point now = Clock::now();
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    std::fprintf(stderr, "startup: %8.2f ms %8.2f ms  %s\n", ms(now - previous), ms(now - first),
                 step);
    previous = now;
}

} // namespace kestrola::core
