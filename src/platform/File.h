#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrola::platform {

/// How a file is opened for one operation.
enum class FileMode {
    /// Read and write, created when missing, never truncated; no other opener may hold the
    /// file meanwhile (the open fails while another process has it).
    ReadWriteExclusive,
    /// Read only; waits while a writer holds the file, then shares it with other readers.
    ReadShared,
};

/// A file opened for one operation and closed again before the operation returns. This is the
/// only way the program's own files (base, history, stores) are opened.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    /// Opens `path`; false on failure, with the reason in Error().
    bool Open(const std::string& path, FileMode mode);
    /// Creates a new, empty, exclusive file in the folder of `path` with the same permissions,
    /// for writing a replacement; its name goes to `tempPath`.
    bool CreateTemporaryBeside(const std::string& path, std::string& tempPath);
    void Close();
    bool IsOpen() const { return m_handle >= 0; }

    /// Length of the file in bytes, or -1 on failure.
    std::int64_t Size();
    /// Reads up to `size` bytes at `offset`; `got` receives the count (short at the end).
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got);
    /// Writes all `size` bytes at `offset`; false when fewer could be written.
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    /// Cuts or extends the file to `length` bytes.
    bool Truncate(std::uint64_t length);
    /// Pushes written data to the device.
    bool Sync();
    /// The platform's error text for the last failed call.
    const std::string& Error() const { return m_error; }

    /// Atomically puts `from` in the place of `to`.
    static bool Replace(const std::string& from, const std::string& to, std::string& error);
    /// Removes a file; missing files are not an error.
    static void Remove(const std::string& path);

private:
    void Fail(const char* what);

    std::intptr_t m_handle = -1;
    std::string m_error;
};

} // namespace kestrola::platform
