#include "platform/File.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrola::platform {

namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

} // namespace

File::~File() {
    Close();
}

File::File(File&& other) noexcept : m_handle(other.m_handle), m_error(std::move(other.m_error)) {
    other.m_handle = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_error = std::move(other.m_error);
        other.m_handle = -1;
    }
    return *this;
}

void File::Fail(const char* what) {
    m_error = std::string(what) + ": " + std::strerror(errno);
}

bool File::Open(const std::string& path, FileMode mode) {
    Close();
    const bool write = mode == FileMode::ReadWriteExclusive;
    const int fd =
        ::open(path.c_str(), write ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail("open");
        return false;
    }
    // Advisory locks stand in for the platform's share modes: a writer is alone with the file;
    // readers wait for a writer to finish.
    const int lock = write ? LOCK_EX | LOCK_NB : LOCK_SH;
    int rc;
    do {
        rc = ::flock(fd, lock);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        Fail("lock");
        ::close(fd);
        return false;
    }
    m_handle = fd;
    return true;
}

bool File::CreateTemporaryBeside(const std::string& path, std::string& tempPath) {
    Close();
    std::string pattern = FolderOf(path);
    const auto slash = path.rfind('/');
    pattern += "." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail("create temporary file");
        return false;
    }
    struct stat original {};
    if (::stat(path.c_str(), &original) == 0)
        ::fchmod(fd, original.st_mode & 07777);
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_handle = fd;
    tempPath = pattern;
    return true;
}

void File::Close() {
    if (m_handle >= 0) {
        ::close(Fd(m_handle));
        m_handle = -1;
    }
}

std::int64_t File::Size() {
    struct stat st {};
    if (::fstat(Fd(m_handle), &st) != 0) {
        Fail("stat");
        return -1;
    }
    return st.st_size;
}

bool File::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) {
    got = 0;
    auto* bytes = static_cast<char*>(data);
    while (got < size) {
        const ssize_t n =
            ::pread(Fd(m_handle), bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Fail("read");
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    std::size_t done = 0;
    const auto* bytes = static_cast<const char*>(data);
    while (done < size) {
        const ssize_t n =
            ::pwrite(Fd(m_handle), bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            Fail("write");
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Truncate(std::uint64_t length) {
    if (::ftruncate(Fd(m_handle), static_cast<off_t>(length)) != 0) {
        Fail("truncate");
        return false;
    }
    return true;
}

bool File::Sync() {
    if (::fsync(Fd(m_handle)) != 0) {
        Fail("sync");
        return false;
    }
    return true;
}

bool File::Replace(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = std::string("rename: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void File::Remove(const std::string& path) {
    ::unlink(path.c_str());
}

} // namespace kestrola::platform
