#pragma once

#include "platform/Clock.h"
#include "store/MessageRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrola::core {

/// The message base file: an index of where each record starts and three counters; records are
/// read from disk on demand. Every operation opens the file and closes it before returning.
class MessageBase {
public:
    /// Results of ReadRecord.
    enum ReadResult { kRead = 0, kReadFailed = 1, kReadIndexZero = 3 };
    /// Results of MarkRead.
    enum MarkResult { kAlreadyRead = 0, kMarkFailed = 1, kMarkIndexZero = 3, kMarkedRead = 4 };
    /// Results of DeleteRecord.
    enum DeleteResult { kDeleted = 0, kNoMemory = 1, kDeleteFailed = 2 };

    MessageBase(std::string baseFileName, std::string historyFileName,
                const platform::Clock& clock);
    virtual ~MessageBase();

    /// Builds the index from the file, creating a missing file. False (after reporting 1297 or
    /// 1299) when it cannot be opened or a damaged record stops it; records before stay indexed.
    /// Virtual so that a test can change the file behind a fresh index, as another program can.
    virtual bool LoadIndex();
    /// Stamps `r` with the local time and appends it. True when the record was written whole;
    /// the caller then counts it. A failed append leaves file and index as they were.
    bool AppendRecord(MessageRecord& r);
    /// Reads record `index` (1-based) into `r`: kRead, kReadFailed, or kReadIndexZero.
    int ReadRecord(std::uint32_t index, MessageRecord& r);
    /// Marks record `index` read in the file only: kMarkedRead when it was new.
    int MarkRead(std::uint32_t index);
    /// Leaves the current record (marking it read) for the next one; false on the newest.
    bool NextRecord(MessageRecord& r);
    /// Leaves the current record (marking it read) for the previous one; false on the first.
    bool PreviousRecord(MessageRecord& r);
    /// Removes record `index` (needs two records at least): kDeleted, kNoMemory or
    /// kDeleteFailed; on failure file and index are unchanged.
    int DeleteRecord(std::uint32_t index);
    /// Empties the file and the counters.
    void ClearBase();
    /// Appends a history-log entry for the decoded texts of `r` with the local time.
    void WriteHistory(const MessageRecord& r);

    std::uint32_t count = 0;
    std::int32_t newCount = 0;
    std::uint32_t current = 0;
    std::vector<std::uint32_t> offsets{0};
    std::string baseFileName;
    std::string historyFileName;

private:
    const platform::Clock& m_clock;
};

} // namespace kestrola::core
