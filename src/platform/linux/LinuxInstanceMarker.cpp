#include "platform/linux/LinuxInstanceMarker.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrola::platform {

namespace {

// The marker is a lock held for the whole run, not a file opened for one operation, so it
// keeps its own descriptor instead of going through File.
class LockFileMarker : public InstanceMarker {
public:
    explicit LockFileMarker(int fd) : m_fd(fd) {}
    ~LockFileMarker() override { ::close(m_fd); }
    LockFileMarker(const LockFileMarker&) = delete;
    LockFileMarker& operator=(const LockFileMarker&) = delete;

private:
    int m_fd;
};

} // namespace

MarkerResult CreateLockFileMarker(const std::string& path,
                                  std::unique_ptr<InstanceMarker>& marker) {
    marker.reset();
    // O_CLOEXEC: a browser or sound player started by the program must not keep the lock
    // alive after the program has ended.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return MarkerResult::Failed;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? MarkerResult::AlreadyExists : MarkerResult::Failed;
    }
    marker = std::make_unique<LockFileMarker>(fd);
    return MarkerResult::Created;
}

} // namespace kestrola::platform
