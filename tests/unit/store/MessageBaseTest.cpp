#include "store/MessageBase.h"

#include "RecordingReportSink.h"
#include "TempDir.h"
#include "platform/File.h"
#include "platform/testing/FixedClock.h"
#include "store/BaseFormat.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

namespace kestrola::core {
namespace {

using platform::testing::FixedClock;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

std::string Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

// A stored record's bytes built by hand, independent of the code under test.
std::string RawRecord(const std::string& body, std::uint8_t state,
                      const std::string& stamp = std::string("09:05:07 , 06/12/2005\0\0", 23)) {
    return Le32(static_cast<std::uint32_t>(body.size() + 24)) + static_cast<char>(state) + body +
           stamp;
}

std::string Body(const std::string& from, const std::string& text) {
    return from + std::string(1, '\0') + "PC2" + std::string(1, '\0') + text + std::string(1, '\0');
}

class MessageBaseTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("Murmeli.msg"); }
    MessageBase Open() { return MessageBase(path(), m_dir.File("Murmeli.txt"), m_clock); }
    MessageBase Loaded(bool expectWhole = true) {
        MessageBase base = Open();
        EXPECT_EQ(base.LoadIndex(), expectWhole);
        return base;
    }
    void Append(MessageBase& base, const std::string& body, std::uint8_t state = 0) {
        MessageRecord r;
        r.SetBody(body);
        r.state = state;
        ASSERT_TRUE(base.AppendRecord(r));
        ++base.count;
        if (state == 0)
            ++base.newCount;
    }

    testing::TempDir m_dir;
    FixedClock m_clock;
    testing::RecordingReportSink m_sink;
};

TEST_F(MessageBaseTest, MissingFileIsCreatedEmpty) {
    MessageBase base = Loaded();
    EXPECT_EQ(base.count, 0u);
    EXPECT_EQ(base.current, 0u);
    EXPECT_TRUE(testing::FileExists(path()));
    EXPECT_TRUE(ReadFileBytes(path()).empty());
    MessageRecord r;
    EXPECT_EQ(base.ReadRecord(0, r), MessageBase::kReadIndexZero);
    EXPECT_FALSE(base.NextRecord(r));
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, AppendWritesTheExactLayoutAndReloads) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "hi"), 0);
    m_clock.Set({2006, 1, 31, 23, 59, 59});
    Append(base, Body("ME", "sent"), 1);
    EXPECT_EQ(ReadFileBytes(path()),
              RawRecord(Body("PC1", "hi"), 0) +
                  RawRecord(Body("ME", "sent"), 1, std::string("23:59:59 , 31/01/2006\0\0", 23)));
    EXPECT_EQ(base.offsets, (std::vector<std::uint32_t>{0, 0, 39}));

    MessageBase again = Loaded();
    EXPECT_EQ(again.count, 2u);
    EXPECT_EQ(again.newCount, 1);
    EXPECT_EQ(again.offsets, base.offsets);
    MessageRecord r;
    ASSERT_EQ(again.ReadRecord(2, r), MessageBase::kRead);
    EXPECT_EQ(r.BodyBytes(), Body("ME", "sent"));
    EXPECT_EQ(r.state, 1);
    EXPECT_EQ(std::string(r.stamp.data(), 21), "23:59:59 , 31/01/2006");
}

struct DamageCase {
    const char* name;
    std::string tail; // bytes behind one good record
    bool whole;
    std::uint32_t count;
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadIndexDamage : public MessageBaseTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(LoadIndexDamage, StopsAtTheDamagedRecordOnly) {
    const std::string good = RawRecord(Body("A", "x"), 0);
    WriteFileBytes(path(), good + GetParam().tail);
    MessageBase base = Loaded(GetParam().whole);
    EXPECT_EQ(base.count, GetParam().count);
    EXPECT_EQ(m_sink.Take(), GetParam().whole ? std::vector<int>{} : std::vector<int>{1299});
    EXPECT_EQ(ReadFileBytes(path()), good + GetParam().tail) << "indexing never writes";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadIndexDamage,
    ::testing::Values(
        DamageCase{"Nothing", "", true, 1}, DamageCase{"OneByteTail", "z", true, 1},
        DamageCase{"TwentyFourByteTail", std::string(24, 'z'), true, 1},
        DamageCase{"TwentyFiveByteTail", std::string(25, 'z'), false, 1},
        DamageCase{"TwentySevenByteTail", std::string(27, '\0'), false, 1},
        DamageCase{"LengthTwentySeven", Le32(27) + std::string(40, '\0'), false, 1},
        DamageCase{"LengthTwentyEightIsValid",
                   Le32(28) + std::string(1, '\0') + "abcd" + std::string(23, '\0'), true, 2},
        DamageCase{"LengthTooLarge", Le32(65537) + std::string(70000, '\0'), false, 1},
        DamageCase{"StateTwo", RawRecord(Body("B", "y"), 2), false, 1},
        DamageCase{"BodyCutShort",
                   RawRecord(Body("B", "y"), 0).substr(0, 12) + std::string(20, 'q'), false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBaseTest, FirstLengthTwentySevenGivesAnEmptyIndex) {
    WriteFileBytes(path(), Le32(27) + std::string(60, '\0'));
    MessageBase base = Loaded(false);
    EXPECT_EQ(base.count, 0u);
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1299});
}

TEST_F(MessageBaseTest, IndexesAcrossReadBlocks) {
    // Enough records to cross several 1 MiB read blocks, with one 65536-length record among
    // them so that a record straddles a block boundary.
    std::string file;
    std::vector<std::uint32_t> expected{0};
    for (int i = 0; i < 40000; ++i) {
        expected.push_back(static_cast<std::uint32_t>(file.size()));
        const std::string body =
            i == 20000 ? std::string(65536 - 24, 'L') : Body("PC" + std::to_string(i), "text");
        file += RawRecord(body, static_cast<std::uint8_t>(i % 3 == 0 ? 0 : 1));
    }
    WriteFileBytes(path(), file);
    MessageBase base = Loaded();
    EXPECT_EQ(base.count, 40000u);
    EXPECT_EQ(base.newCount, 13334);
    EXPECT_EQ(base.offsets, expected);

    // A body longer than a record holds is cut on reading; the stamp still comes from its end.
    MessageRecord r;
    ASSERT_EQ(base.ReadRecord(20001, r), MessageBase::kRead);
    EXPECT_EQ(r.bodyLength, kBodyCapacity);
    EXPECT_EQ(std::string(r.stamp.data(), 21), "09:05:07 , 06/12/2005");
}

TEST_F(MessageBaseTest, NavigationMarksWhatItLeaves) {
    MessageBase base = Loaded();
    for (const char* text : {"one", "two", "three"})
        Append(base, Body("PC1", text));
    const std::string before = ReadFileBytes(path());
    MessageRecord r;
    EXPECT_FALSE(base.PreviousRecord(r));
    ASSERT_TRUE(base.NextRecord(r)); // from "none" to record 1: nothing to mark
    EXPECT_EQ(base.current, 1u);
    EXPECT_EQ(base.newCount, 3);
    EXPECT_EQ(ReadFileBytes(path()), before);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_EQ(r.BodyBytes(), Body("PC1", "two"));
    EXPECT_EQ(base.newCount, 2);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_FALSE(base.NextRecord(r)) << "the newest has no next";
    EXPECT_EQ(base.newCount, 1) << "a failed step marks nothing";
    ASSERT_TRUE(base.PreviousRecord(r));
    EXPECT_EQ(base.newCount, 0);
    ASSERT_TRUE(base.PreviousRecord(r));
    EXPECT_EQ(base.current, 1u);
    EXPECT_FALSE(base.PreviousRecord(r));

    // Exactly the three state bytes changed.
    const std::string after = ReadFileBytes(path());
    int changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    EXPECT_EQ(changed, 3);
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, MarkReadResults) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "a"));
    EXPECT_EQ(base.MarkRead(0), MessageBase::kMarkIndexZero);
    EXPECT_EQ(base.MarkRead(1), MessageBase::kMarkedRead);
    const std::string once = ReadFileBytes(path());
    EXPECT_EQ(once[4], 1);
    EXPECT_EQ(base.MarkRead(1), MessageBase::kAlreadyRead);
    EXPECT_EQ(ReadFileBytes(path()), once);
    EXPECT_EQ(base.newCount, 1) << "MarkRead changes the file only";
    // Out of the index, or bytes that are no longer a record, are never written to.
    EXPECT_EQ(base.MarkRead(2), MessageBase::kMarkFailed);
    WriteFileBytes(path(), std::string(once.size(), '\x7f'));
    EXPECT_EQ(base.MarkRead(1), MessageBase::kMarkFailed);
    EXPECT_EQ(ReadFileBytes(path()), std::string(once.size(), '\x7f'));
    EXPECT_EQ(m_sink.Take(), (std::vector<int>{1299, 1299}));
}

struct DeleteCase {
    std::uint32_t index;
    std::uint32_t currentBefore;
    std::uint32_t currentAfter;
    std::vector<int> kept; // which of the three records stay, in order
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << "delete " << c.index;
}

class DeleteRecordTable : public MessageBaseTest,
                          public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRecordTable, KeepsTheOthersAndShiftsOffsets) {
    const std::string records[] = {RawRecord(Body("A", "first"), 1),
                                   RawRecord(Body("BB", "second one"), 1),
                                   RawRecord(Body("CCC", "third"), 0)};
    WriteFileBytes(path(), records[0] + records[1] + records[2]);
    MessageBase base = Loaded();
    base.current = GetParam().currentBefore;
    const auto before = base.offsets;
    ASSERT_EQ(base.DeleteRecord(GetParam().index), MessageBase::kDeleted);
    EXPECT_EQ(base.count, 2u);
    EXPECT_EQ(base.current, GetParam().currentAfter);

    std::string expected;
    for (const int i : GetParam().kept)
        expected += records[i];
    EXPECT_EQ(ReadFileBytes(path()), expected);
    const std::uint32_t removed = static_cast<std::uint32_t>(records[GetParam().index - 1].size());
    for (std::uint32_t i = GetParam().index; i < base.offsets.size(); ++i)
        EXPECT_EQ(base.offsets[i], before[i + 1] - removed);
    MessageBase reloaded = Loaded();
    EXPECT_EQ(reloaded.offsets, base.offsets);
    EXPECT_TRUE(m_sink.ids.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteRecordTable,
                         ::testing::Values(DeleteCase{1, 1, 1, {1, 2}}, DeleteCase{2, 2, 2, {0, 2}},
                                           DeleteCase{3, 3, 2, {0, 1}}));

// Lets a test make every write beyond `bytes` fail, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

TEST_F(MessageBaseTest, FailedAppendLeavesNoHalfRecord) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "kept"));
    const std::string before = ReadFileBytes(path());
    {
        FileSizeLimit full(before.size() + 10);
        MessageRecord r;
        r.SetBody(Body("PC1", "this one does not fit"));
        EXPECT_FALSE(base.AppendRecord(r));
    }
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1297});
    EXPECT_EQ(ReadFileBytes(path()), before);
    EXPECT_EQ(base.offsets.size(), 2u);
    Loaded();
    EXPECT_TRUE(m_sink.ids.empty()) << "the base still loads whole";
}

TEST_F(MessageBaseTest, FailedDeleteLeavesBaseAndIndex) {
    MessageBase base = Loaded();
    for (int i = 0; i < 3; ++i)
        Append(base, Body("PC1", std::string(200, static_cast<char>('a' + i))));
    const std::string before = ReadFileBytes(path());
    const auto offsets = base.offsets;
    {
        FileSizeLimit full(100); // the replacement cannot be written
        EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed);
    }
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1297});
    EXPECT_EQ(ReadFileBytes(path()), before);
    EXPECT_EQ(base.offsets, offsets);
    EXPECT_EQ(base.count, 3u);
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path()))
        EXPECT_EQ(entry.path().filename(), "Murmeli.msg") << "no temporary file is left";
}

TEST_F(MessageBaseTest, FileHeldByAnotherOpener) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "x"));
    platform::File holder;
    ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
    MessageRecord r;
    r.SetBody(Body("PC1", "y"));
    EXPECT_FALSE(base.AppendRecord(r));
    EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kReadFailed);
    EXPECT_EQ(base.MarkRead(1), MessageBase::kMarkFailed);
    EXPECT_FALSE(Open().LoadIndex());
    EXPECT_EQ(m_sink.Take(), (std::vector<int>{1297, 1297, 1297, 1297}));
    EXPECT_EQ(base.offsets.size(), 2u);
}

TEST_F(MessageBaseTest, AReaderHoldingTheFileForAMomentIsWaitedFor) {
    MessageBase base = Loaded();
    std::promise<void> locked;
    std::thread reader([this, &locked] {
        platform::File shared;
        ASSERT_TRUE(shared.Open(path(), platform::FileMode::ReadShared));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    locked.get_future().wait();
    MessageRecord r;
    r.SetBody(Body("PC1", "stored"));
    EXPECT_TRUE(base.AppendRecord(r));
    reader.join();
    EXPECT_TRUE(m_sink.Take().empty());
    EXPECT_EQ(base.offsets.size(), 2u);
}

TEST_F(MessageBaseTest, ReadRecordDistrustsAChangedFile) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "one"));
    Append(base, Body("PC1", "two"));
    const std::string bytes = ReadFileBytes(path());
    WriteFileBytes(path(), bytes.substr(0, bytes.size() - 5)); // another program cut it
    MessageRecord r;
    EXPECT_EQ(base.ReadRecord(2, r), MessageBase::kReadFailed);
    EXPECT_EQ(base.ReadRecord(3, r), MessageBase::kReadFailed);
    EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kRead);
    EXPECT_EQ(m_sink.Take(), (std::vector<int>{1299, 1299}));
}

TEST_F(MessageBaseTest, ClearBaseEmptiesFileAndCounters) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "x"));
    base.current = 1;
    base.ClearBase();
    EXPECT_EQ(base.count, 0u);
    EXPECT_EQ(base.newCount, 0);
    EXPECT_EQ(base.current, 0u);
    EXPECT_EQ(base.offsets.size(), 1u);
    EXPECT_TRUE(ReadFileBytes(path()).empty());
}

} // namespace
} // namespace kestrola::core
