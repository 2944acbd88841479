#pragma once

#include "platform/File.h"
#include "store/MessageRecord.h"

#include <cstdint>
#include <string>
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

/// What indexing a base file found.
struct BaseScan {
    std::uint32_t records = 0;       ///< whole records found
    std::uint32_t newCount = 0;      ///< records whose state is 0
    bool damaged = false;            ///< indexing stopped at a damaged record
    std::uint64_t damagedOffset = 0; ///< where that record starts
    std::string reason;              ///< why it was refused, for people
    std::uint64_t fileSize = 0;
};

/// Indexes the records of an open base file, reading it in large blocks, and appends the
/// start of each whole record to `offsets`. False when the file could not be read at all or a
/// damaged record was met (then `damaged` is set and the records before it are appended).
bool ScanBase(platform::File& file, std::vector<std::uint32_t>& offsets, BaseScan& scan);

enum class RecordRead { Ok, Damaged, IoError };

/// Reads the record at `offset` into `r` and checks that it is whole and valid; a body longer
/// than the record's room is cut to it. `reason` says why a read was refused.
RecordRead ReadRecordAt(platform::File& file, std::uint64_t offset, MessageRecord& r,
                        std::string& reason);

/// The bytes of `r` as one stored record.
std::string EncodeRecord(const MessageRecord& r);

} // namespace kestrola::core
