#include "store/BaseFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kestrola::core {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The reason a record header is refused, or empty when it is acceptable.
std::string CheckHeader(std::uint64_t available, std::uint32_t length, std::uint8_t state) {
    if (available < 4)
        return "length field cut short (" + std::to_string(available) + " of 4 bytes)";
    if (length < kMinRecordLength || length > kMaxRecordLength)
        return "record length " + std::to_string(length) + " outside 28..65536";
    if (available < 5)
        return "state byte missing";
    if (state > 1)
        return "state byte " + std::to_string(state) + " is neither 0 nor 1";
    const std::uint64_t body = length - kLengthExtra;
    if (available - 5 < body)
        return "body cut short (" + std::to_string(available - 5) + " of " + std::to_string(body) +
               " bytes)";
    if (available - 5 - body < kStampSize)
        return "stamp cut short (" + std::to_string(available - 5 - body) + " of 23 bytes)";
    return {};
}

} // namespace

bool ScanBase(platform::File& file, std::vector<std::uint32_t>& offsets, BaseScan& scan) {
    scan = BaseScan{};
    const std::int64_t size = file.Size();
    if (size < 0) {
        scan.reason = file.Error();
        return false;
    }
    scan.fileSize = static_cast<std::uint64_t>(size);
    const std::uint64_t end = scan.fileSize;
    constexpr std::uint64_t kLastOffset = std::numeric_limits<std::uint32_t>::max();

    // Small bases are read whole; large ones a block at a time.
    std::vector<std::uint8_t> block(
        static_cast<std::size_t>(std::min<std::uint64_t>(end, kBlockSize)));
    std::uint64_t blockStart = 0;
    std::uint64_t blockEnd = 0;
    std::uint64_t pos = 0;
    // Room for the most records the file can hold; pages never written cost no memory.
    offsets.reserve(offsets.size() + static_cast<std::size_t>(end / kRecordOverhead) + 1);
    while (pos < end) {
        // The 5 header bytes are all that is read of a record; its body and stamp only have
        // to fit inside the file.
        if (pos + 5 > blockEnd && blockEnd < end) {
            std::size_t got = 0;
            if (!file.ReadAt(pos, block.data(), block.size(), got)) {
                scan.reason = file.Error();
                return false;
            }
            blockStart = pos;
            blockEnd = pos + got;
        }
        std::uint8_t header[5] = {};
        const std::uint8_t* at = block.data() + (pos - blockStart);
        const bool whole = pos + 5 <= blockEnd;
        std::memcpy(header, at, whole ? 5 : static_cast<std::size_t>(blockEnd - pos));
        const std::uint32_t length = ReadU32(header);
        const std::uint8_t state = header[4];
        const std::uint64_t next = pos + length + 4;
        if (!whole || length < kMinRecordLength || length > kMaxRecordLength || state > 1 ||
            next > end || pos > kLastOffset) {
            scan.damaged = true;
            scan.damagedOffset = pos;
            // A short block means the file shrank under us; the header then counts as cut.
            scan.reason = CheckHeader(whole ? end - pos : blockEnd - pos, length, state);
            if (scan.reason.empty())
                scan.reason = "record beyond the 4 GiB an index can address";
            return false;
        }
        offsets.push_back(static_cast<std::uint32_t>(pos));
        scan.newCount += state == 0;
        scan.records++;
        if (next + kIgnoredTail >= end)
            break;
        pos = next;
    }
    return true;
}

RecordRead ReadRecordAt(platform::File& file, std::uint64_t offset, MessageRecord& r,
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
    reason = CheckHeader(available, length, header[4]);
    if (!reason.empty())
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
