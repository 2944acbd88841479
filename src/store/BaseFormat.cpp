#include "store/BaseFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace kestrola::core {

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

namespace {

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Why a record is refused: nothing, damage, or the end of the file cutting it short while
// what is there of it looks like a record (the trace of an append that never finished).
enum class Refusal { None, Damaged, CutShort };

Refusal CheckHeader(std::uint64_t available, std::uint32_t length, std::uint8_t state,
                    std::string& reason) {
    if (available < 4) {
        reason = "length field cut short (" + std::to_string(available) + " of 4 bytes)";
        return Refusal::CutShort;
    }
    if (length < kMinRecordLength || length > kMaxRecordLength) {
        reason = "record length " + std::to_string(length) + " outside 28..65536";
        return Refusal::Damaged;
    }
    if (available < 5) {
        reason = "state byte missing";
        return Refusal::CutShort;
    }
    if (state > 1) {
        reason = "state byte " + std::to_string(state) + " is neither 0 nor 1";
        return Refusal::Damaged;
    }
    const std::uint64_t body = length - kLengthExtra;
    if (available - 5 < body) {
        reason = "body cut short (" + std::to_string(available - 5) + " of " +
                 std::to_string(body) + " bytes)";
        return Refusal::CutShort;
    }
    if (available - 5 - body < kStampSize) {
        reason = "stamp cut short (" + std::to_string(available - 5 - body) + " of 23 bytes)";
        return Refusal::CutShort;
    }
    reason.clear();
    return Refusal::None;
}

} // namespace

bool MemoryBytes::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) {
    got = 0;
    if (offset < m_bytes.size()) {
        got = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_bytes.size() - offset));
        std::memcpy(data, m_bytes.data() + offset, got);
    }
    return true;
}

namespace {

// Indexes the records of `data` (the whole file, `end` bytes) from `from` on.
bool ScanSpan(const std::uint8_t* data, std::uint64_t end, std::vector<std::uint32_t>& offsets,
              BaseScan& scan, std::uint64_t from) {
    constexpr std::uint64_t kLastOffset = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t pos = from;
    while (pos < end) {
        // The 5 header bytes are all that is read of a record; its body and stamp only have
        // to fit inside the file.
        std::uint8_t header[5] = {};
        const bool whole = pos + 5 <= end;
        std::memcpy(header, data + pos, whole ? 5 : static_cast<std::size_t>(end - pos));
        const std::uint32_t length = ReadU32(header);
        const std::uint8_t state = header[4];
        const std::uint64_t next = pos + length + 4;
        if (!whole || length < kMinRecordLength || length > kMaxRecordLength || state > 1 ||
            next > end || pos > kLastOffset) {
            const Refusal refusal = CheckHeader(end - pos, length, state, scan.reason);
            if (refusal == Refusal::CutShort && pos <= kLastOffset) {
                scan.tailLength = end - pos;
                return true;
            }
            scan.damaged = true;
            scan.damagedOffset = pos;
            if (refusal == Refusal::None || pos > kLastOffset)
                scan.reason = "record beyond the 4 GiB an index can address";
            return false;
        }
        offsets.push_back(static_cast<std::uint32_t>(pos));
        scan.newCount += state == 0;
        scan.records++;
        scan.dataEnd = next;
        if (next + kIgnoredTail >= end) {
            scan.tailLength = end - next;
            break;
        }
        pos = next;
    }
    return true;
}

// Prepares `scan` and `offsets` for indexing `size` bytes from `from`.
void BeginScan(std::uint64_t size, std::vector<std::uint32_t>& offsets, BaseScan& scan,
               std::uint64_t from) {
    scan = BaseScan{};
    scan.fileSize = size;
    scan.dataEnd = from;
    // Room for the records of a typical base at once; a larger one grows as it goes.
    constexpr std::uint64_t kReservedBytes = std::uint64_t{64} << 20;
    if (from < size)
        offsets.reserve(
            offsets.size() +
            static_cast<std::size_t>(std::min(size - from, kReservedBytes) / kRecordOverhead));
}

bool ScanGuarded(const std::uint8_t* data, std::uint64_t size, std::vector<std::uint32_t>& offsets,
                 BaseScan& scan, std::uint64_t from) {
    try {
        BeginScan(size, offsets, scan, from);
        return ScanSpan(data, size, offsets, scan, from);
    } catch (const std::bad_alloc&) {
        scan.damaged = true;
        scan.damagedOffset = scan.dataEnd;
        scan.reason = "not enough memory to index the file";
        return false;
    }
}

} // namespace

bool ScanBase(std::string_view bytes, std::vector<std::uint32_t>& offsets, BaseScan& scan,
              std::uint64_t from) {
    return ScanGuarded(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), offsets,
                       scan, from);
}

bool ScanBase(platform::File& file, std::vector<std::uint32_t>& offsets, BaseScan& scan,
              std::uint64_t from) {
    const std::int64_t size = file.Size();
    if (size < 0) {
        scan = BaseScan{};
        scan.reason = file.Error();
        return false;
    }
    platform::MappedFile mapped;
    if (static_cast<std::uint64_t>(size) <= from || !file.Map(mapped)) {
        // Nothing to index, or a file that cannot be mapped: read it.
        std::string bytes;
        if (static_cast<std::uint64_t>(size) > from && !file.ReadAll(bytes)) {
            scan = BaseScan{};
            scan.reason = file.Error();
            return false;
        }
        return ScanBase(std::string_view(bytes), offsets, scan, from);
    }
    // Indexing reads only the headers, in place; another program cutting the file meanwhile
    // turns the rest of the mapping into a fault, caught and reported as a failed read.
    struct Job {
        const platform::MappedFile& mapped;
        std::vector<std::uint32_t>& offsets;
        BaseScan& scan;
        std::uint64_t from;
        bool whole = false;
    } job{mapped, offsets, scan, from};
    const std::size_t before = offsets.size();
    const bool read = platform::ReadGuarded(
        [](void* context) {
            auto& j = *static_cast<Job*>(context);
            j.whole = ScanGuarded(j.mapped.Data(), j.mapped.Size(), j.offsets, j.scan, j.from);
        },
        &job);
    if (!read) {
        offsets.resize(before);
        scan = BaseScan{};
        scan.fileSize = mapped.Size();
        scan.reason = "the file was cut short while it was read";
        return false;
    }
    return job.whole;
}

RecordRead ReadRecordAt(BaseBytes& file, std::uint64_t offset, MessageRecord& r,
                        std::string& reason) {
    std::uint8_t header[5] = {};
    std::size_t got = 0;
    if (!file.ReadAt(offset, header, sizeof header, got)) {
        reason = file.Error();
        return RecordRead::IoError;
    }
    const std::uint32_t length = got >= 4 ? ReadU32(header) : 0;
    const std::int64_t size = file.Size();
    std::uint64_t available =
        size > 0 && static_cast<std::uint64_t>(size) > offset ? size - offset : 0;
    if (got < 5)
        available = std::min<std::uint64_t>(available, got);
    if (CheckHeader(available, length, header[4], reason) != Refusal::None)
        return RecordRead::Damaged;

    const std::uint32_t storedBody = length - kLengthExtra;
    const std::uint32_t kept = std::min<std::uint32_t>(storedBody, kBodyCapacity);
    r.body.fill(0);
    std::size_t gotBody = 0;
    std::size_t gotStamp = 0;
    if (!file.ReadAt(offset + 5, r.body.data(), kept, gotBody) ||
        !file.ReadAt(offset + 5 + storedBody, r.stamp.data(), kStampSize, gotStamp)) {
        reason = file.Error();
        return RecordRead::IoError;
    }
    if (gotBody != kept || gotStamp != kStampSize) {
        reason = "record cut short while reading";
        return RecordRead::Damaged;
    }
    r.state = header[4];
    r.bodyLength = kept;
    return RecordRead::Ok;
}

std::string EncodeRecord(const MessageRecord& r) {
    const std::uint32_t bodyLength = std::min<std::uint32_t>(r.bodyLength, kBodyCapacity);
    std::string bytes;
    bytes.reserve(bodyLength + kRecordOverhead);
    PutU32(bytes, bodyLength + kLengthExtra);
    bytes += static_cast<char>(r.state);
    bytes.append(reinterpret_cast<const char*>(r.body.data()), bodyLength);
    bytes.append(r.stamp.data(), kStampSize);
    return bytes;
}

} // namespace kestrola::core
