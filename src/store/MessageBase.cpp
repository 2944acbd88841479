#include "store/MessageBase.h"

#include "messaging/Reporting.h"
#include "messaging/StatusTexts.h"
#include "platform/File.h"
#include "store/BaseFormat.h"
#include "store/HistoryLog.h"
#include "store/Stamp.h"

#include <chrono>
#include <limits>
#include <new>
#include <thread>

namespace kestrola::core {

using platform::File;
using platform::FileMode;

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

constexpr int kLockTries = 50;
constexpr auto kLockPause = std::chrono::milliseconds(5);

bool OpenBase(File& file, const std::string& path) {
    // A reader such as `kestrola-cli base list` holds the file for one read only: wait a moment
    // for it rather than lose the record being stored.
    for (int tries = 1;; ++tries) {
        if (file.Open(path, FileMode::ReadWriteExclusive))
            return true;
        if (tries == kLockTries || file.Error().rfind("lock", 0) != 0)
            return false;
        std::this_thread::sleep_for(kLockPause);
    }
}

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
    offsets.assign(1, 0);
    count = 0;
    newCount = 0;
    current = 0;
    File file;
    if (!OpenBase(file, baseFileName)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    BaseScan scan;
    const bool whole = ScanBase(file, offsets, scan);
    file.Close();
    count = scan.records;
    newCount = static_cast<std::int32_t>(scan.newCount);
    if (!whole) {
        ShowSystemMessage(scan.damaged ? kReadErrorLength : kOpenWriteCreateFile);
        return false;
    }
    return true;
}

bool MessageBase::AppendRecord(MessageRecord& r) {
    r.stamp = MakeStamp(m_clock.Now());
    File file;
    if (!OpenBase(file, baseFileName)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    const std::int64_t end = file.Size();
    const std::string bytes = EncodeRecord(r);
    // The index holds 32-bit offsets; a base that large cannot take another record.
    if (end < 0 || static_cast<std::uint64_t>(end) > std::numeric_limits<std::uint32_t>::max()) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    if (!file.WriteAt(static_cast<std::uint64_t>(end), bytes.data(), bytes.size())) {
        // Half a record would stop every later LoadIndex: cut it off again.
        file.Truncate(static_cast<std::uint64_t>(end));
        ShowSystemMessage(kOpenWriteCreateFile);
        return false;
    }
    offsets.push_back(static_cast<std::uint32_t>(end));
    return true;
}

int MessageBase::ReadRecord(std::uint32_t index, MessageRecord& r) {
    if (index == 0)
        return kReadIndexZero;
    if (index > count || index >= offsets.size()) {
        ShowSystemMessage(kReadErrorLength);
        return kReadFailed;
    }
    File file;
    if (!OpenBase(file, baseFileName)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kReadFailed;
    }
    std::string reason;
    if (ReadRecordAt(file, offsets[index], r, reason) != RecordRead::Ok) {
        // Another program changed the file under the index.
        ShowSystemMessage(kReadErrorLength);
        return kReadFailed;
    }
    return kRead;
}

int MessageBase::MarkRead(std::uint32_t index) {
    if (index == 0)
        return kMarkIndexZero;
    if (index > count || index >= offsets.size()) {
        ShowSystemMessage(kReadErrorLength);
        return kMarkFailed;
    }
    File file;
    if (!OpenBase(file, baseFileName)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kMarkFailed;
    }
    std::uint8_t header[5] = {};
    std::size_t got = 0;
    const std::uint64_t offset = offsets[index];
    if (!file.ReadAt(offset, header, sizeof header, got) || got != sizeof header) {
        ShowSystemMessage(kReadErrorLength);
        return kMarkFailed;
    }
    const std::uint32_t length =
        header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
    // Never write into bytes that no longer hold a record's state.
    if (length < kMinRecordLength || length > kMaxRecordLength || header[4] > 1) {
        ShowSystemMessage(kReadErrorLength);
        return kMarkFailed;
    }
    if (header[4] != 0)
        return kAlreadyRead;
    const std::uint8_t read = 1;
    if (!file.WriteAt(offset + 4, &read, 1)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kMarkFailed;
    }
    return kMarkedRead;
}

bool MessageBase::NextRecord(MessageRecord& r) {
    if (current == count)
        return false;
    if (MarkRead(current) == kMarkedRead)
        --newCount;
    ++current;
    ReadRecord(current, r);
    return true;
}

bool MessageBase::PreviousRecord(MessageRecord& r) {
    if (current < 2)
        return false;
    if (MarkRead(current) == kMarkedRead)
        --newCount;
    --current;
    ReadRecord(current, r);
    return true;
}

int MessageBase::DeleteRecord(std::uint32_t index) {
    if (count < 2 || index == 0 || index > count || offsets.size() != count + 1u) {
        ShowSystemMessage(kReadErrorLength);
        return kDeleteFailed;
    }
    File base;
    if (!OpenBase(base, baseFileName)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kDeleteFailed;
    }
    const std::int64_t size = base.Size();
    const std::uint64_t end = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    const std::uint64_t start = offsets[index];
    const std::uint64_t next = index < count ? offsets[index + 1] : end;
    if (size < 0 || next > end || start >= next) {
        ShowSystemMessage(kReadErrorLength);
        return kDeleteFailed;
    }
    const std::uint64_t removed = next - start;

    std::vector<char> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, end)) + 1);
    } catch (const std::bad_alloc&) {
        ShowSystemMessage(kNotEnoughMemory);
        return kNoMemory;
    }

    // The kept bytes go to a new file that replaces the base only once it is complete and on
    // the disk, so a crash or a full disk never costs a message.
    File replacement;
    std::string tempPath;
    if (!replacement.CreateTemporaryBeside(baseFileName, tempPath)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return kDeleteFailed;
    }
    std::uint64_t written = 0;
    const std::uint64_t tailEnd = index < count ? end : next;
    bool copied = CopyRange(base, replacement, buffer, 0, start, written) &&
                  CopyRange(base, replacement, buffer, next, tailEnd, written) &&
                  replacement.Sync();
    replacement.Close();
    std::string error;
    if (!copied || !File::Replace(tempPath, baseFileName, error)) {
        File::Remove(tempPath);
        ShowSystemMessage(kOpenWriteCreateFile);
        return kDeleteFailed;
    }
    base.Close();

    if (index == count)
        --current;
    --count;
    offsets.erase(offsets.begin() + index);
    for (std::size_t i = index; i < offsets.size(); ++i)
        offsets[i] -= static_cast<std::uint32_t>(removed);
    return kDeleted;
}

void MessageBase::ClearBase() {
    offsets.assign(1, 0);
    File file;
    if (!OpenBase(file, baseFileName) || !file.Truncate(0))
        ShowSystemMessage(kCreateEmptyFile);
    file.Close();
    count = 0;
    newCount = 0;
    current = 0;
}

void MessageBase::WriteHistory(const MessageRecord& r) {
    File file;
    if (!file.Open(historyFileName, FileMode::ReadWriteExclusive)) {
        ShowSystemMessage(kOpenWriteCreateFile);
        return;
    }
    const std::string entry = FormatHistoryEntry(
        r.from, r.to, HistoryTimeText(m_clock.Now(), LoadString(kHistoryTimeSeparator)), r.text);
    const std::int64_t end = file.Size();
    if (end < 0 || !file.WriteAt(static_cast<std::uint64_t>(end), entry.data(), entry.size())) {
        // A half entry would run into the next one; the entry is abandoned whole.
        if (end >= 0)
            file.Truncate(static_cast<std::uint64_t>(end));
        ShowSystemMessage(kOpenWriteCreateFile);
    }
}

} // namespace kestrola::core
