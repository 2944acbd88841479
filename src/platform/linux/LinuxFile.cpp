#include "platform/File.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrola::platform {

namespace {

// How often an exclusive open follows a file that another process keeps replacing.
constexpr int kReplacedTries = 100;

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The prefix of the temporaries made for `path`: ".name." followed by six characters.
std::string TemporaryPrefix(const std::string& path) {
    return "." + NameOf(path) + ".";
}

bool SyncFolder(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Where a guarded read goes back to when the file under its mapping was cut short.
thread_local sigjmp_buf* t_guard = nullptr;
struct sigaction g_previousBusHandler {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (t_guard != nullptr)
        siglongjmp(*t_guard, 1);
    // Not ours: whatever handled it before does now.
    if (g_previousBusHandler.sa_flags & SA_SIGINFO) {
        g_previousBusHandler.sa_sigaction(signal, info, context);
        return;
    }
    ::sigaction(SIGBUS, &g_previousBusHandler, nullptr);
    ::raise(SIGBUS);
}

void InstallBusHandler() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previousBusHandler);
}

} // namespace

MappedFile::~MappedFile() {
    if (m_data != nullptr)
        ::munmap(const_cast<std::uint8_t*>(m_data), static_cast<std::size_t>(m_size));
}

bool ReadGuarded(void (*read)(void* context), void* context) {
    InstallBusHandler();
    // Put back on every way out of this frame, an exception from `read` included.
    struct Restore {
        sigjmp_buf* outer = t_guard;
        ~Restore() { t_guard = outer; }
    } restore;
    sigjmp_buf guard;
    if (sigsetjmp(guard, 1) != 0)
        return false;
    t_guard = &guard;
    read(context);
    return true;
}

File::~File() {
    Close();
}

File::File(File&& other) noexcept
    : m_handle(other.m_handle), m_error(std::move(other.m_error)), m_lastError(other.m_lastError) {
    other.m_handle = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_error = std::move(other.m_error);
        m_lastError = other.m_lastError;
        other.m_handle = -1;
    }
    return *this;
}

void File::Fail(const char* what, FileError error) {
    m_error = std::string(what) + ": " + std::strerror(errno);
    m_lastError = error;
}

bool File::OpenOnce(const std::string& path, FileMode mode, bool& replaced) {
    replaced = false;
    const bool write = mode == FileMode::ReadWriteExclusive;
    if (write) {
        // A link planted by another user must not redirect what we write.
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
            link.st_uid != ::geteuid()) {
            errno = EPERM;
            Fail("open (symbolic link owned by another user)");
            return false;
        }
    }
    // Non-blocking only for the open itself: a FIFO named as a base must not hang us.
    const int flags = (write ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        Fail("open");
        return false;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        if (S_ISREG(opened.st_mode) == 0)
            errno = EINVAL;
        Fail("open (not a regular file)");
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Advisory locks stand in for the platform's share modes: a writer is alone with the file;
    // readers wait for a writer to finish.
    const int lock = write ? LOCK_EX | LOCK_NB : LOCK_SH;
    int rc;
    do {
        rc = ::flock(fd, lock);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        Fail("lock", errno == EWOULDBLOCK ? FileError::Busy : FileError::Failed);
        ::close(fd);
        return false;
    }
    if (write) {
        // The lock was taken after the open: a writer that replaced the file meanwhile left us
        // holding the old one, and what we wrote there would be lost.
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0 || now.st_dev != opened.st_dev ||
            now.st_ino != opened.st_ino) {
            ::close(fd);
            replaced = true;
            return false;
        }
    }
    m_handle = fd;
    m_lastError = FileError::None;
    return true;
}

bool File::Open(const std::string& path, FileMode mode) {
    Close();
    for (int tries = 0; tries < kReplacedTries; ++tries) {
        bool replaced = false;
        if (OpenOnce(path, mode, replaced))
            return true;
        if (!replaced)
            return false;
    }
    errno = EBUSY;
    Fail("open (the file keeps being replaced)", FileError::Busy);
    return false;
}

bool File::OpenWaiting(const std::string& path, std::chrono::milliseconds patience) {
    constexpr auto kPause = std::chrono::milliseconds(5);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!Open(path, FileMode::ReadWriteExclusive)) {
        if (m_lastError != FileError::Busy || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPause);
    }
    return true;
}

bool File::CreateTemporaryBeside(const std::string& path, std::string& tempPath) {
    Close();
    std::string pattern = FolderOf(path) + TemporaryPrefix(path) + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail("create temporary file");
        return false;
    }
    // Held for its whole life, so that RemoveStaleTemporaries can tell it from a leftover.
    ::flock(fd, LOCK_EX | LOCK_NB);
    struct stat original {};
    if (::stat(path.c_str(), &original) == 0)
        ::fchmod(fd, original.st_mode & 07777);
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

bool File::ReadAll(std::string& bytes, std::uint64_t limit) {
    const std::int64_t size = Size();
    if (size < 0)
        return false;
    if (static_cast<std::uint64_t>(size) > limit) {
        errno = EFBIG;
        Fail(("read (larger than " + std::to_string(limit) + " bytes)").c_str());
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        Fail("read");
        return false;
    }
    std::size_t got = 0;
    if (!ReadAt(0, bytes.data(), bytes.size(), got))
        return false;
    bytes.resize(got);
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

bool File::Map(MappedFile& mapped) {
    const std::int64_t size = Size();
    if (size <= 0)
        return false;
    // Filling the page table at once is quicker than page by page for a file that is read
    // whole, but not for a huge (sparse, say) file whose first bytes already say enough.
    constexpr std::int64_t kPopulateLimit = std::int64_t{1} << 30;
    const int populate = size <= kPopulateLimit ? MAP_POPULATE : 0;
    void* data = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE | populate,
                        Fd(m_handle), 0);
    if (data == MAP_FAILED) {
        Fail("map");
        return false;
    }
    if (mapped.m_data != nullptr)
        ::munmap(const_cast<std::uint8_t*>(mapped.m_data), static_cast<std::size_t>(mapped.m_size));
    mapped.m_data = static_cast<const std::uint8_t*>(data);
    mapped.m_size = static_cast<std::uint64_t>(size);
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
    if (::fdatasync(Fd(m_handle)) != 0) {
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
    // The new name is durable only once the folder is on the disk too.
    if (!SyncFolder(to)) {
        error = std::string("sync folder: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void File::Remove(const std::string& path) {
    ::unlink(path.c_str());
}

std::string File::WriteTarget(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    const auto resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

bool File::MakePrivateFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(folder, error))
        return true;
    const fs::path parent = fs::path(folder).parent_path();
    if (!parent.empty() && parent != fs::path(folder) && !MakePrivateFolder(parent.string()))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || fs::is_directory(folder, error);
}

int File::RemoveStaleTemporaries(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string prefix = TemporaryPrefix(path);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string stale = folder + name;
        const int fd = ::open(stale.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        // A replacement being written is held locked by its writer.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(stale.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

} // namespace kestrola::platform
