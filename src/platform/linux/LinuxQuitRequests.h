#pragma once

#include "platform/QuitRequests.h"

#include <csignal>

namespace kestrola::platform {

/// Quit requests from SIGTERM, SIGINT and SIGHUP: the handler writes the signal's number into a
/// pipe whose read end the event loop watches. One per process; the previous handlers come
/// back when it is destroyed.
class LinuxQuitRequests : public QuitRequests {
public:
    static constexpr int kSignalCount = 3;

    LinuxQuitRequests();
    ~LinuxQuitRequests() override;
    LinuxQuitRequests(const LinuxQuitRequests&) = delete;
    LinuxQuitRequests& operator=(const LinuxQuitRequests&) = delete;

    int Descriptor() const override { return m_read; }
    int Take() override;

private:
    int m_read = -1;
    int m_write = -1;
    struct sigaction m_previous[kSignalCount] {};
};

} // namespace kestrola::platform
