#include "platform/linux/LinuxQuitRequests.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace kestrola::platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
static_assert(std::size(kSignals) == LinuxQuitRequests::kSignalCount);

// Written by the signal handler, so only what is async-signal-safe touches it.
std::atomic<int> g_writeEnd{-1};

void OnSignal(int number) {
    const int saved = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

LinuxQuitRequests::LinuxQuitRequests() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_read = ends[0];
    m_write = ends[1];
    g_writeEnd.store(m_write);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &m_previous[i]);
}

LinuxQuitRequests::~LinuxQuitRequests() {
    if (m_read < 0)
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &m_previous[i], nullptr);
    g_writeEnd.store(-1);
    ::close(m_read);
    ::close(m_write);
}

int LinuxQuitRequests::Take() {
    int last = 0;
    unsigned char byte = 0;
    while (m_read >= 0 && ::read(m_read, &byte, 1) == 1)
        last = byte;
    return last;
}

} // namespace kestrola::platform
