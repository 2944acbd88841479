#pragma once

#include "platform/Clock.h"
#include "store/MessageRecord.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kestrola::platform {
class File;
}

namespace kestrola::core {

/// The message base file: an index of where each record starts and three counters; records are
/// read from disk on demand. Every operation opens the file and closes it before returning.
///
/// No message is lost to a busy or full disk: a record that cannot be written waits in memory,
/// in arrival order, and goes in before any newer one as soon as the file takes it.
class MessageBase {
public:
    /// Results of ReadRecord.
    enum ReadResult { kRead = 0, kReadFailed = 1, kReadIndexZero = 3 };
    /// Results of MarkRead.
    enum MarkResult { kAlreadyRead = 0, kMarkFailed = 1, kMarkIndexZero = 3, kMarkedRead = 4 };
    /// Results of DeleteRecord.
    enum DeleteResult { kDeleted = 0, kNoMemory = 1, kDeleteFailed = 2 };

    /// How long an operation waits for another program (a reader) to let go of the file.
    static constexpr std::chrono::milliseconds kPatience{250};

    MessageBase(std::string baseFileName, std::string historyFileName,
                const platform::Clock& clock);
    virtual ~MessageBase();

    /// Builds the index from the file, creating a missing file, and removes replacements that
    /// a process which died while deleting left behind. False (after reporting 1297 or 1299)
    /// when it cannot be opened or a damaged record stops it; records before stay indexed.
    /// Virtual so that a test can change the file behind a fresh index, as another program can.
    virtual bool LoadIndex();
    /// Stamps `r` with the local time and appends it right behind the last whole record (an
    /// unfinished record there is cut off first), on the disk before it returns. True when
    /// written (and counted); a failed append reports 1297 and leaves file and index as they
    /// were.
    bool AppendRecord(MessageRecord& r);
    /// Stamps `r` and stores it behind every record still waiting. Returns its 1-based index
    /// when it was written now, else 0: it then waits, and `ticket` names it until StorePending
    /// writes it (onStored tells). 1297 is reported once per run of failures.
    std::uint32_t Store(MessageRecord& r, std::uint64_t& ticket);
    /// Writes the waiting records, oldest first, until one fails; returns how many still wait.
    std::size_t StorePending(std::chrono::milliseconds patience = kPatience);
    /// Records waiting to be written.
    std::size_t PendingCount() const { return m_pending.size(); }
    /// The waiting records, oldest first (to report those that never could be written).
    std::vector<MessageRecord> PendingRecords() const;
    /// Forgets waiting record `ticket` (the user deleted it before it could be written).
    bool DropPending(std::uint64_t ticket);
    /// Called with its ticket and index when a waiting record was written.
    std::function<void(std::uint64_t ticket, std::uint32_t index)> onStored;

    /// Reads record `index` (1-based) into `r`: kRead, kReadFailed, or kReadIndexZero.
    int ReadRecord(std::uint32_t index, MessageRecord& r);
    /// Marks record `index` read: kMarkedRead when it was new (the new count drops by one).
    int MarkRead(std::uint32_t index);
    /// Leaves the current record (marking it read) for the next one; false on the newest or
    /// when the next one cannot be read (the position then stays).
    bool NextRecord(MessageRecord& r);
    /// Leaves the current record (marking it read) for the previous one; false on the first or
    /// when the previous one cannot be read.
    bool PreviousRecord(MessageRecord& r);
    /// Removes the bytes of record `index` and nothing else: kDeleted, kNoMemory or
    /// kDeleteFailed; on failure file and index are unchanged.
    int DeleteRecord(std::uint32_t index);
    /// Removes every indexed record (bytes the index does not list stay) and zeroes the
    /// counters.
    void ClearBase();
    /// Appends a history-log entry for the decoded texts of `r` with the local time. A failure
    /// is reported once per run of failures.
    void WriteHistory(const MessageRecord& r);

    /// Records in the index, how many of them are new (not yet read), and the one on display
    /// (0: none).
    std::uint32_t Count() const { return m_count; }
    std::int32_t NewCount() const { return m_newCount; }
    std::uint32_t Current() const { return m_current; }
    /// Puts record `index` (0: none) on display; which one is the viewer's choice.
    void SetCurrent(std::uint32_t index) { m_current = index; }
    /// Where each record starts in the file: [0] is unused, [i] is record i.
    const std::vector<std::uint32_t>& Offsets() const { return m_offsets; }

    std::string baseFileName;
    std::string historyFileName;

private:
    struct Waiting {
        std::uint64_t ticket;
        MessageRecord record;
    };
    struct Range {
        std::uint64_t from;
        std::uint64_t to;
    };

    bool Write(platform::File& file, const MessageRecord& r);
    bool RecordRange(platform::File& file, std::uint32_t index, Range& range, std::uint8_t& state);
    int RemoveRanges(platform::File& file, const std::vector<Range>& ranges);
    void ForgetRanges(const std::vector<Range>& ranges);

    const platform::Clock& m_clock;
    /// Where the last whole record known to the index ends.
    std::uint32_t m_count = 0;
    std::int32_t m_newCount = 0;
    std::uint32_t m_current = 0;
    std::vector<std::uint32_t> m_offsets{0};
    std::uint64_t m_dataEnd = 0;
    std::deque<Waiting> m_pending;
    std::uint64_t m_lastTicket = 0;
    bool m_storeFailing = false;
    bool m_historyFailing = false;
};

} // namespace kestrola::core
