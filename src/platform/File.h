#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace kestrola::platform {

/// How a file is opened for one operation.
enum class FileMode {
    /// Read and write, created when missing (readable by its owner only), never truncated; no
    /// other opener may hold the file meanwhile (the open fails while another process has it).
    ReadWriteExclusive,
    /// Read only; waits while a writer holds the file, then shares it with other readers.
    ReadShared,
};

/// Why the last call failed.
enum class FileError {
    None,
    /// Another process holds the file; trying again a moment later may succeed.
    Busy,
    /// Anything else (missing folder, no permission, full disk, not a regular file, ...).
    Failed,
};

/// A read-only view of a whole file in memory, released with the object. Another program may
/// cut the file short while it is read: read it inside ReadGuarded.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* Data() const { return m_data; }
    std::uint64_t Size() const { return m_size; }

private:
    friend class File;
    const std::uint8_t* m_data = nullptr;
    std::uint64_t m_size = 0;
};

/// Runs `read(context)`, which reads a MappedFile; false when a page it touched no longer
/// belonged to the file (cut short meanwhile), `read` then having been abandoned where it was.
/// `read` must not own anything that needs releasing while it touches the mapping.
bool ReadGuarded(void (*read)(void* context), void* context);

/// A file opened for one operation and closed again before the operation returns. This is the
/// only way the program's own files (base, history, stores) are opened. Only regular files are
/// opened, and a symbolic link owned by another user is not followed for writing.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    /// Opens `path`; false on failure, with the reason in Error() and LastError(). An exclusive
    /// open always holds the file that is at `path` when it returns, even when another process
    /// replaced it meanwhile.
    bool Open(const std::string& path, FileMode mode);
    /// Opens `path` exclusively, waiting up to `patience` while another process holds it.
    bool OpenWaiting(const std::string& path, std::chrono::milliseconds patience);
    /// Creates a new, empty, exclusive file in the folder of `path` with the same permissions,
    /// for writing a replacement; its name goes to `tempPath`. The name marks it as ours
    /// (see RemoveStaleTemporaries).
    bool CreateTemporaryBeside(const std::string& path, std::string& tempPath);
    void Close();
    bool IsOpen() const { return m_handle >= 0; }

    /// Length of the file in bytes, or -1 on failure.
    std::int64_t Size();
    /// Reads up to `size` bytes at `offset`; `got` receives the count (short at the end).
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got);
    /// Reads the whole file into `bytes`, refusing one larger than `limit` bytes.
    bool ReadAll(std::string& bytes,
                 std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());
    /// Writes all `size` bytes at `offset`; false when fewer could be written.
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    /// Maps the whole file for reading; false when it cannot be mapped (empty files included).
    bool Map(MappedFile& mapped);
    /// Cuts or extends the file to `length` bytes.
    bool Truncate(std::uint64_t length);
    /// Pushes written data (and the length) to the device.
    bool Sync();
    /// The platform's error text for the last failed call.
    const std::string& Error() const { return m_error; }
    FileError LastError() const { return m_lastError; }

    /// Atomically puts `from` in the place of `to` and makes the change durable (the folder is
    /// synced too).
    static bool Replace(const std::string& from, const std::string& to, std::string& error);
    /// Removes a file; missing files are not an error.
    static void Remove(const std::string& path);
    /// Where a replacement of `path` must go: the target of a symbolic link, else `path`.
    static std::string WriteTarget(const std::string& path);
    /// Creates `folder` and its missing parents, readable by the owner only; true when it
    /// exists afterwards. Existing folders keep their mode.
    static bool MakePrivateFolder(const std::string& folder);
    /// Removes the temporaries that CreateTemporaryBeside made for `path` and that nobody
    /// holds any more (left by a process that died while replacing the file).
    static int RemoveStaleTemporaries(const std::string& path);

private:
    void Fail(const char* what, FileError error = FileError::Failed);
    bool OpenOnce(const std::string& path, FileMode mode, bool& replaced);

    std::intptr_t m_handle = -1;
    std::string m_error;
    FileError m_lastError = FileError::None;
};

} // namespace kestrola::platform
