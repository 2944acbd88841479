#pragma once

#include "platform/File.h"
#include "store/MessageRecord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

// One record of the base file, little-endian, no file header:
//   u32 length L (= bodyLength + 24), u8 state, body, 23-byte stamp
// so a record takes L + 4 bytes.
constexpr std::uint32_t kMinRecordLength = 28;
constexpr std::uint32_t kMaxRecordLength = 65536;
/// Bytes of a record besides its body.
constexpr std::uint32_t kRecordOverhead = 28;
/// How many bytes the length field counts besides the body.
constexpr std::uint32_t kLengthExtra = 24;
/// Trailing bytes behind the last record that indexing ignores without a word.
constexpr std::uint32_t kIgnoredTail = 24;

/// The little-endian 32-bit number at `p` (a record's length field).
std::uint32_t ReadU32(const std::uint8_t* p);

/// What indexing a base file found.
struct BaseScan {
    std::uint32_t records = 0;       ///< whole records found
    std::uint32_t newCount = 0;      ///< records whose state is 0
    bool damaged = false;            ///< indexing stopped at a damaged record
    std::uint64_t damagedOffset = 0; ///< where that record starts
    std::string reason;              ///< why it was refused, for people
    std::uint64_t fileSize = 0;
    /// Where the last whole record ends: the place of the next record unless damage stopped
    /// indexing.
    std::uint64_t dataEnd = 0;
    /// Bytes behind dataEnd that indexing passed over without a word: a tail of up to 24 bytes,
    /// or a record that the end of the file cuts short (an append that never finished).
    std::uint64_t tailLength = 0;
};

/// The bytes of a base file as indexing and reading see them: the open file itself, or a
/// snapshot of it taken while the file was held.
class BaseBytes {
public:
    virtual ~BaseBytes() = default;
    /// Length in bytes, or -1 on failure.
    virtual std::int64_t Size() = 0;
    /// Reads up to `size` bytes at `offset`; `got` receives the count (short at the end).
    virtual bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) = 0;
    virtual std::string Error() const = 0;
};

/// An open file as BaseBytes.
class FileBytes : public BaseBytes {
public:
    explicit FileBytes(platform::File& file) : m_file(file) {}
    std::int64_t Size() override { return m_file.Size(); }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) override {
        return m_file.ReadAt(offset, data, size, got);
    }
    std::string Error() const override { return m_file.Error(); }

private:
    platform::File& m_file;
};

/// Bytes in memory as BaseBytes.
class MemoryBytes : public BaseBytes {
public:
    explicit MemoryBytes(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Size() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) override;
    std::string Error() const override { return {}; }

private:
    std::string_view m_bytes;
};

/// Indexes the records from offset `from` (the start of a record) to the end and appends the
/// start of each whole record to `offsets`. False when the bytes could not be read at all (the
/// file was cut short during the scan, say) or a damaged record was met (then `damaged` is set
/// and the records before it are appended).
bool ScanBase(platform::File& file, std::vector<std::uint32_t>& offsets, BaseScan& scan,
              std::uint64_t from = 0);
/// The same over a snapshot of a base file.
bool ScanBase(std::string_view bytes, std::vector<std::uint32_t>& offsets, BaseScan& scan,
              std::uint64_t from = 0);

enum class RecordRead { Ok, Damaged, IoError };

/// Reads the record at `offset` into `r` and checks that it is whole and valid; a body longer
/// than the record's room is cut to it. `reason` says why a read was refused.
RecordRead ReadRecordAt(BaseBytes& bytes, std::uint64_t offset, MessageRecord& r,
                        std::string& reason);
inline RecordRead ReadRecordAt(platform::File& file, std::uint64_t offset, MessageRecord& r,
                               std::string& reason) {
    FileBytes bytes(file);
    return ReadRecordAt(bytes, offset, r, reason);
}

/// The bytes of `r` as one stored record.
std::string EncodeRecord(const MessageRecord& r);

} // namespace kestrola::core
