#include "store/MessageBase.h"

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "platform/File.h"
#include "store/BaseFormat.h"
#include "store/HistoryLog.h"
#include "store/Stamp.h"

#include <algorithm>
#include <limits>
#include <new>

namespace kestrola::core {

using platform::File;
using platform::FileMode;

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

// Copies [from, to) of `source` to the end of `target` (at `written`).
bool CopyRange(File& source, File& target, std::vector<char>& buffer, std::uint64_t from,
               std::uint64_t to, std::uint64_t& written) {
    while (from < to) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), to - from));
        std::size_t got = 0;
        if (!source.ReadAt(from, buffer.data(), want, got) || got != want)
            return false;
        if (!target.WriteAt(written, buffer.data(), got))
            return false;
        from += got;
        written += got;
    }
    return true;
}

} // namespace

MessageBase::MessageBase(std::string baseFile, std::string historyFile,
                         const platform::Clock& clock)
    : baseFileName(std::move(baseFile)), historyFileName(std::move(historyFile)), m_clock(clock) {}

MessageBase::~MessageBase() = default;

bool MessageBase::LoadIndex() {
    m_offsets.assign(1, 0);
    m_count = 0;
    m_newCount = 0;
    m_current = 0;
    m_dataEnd = 0;
    File file;
    if (!file.OpenWaiting(baseFileName, kPatience)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    // Held exclusively, so no delete of ours is writing a replacement now.
    File::RemoveStaleTemporaries(File::WriteTarget(baseFileName));
    BaseScan scan;
    const bool whole = ScanBase(file, m_offsets, scan);
    file.Close();
    m_count = scan.records;
    m_newCount = static_cast<std::int32_t>(scan.newCount);
    m_dataEnd = scan.dataEnd;
    if (!whole) {
        ShowSystemMessage(scan.damaged ? kReadErrorLength : kOpenWriteCreateFile);
        return false;
    }
    return true;
}

bool MessageBase::Write(File& file, const MessageRecord& r) {
    const std::int64_t size = file.Size();
    if (size < 0)
        return false;
    const auto end = static_cast<std::uint64_t>(size);
    // The new record goes right behind the last whole record. What lies behind that is indexed
    // when it is records written meanwhile (or missed by an index that could not be loaded),
    // cut off when it is a short tail or an append that never finished, and kept, with the
    // record going behind it, when it is damage.
    std::uint64_t at = end;
    if (end > m_dataEnd) {
        BaseScan scan;
        const std::size_t before = m_offsets.size();
        const bool whole = ScanBase(file, m_offsets, scan, m_dataEnd);
        if (!whole && !scan.damaged) {
            m_offsets.resize(before);
            return false;
        }
        m_count += scan.records;
        m_newCount += static_cast<std::int32_t>(scan.newCount);
        m_dataEnd = scan.dataEnd;
        if (whole)
            at = scan.dataEnd;
    }
    // The index holds 32-bit m_offsets; a base that large cannot take another record.
    if (at > std::numeric_limits<std::uint32_t>::max())
        return false;
    const std::string bytes = EncodeRecord(r);
    if (at < end && !file.Truncate(at))
        return false;
    if (!file.WriteAt(at, bytes.data(), bytes.size()) || !file.Sync()) {
        // Half a record would stop every later LoadIndex: cut it off again.
        file.Truncate(at);
        return false;
    }
    m_offsets.push_back(static_cast<std::uint32_t>(at));
    m_dataEnd = at + bytes.size();
    ++m_count;
    m_newCount += r.state == 0 ? 1 : 0;
    return true;
}

bool MessageBase::AppendRecord(MessageRecord& r) {
    r.stamp = MakeStamp(m_clock.Now());
    File file;
    if (!file.OpenWaiting(baseFileName, kPatience) || !Write(file, r)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    return true;
}

std::uint32_t MessageBase::Store(MessageRecord& r, std::uint64_t& ticket) {
    r.stamp = MakeStamp(m_clock.Now());
    ticket = ++m_lastTicket;
    m_pending.push_back({ticket, r});
    // The new record is written now only when everything before it could be.
    if (StorePending() != 0)
        return 0;
    return m_count;
}

std::size_t MessageBase::StorePending(std::chrono::milliseconds patience) {
    if (m_pending.empty())
        return 0;
    File file;
    bool failed = !file.OpenWaiting(baseFileName, patience);
    while (!failed && !m_pending.empty()) {
        if (!Write(file, m_pending.front().record)) {
            failed = true;
            break;
        }
        const std::uint64_t ticket = m_pending.front().ticket;
        m_pending.pop_front();
        if (onStored)
            onStored(ticket, m_count);
    }
    file.Close();
    if (!failed) {
        m_storeFailing = false;
    } else if (!m_storeFailing) {
        // Once per run of failures: the records wait, and the user has been told.
        m_storeFailing = true;
        ShowSystemMessage(kOpenWriteCreateFile);
    }
    return m_pending.size();
}

std::vector<MessageRecord> MessageBase::PendingRecords() const {
    std::vector<MessageRecord> records;
    for (const Waiting& waiting : m_pending)
        records.push_back(waiting.record);
    return records;
}

bool MessageBase::DropPending(std::uint64_t ticket) {
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [ticket](const Waiting& w) { return w.ticket == ticket; });
    if (it == m_pending.end())
        return false;
    m_pending.erase(it);
    return true;
}

int MessageBase::ReadRecord(std::uint32_t index, MessageRecord& r) {
    if (index == 0)
        return kReadIndexZero;
    if (index > m_count || index >= m_offsets.size()) {
        ShowSystemMessage(kReadErrorLength);
        return kReadFailed;
    }
    File file;
    if (!file.OpenWaiting(baseFileName, kPatience)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kReadFailed;
    }
    std::string reason;
    if (ReadRecordAt(file, m_offsets[index], r, reason) != RecordRead::Ok) {
        // Another program changed the file under the index.
        ShowSystemMessage(kReadErrorLength);
        return kReadFailed;
    }
    return kRead;
}

int MessageBase::MarkRead(std::uint32_t index) {
    if (index == 0)
        return kMarkIndexZero;
    if (index > m_count || index >= m_offsets.size()) {
        ShowSystemMessage(kReadErrorLength);
        return kMarkFailed;
    }
    File file;
    if (!file.OpenWaiting(baseFileName, kPatience)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kMarkFailed;
    }
    Range range{};
    std::uint8_t state = 0;
    // Never write into bytes that no longer hold a record's state.
    if (!RecordRange(file, index, range, state)) {
        ShowSystemMessage(kReadErrorLength);
        return kMarkFailed;
    }
    if (state != 0)
        return kAlreadyRead;
    const std::uint8_t read = 1;
    if (!file.WriteAt(range.from + 4, &read, 1)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kMarkFailed;
    }
    --m_newCount;
    return kMarkedRead;
}

bool MessageBase::NextRecord(MessageRecord& r) {
    if (m_current == m_count)
        return false;
    MessageRecord next;
    if (ReadRecord(m_current + 1, next) != kRead)
        return false;
    MarkRead(m_current);
    ++m_current;
    r = next;
    return true;
}

bool MessageBase::PreviousRecord(MessageRecord& r) {
    if (m_current < 2)
        return false;
    MessageRecord previous;
    if (ReadRecord(m_current - 1, previous) != kRead)
        return false;
    MarkRead(m_current);
    --m_current;
    r = previous;
    return true;
}

bool MessageBase::RecordRange(File& file, std::uint32_t index, Range& range, std::uint8_t& state) {
    std::uint8_t header[5] = {};
    std::size_t got = 0;
    const std::uint64_t start = m_offsets[index];
    const std::int64_t size = file.Size();
    if (size < 0 || !file.ReadAt(start, header, sizeof header, got) || got != sizeof header)
        return false;
    const std::uint32_t length = ReadU32(header);
    range = {start, start + length + 4};
    state = header[4];
    return length >= kMinRecordLength && length <= kMaxRecordLength && state <= 1 &&
           range.to <= static_cast<std::uint64_t>(size);
}

int MessageBase::RemoveRanges(File& base, const std::vector<Range>& ranges) {
    const std::int64_t size = base.Size();
    if (size < 0)
        return kDeleteFailed;
    const auto end = static_cast<std::uint64_t>(size);
    // Nothing but the removed records at the end of the file: cutting it is enough.
    if (ranges.size() == 1 && ranges[0].to == end)
        return base.Truncate(ranges[0].from) && base.Sync() ? kDeleted : kDeleteFailed;

    std::vector<char> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, end)) + 1);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    // The kept bytes go to a new file that replaces the base (the target of a link to it) only
    // once it is complete and on the disk, so a crash or a full disk never costs a message.
    const std::string target = File::WriteTarget(baseFileName);
    File replacement;
    std::string tempPath;
    if (!replacement.CreateTemporaryBeside(target, tempPath))
        return kDeleteFailed;
    std::uint64_t written = 0;
    std::uint64_t kept = 0;
    bool copied = true;
    for (const Range& range : ranges) {
        copied = copied && CopyRange(base, replacement, buffer, kept, range.from, written);
        kept = range.to;
    }
    copied =
        copied && CopyRange(base, replacement, buffer, kept, end, written) && replacement.Sync();
    replacement.Close();
    std::string error;
    if (!copied || !File::Replace(tempPath, target, error)) {
        File::Remove(tempPath);
        return kDeleteFailed;
    }
    return kDeleted;
}

void MessageBase::ForgetRanges(const std::vector<Range>& ranges) {
    // From the last range back, so that each shift only touches what lies behind its range;
    // deleting the newest record moves nothing.
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        const std::uint64_t length = range->to - range->from;
        const auto at = std::lower_bound(m_offsets.begin() + 1, m_offsets.end(), range->from);
        if (at == m_offsets.end() || *at != range->from)
            continue;
        for (auto behind = m_offsets.erase(at); behind != m_offsets.end(); ++behind)
            *behind -= static_cast<std::uint32_t>(length);
        if (range->to <= m_dataEnd)
            m_dataEnd -= length;
    }
    m_count = static_cast<std::uint32_t>(m_offsets.size() - 1);
}

int MessageBase::DeleteRecord(std::uint32_t index) {
    if (index == 0 || index > m_count || m_offsets.size() != m_count + 1u) {
        ShowSystemMessage(kReadErrorLength);
        return kDeleteFailed;
    }
    File base;
    if (!base.OpenWaiting(baseFileName, kPatience)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kDeleteFailed;
    }
    Range range{};
    std::uint8_t state = 0;
    if (!RecordRange(base, index, range, state) ||
        (index < m_count && range.to > m_offsets[index + 1])) {
        ShowSystemMessage(kReadErrorLength);
        return kDeleteFailed;
    }
    const int result = RemoveRanges(base, {range});
    if (result != kDeleted) {
        ShowSystemMessage(result == kNoMemory ? kNotEnoughMemory : kOpenWriteCreateFile);
        return result;
    }
    base.Close();

    const std::uint32_t before = m_count;
    ForgetRanges({range});
    m_newCount -= state == 0 ? 1 : 0;
    if (m_current > index || (m_current == index && index == before))
        --m_current;
    return kDeleted;
}

void MessageBase::ClearBase() {
    File file;
    bool cleared = file.OpenWaiting(baseFileName, kPatience);
    std::vector<Range> ranges;
    for (std::uint32_t i = 1; cleared && i <= m_count && i < m_offsets.size(); ++i) {
        Range range{};
        std::uint8_t state = 0;
        cleared = RecordRange(file, i, range, state);
        ranges.push_back(range);
    }
    cleared = cleared && (ranges.empty() || RemoveRanges(file, ranges) == kDeleted);
    file.Close();
    if (!cleared) {
        ShowSystemMessage(kCreateEmptyFile);
        return;
    }
    ForgetRanges(ranges);
    m_count = 0;
    m_newCount = 0;
    m_current = 0;
}

void MessageBase::WriteHistory(const MessageRecord& r) {
    File file;
    bool written = file.OpenWaiting(historyFileName, kPatience);
    if (written) {
        const std::string entry = FormatHistoryEntry(
            r.from, r.to, HistoryTimeText(m_clock.Now(), LoadString(kHistoryTimeSeparator)),
            r.text);
        const std::int64_t end = file.Size();
        written = end >= 0 &&
                  file.WriteAt(static_cast<std::uint64_t>(end), entry.data(), entry.size()) &&
                  file.Sync();
        // A half entry would run into the next one; the entry is abandoned whole.
        if (!written && end >= 0)
            file.Truncate(static_cast<std::uint64_t>(end));
    }
    if (written) {
        m_historyFailing = false;
    } else if (!m_historyFailing) {
        m_historyFailing = true;
        ShowSystemMessage(kOpenWriteCreateFile);
    }
}

} // namespace kestrola::core
