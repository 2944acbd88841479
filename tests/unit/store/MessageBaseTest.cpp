#include "store/MessageBase.h"

#include "FileSizeLimit.h"
#include "RecordingReportSink.h"
#include "TempDir.h"
#include "fakes/FixedClock.h"
#include "platform/File.h"
#include "store/BaseFormat.h"
#include "store/HistoryLog.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrola::core {
namespace {

using platform::testing::FixedClock;
using testing::FileSizeLimit;
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
    }

    testing::TempDir m_dir;
    FixedClock m_clock;
    testing::RecordingReportSink m_sink;
};

TEST_F(MessageBaseTest, MissingFileIsCreatedEmpty) {
    MessageBase base = Loaded();
    EXPECT_EQ(base.Count(), 0u);
    EXPECT_EQ(base.Current(), 0u);
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
    EXPECT_EQ(base.Offsets(), (std::vector<std::uint32_t>{0, 0, 39}));

    MessageBase again = Loaded();
    EXPECT_EQ(again.Count(), 2u);
    EXPECT_EQ(again.NewCount(), 1);
    EXPECT_EQ(again.Offsets(), base.Offsets());
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
    EXPECT_EQ(base.Count(), GetParam().count);
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
        // What an append that never finished leaves: the end of the file cuts a record short.
        DamageCase{"UnfinishedRecord", RawRecord(Body("B", "y"), 0).substr(0, 30), true, 1},
        DamageCase{"DamageBeforeARecord", Le32(3) + "zz" + RawRecord(Body("B", "y"), 0), false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBaseTest, FirstLengthTwentySevenGivesAnEmptyIndex) {
    WriteFileBytes(path(), Le32(27) + std::string(60, '\0'));
    MessageBase base = Loaded(false);
    EXPECT_EQ(base.Count(), 0u);
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
    EXPECT_EQ(base.Count(), 40000u);
    EXPECT_EQ(base.NewCount(), 13334);
    EXPECT_EQ(base.Offsets(), expected);

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
    EXPECT_EQ(base.Current(), 1u);
    EXPECT_EQ(base.NewCount(), 3);
    EXPECT_EQ(ReadFileBytes(path()), before);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_EQ(r.BodyBytes(), Body("PC1", "two"));
    EXPECT_EQ(base.NewCount(), 2);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_FALSE(base.NextRecord(r)) << "the newest has no next";
    EXPECT_EQ(base.NewCount(), 1) << "a failed step marks nothing";
    ASSERT_TRUE(base.PreviousRecord(r));
    EXPECT_EQ(base.NewCount(), 0);
    ASSERT_TRUE(base.PreviousRecord(r));
    EXPECT_EQ(base.Current(), 1u);
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
    EXPECT_EQ(base.NewCount(), 0) << "the new count drops with the mark, once";
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
    base.SetCurrent(GetParam().currentBefore);
    const auto before = base.Offsets();
    ASSERT_EQ(base.DeleteRecord(GetParam().index), MessageBase::kDeleted);
    EXPECT_EQ(base.Count(), 2u);
    EXPECT_EQ(base.Current(), GetParam().currentAfter);

    std::string expected;
    for (const int i : GetParam().kept)
        expected += records[i];
    EXPECT_EQ(ReadFileBytes(path()), expected);
    const std::uint32_t removed = static_cast<std::uint32_t>(records[GetParam().index - 1].size());
    for (std::uint32_t i = GetParam().index; i < base.Offsets().size(); ++i)
        EXPECT_EQ(base.Offsets()[i], before[i + 1] - removed);
    MessageBase reloaded = Loaded();
    EXPECT_EQ(reloaded.Offsets(), base.Offsets());
    EXPECT_TRUE(m_sink.ids.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteRecordTable,
                         ::testing::Values(DeleteCase{1, 1, 1, {1, 2}}, DeleteCase{2, 2, 2, {0, 2}},
                                           DeleteCase{3, 3, 2, {0, 1}}));

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
    EXPECT_EQ(base.Offsets().size(), 2u);
    Loaded();
    EXPECT_TRUE(m_sink.ids.empty()) << "the base still loads whole";
}

TEST_F(MessageBaseTest, FailedDeleteLeavesBaseAndIndex) {
    MessageBase base = Loaded();
    for (int i = 0; i < 3; ++i)
        Append(base, Body("PC1", std::string(200, static_cast<char>('a' + i))));
    const std::string before = ReadFileBytes(path());
    const auto offsets = base.Offsets();
    {
        FileSizeLimit full(100); // the replacement cannot be written
        EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed);
    }
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1297});
    EXPECT_EQ(ReadFileBytes(path()), before);
    EXPECT_EQ(base.Offsets(), offsets);
    EXPECT_EQ(base.Count(), 3u);
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
    EXPECT_EQ(base.Offsets().size(), 2u);
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
    EXPECT_EQ(base.Offsets().size(), 2u);
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

TEST_F(MessageBaseTest, AFailedReadLeavesThePosition) {
    MessageBase base = Loaded();
    for (const char* text : {"one", "two", "three"})
        Append(base, Body("PC1", text));
    std::string bytes = ReadFileBytes(path());
    bytes[base.Offsets()[2] + 4] = bytes[base.Offsets()[3] + 4] = 7; // records 2 and 3 damaged
    WriteFileBytes(path(), bytes);
    base.SetCurrent(2);
    MessageRecord r;
    r.SetBody("on display");
    EXPECT_FALSE(base.NextRecord(r));
    EXPECT_FALSE((base.SetCurrent(1), base.NextRecord(r))) << "record 2 now reads as damaged";
    EXPECT_EQ(base.Current(), 1u);
    EXPECT_EQ(r.BodyBytes(), "on display");
    EXPECT_EQ(base.NewCount(), 3) << "nothing was left, nothing marked";
    EXPECT_EQ(m_sink.Take(), (std::vector<int>{1299, 1299}));
}

struct TailCase {
    const char* name;
    std::string tail; // behind one good record, ignored by indexing
};

class AppendBehindATail : public MessageBaseTest, public ::testing::WithParamInterface<TailCase> {};

TEST_P(AppendBehindATail, GoesRightBehindTheLastWholeRecord) {
    const std::string good = RawRecord(Body("A", "x"), 1);
    WriteFileBytes(path(), good + GetParam().tail);
    MessageBase base = Loaded();
    Append(base, Body("PC1", "new"));
    MessageRecord appended;
    ASSERT_EQ(base.ReadRecord(2, appended), MessageBase::kRead);
    EXPECT_EQ(ReadFileBytes(path()), good + EncodeRecord(appended)) << "the tail is cut off";
    MessageBase reloaded = Loaded();
    EXPECT_EQ(reloaded.Count(), 2u);
    EXPECT_EQ(reloaded.Offsets(), base.Offsets());
    EXPECT_TRUE(m_sink.ids.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendBehindATail,
    ::testing::Values(TailCase{"ThreeBytes", "zzz"},
                      TailCase{"TenBytesOfARecord", RawRecord(Body("B", "y"), 0).substr(0, 10)},
                      TailCase{"UnfinishedRecord", RawRecord(Body("B", "yyyy"), 0).substr(0, 33)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBaseTest, RecordsAnIndexMissedAreIndexedBeforeTheNextAppend) {
    const std::string old = RawRecord(Body("A", "1"), 0) + RawRecord(Body("A", "2"), 1);
    WriteFileBytes(path(), old);
    MessageBase base = Open();
    {
        platform::File holder; // a start while another program held the base
        ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
        EXPECT_FALSE(base.LoadIndex());
    }
    Append(base, Body("PC1", "3"));
    EXPECT_EQ(base.Count(), 3u);
    EXPECT_EQ(base.NewCount(), 2);
    base.SetCurrent(3);
    base.ClearBase(); // what the viewer does with one record indexed
    EXPECT_EQ(base.Count(), 0u);
    EXPECT_EQ(ReadFileBytes(path()), "") << "all three were indexed, all three deleted";
}

struct KeepCase {
    const char* name;
    bool append;           // a record stored behind everything before the delete
    std::uint32_t deleted; // 0: ClearBase
    std::vector<int> kept; // the parts left, in order
};

class DeleteKeepsUnlistedBytes : public MessageBaseTest,
                                 public ::testing::WithParamInterface<KeepCase> {};

TEST_P(DeleteKeepsUnlistedBytes, OnlyTheDeletedRecordGoes) {
    // A record, damage that stops indexing, a record the index cannot see, and one appended.
    std::vector<std::string> parts = {RawRecord(Body("A", "1"), 1), Le32(7) + "damage",
                                      RawRecord(Body("A", "hidden"), 1)};
    WriteFileBytes(path(), parts[0] + parts[1] + parts[2]);
    MessageBase base = Loaded(false);
    if (GetParam().append) {
        Append(base, Body("PC1", "n"));
        parts.push_back(
            ReadFileBytes(path()).substr(parts[0].size() + parts[1].size() + parts[2].size()));
    }
    if (GetParam().deleted == 0)
        base.ClearBase();
    else
        EXPECT_EQ(base.DeleteRecord(GetParam().deleted), MessageBase::kDeleted);
    std::string expected;
    for (const int part : GetParam().kept)
        expected += parts[part];
    EXPECT_EQ(ReadFileBytes(path()), expected);
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1299}) << "only the load's report";
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteKeepsUnlistedBytes,
                         ::testing::Values(KeepCase{"ClearBase", false, 0, {1, 2}},
                                           KeepCase{"Newest", true, 2, {0, 1, 2}},
                                           KeepCase{"Oldest", true, 1, {1, 2, 3}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBaseTest, RecordsTheFileCannotTakeWaitInOrder) {
    MessageBase base = Loaded();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> stored;
    base.onStored = [&stored](std::uint64_t t, std::uint32_t i) { stored.emplace_back(t, i); };
    std::uint64_t tickets[3] = {};
    MessageRecord r;
    {
        platform::File holder;
        ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
        for (int i = 0; i < 2; ++i) {
            r.SetBody(Body("PC1", std::to_string(i)));
            EXPECT_EQ(base.Store(r, tickets[i]), 0u);
            EXPECT_EQ(base.StorePending(), static_cast<std::size_t>(i + 1));
        }
        EXPECT_EQ(m_sink.Take(), std::vector<int>{1297}) << "once for the whole run of failures";
        EXPECT_EQ(base.Count(), 0u);
    }
    r.SetBody(Body("PC1", "2"));
    EXPECT_EQ(base.Store(r, tickets[2]), 3u) << "behind the two that waited";
    EXPECT_EQ(stored, (decltype(stored){{tickets[0], 1}, {tickets[1], 2}, {tickets[2], 3}}));
    MessageBase reloaded = Loaded();
    for (std::uint32_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(reloaded.ReadRecord(i, r), MessageBase::kRead);
        EXPECT_EQ(r.BodyBytes(), Body("PC1", std::to_string(i - 1)));
    }
    EXPECT_EQ(reloaded.NewCount(), 3);
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, FilesAreTheOwnersAndLinksAreFollowedOnlyWhenOurs) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "one"));
    base.WriteHistory(MessageRecord{});
    for (const std::string& file : {path(), m_dir.File("Murmeli.txt")}) {
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }

    // A base kept as a link stays one: a delete writes through to the target.
    std::filesystem::rename(path(), m_dir.File("target.msg"));
    std::filesystem::create_symlink(m_dir.File("target.msg"), path());
    Append(base, Body("PC1", "two"));
    ASSERT_EQ(base.DeleteRecord(1), MessageBase::kDeleted);
    EXPECT_TRUE(std::filesystem::is_symlink(path()));
    EXPECT_EQ(Loaded().Count(), 1u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "a link owned by another user needs root to make";
    ASSERT_EQ(::lchown(path().c_str(), 65534, 65534), 0);
    const std::string target = ReadFileBytes(m_dir.File("target.msg"));
    MessageRecord r;
    r.SetBody(Body("PC1", "redirected"));
    EXPECT_FALSE(base.AppendRecord(r));
    EXPECT_EQ(ReadFileBytes(m_dir.File("target.msg")), target);
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1297});
}

TEST_F(MessageBaseTest, StartingRemovesReplacementsNobodyHolds) {
    WriteFileBytes(m_dir.File(".Murmeli.msg.a1b2c3"), "left by a crash");
    WriteFileBytes(m_dir.File(".Murmeli.msg.keep"), "not our pattern");
    platform::File live;
    std::string livePath;
    ASSERT_TRUE(live.CreateTemporaryBeside(path(), livePath));
    Loaded();
    EXPECT_FALSE(testing::FileExists(m_dir.File(".Murmeli.msg.a1b2c3")));
    EXPECT_TRUE(testing::FileExists(m_dir.File(".Murmeli.msg.keep")));
    EXPECT_TRUE(testing::FileExists(livePath)) << "a replacement being written is held";
}

TEST_F(MessageBaseTest, AFileCutShortUnderItsMappingIsAFailedReadNotACrash) {
    WriteFileBytes(path(), std::string(1 << 20, 'x'));
    platform::File file;
    ASSERT_TRUE(file.Open(path(), platform::FileMode::ReadShared));
    platform::MappedFile mapped;
    ASSERT_TRUE(file.Map(mapped));
    ::truncate(path().c_str(), 0); // another program cuts the file
    struct Job {
        const platform::MappedFile& mapped;
        int sum = 0;
    } job{mapped};
    EXPECT_FALSE(platform::ReadGuarded(
        [](void* context) {
            auto& j = *static_cast<Job*>(context);
            for (std::uint64_t i = 0; i < j.mapped.Size(); i += 4096)
                j.sum += j.mapped.Data()[i];
        },
        &job));
    EXPECT_TRUE(platform::ReadGuarded([](void*) {}, nullptr)) << "the next read is guarded anew";
}

TEST_F(MessageBaseTest, AHugeFileIsDamageNotACrash) {
    {
        platform::File file;
        ASSERT_TRUE(file.Open(path(), platform::FileMode::ReadWriteExclusive));
        ASSERT_TRUE(file.Truncate(std::uint64_t{1} << 40)); // sparse: one TiB of zeros
    }
    EXPECT_EQ(Loaded(false).Count(), 0u);
    EXPECT_EQ(m_sink.Take(), std::vector<int>{1299});
}

TEST_F(MessageBaseTest, AFullDiskKeepsWhatWasStoredAndTakesTheRestOnceThereIsRoom) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string disk = m_dir.File("disk");
    std::filesystem::create_directory(disk);
    ASSERT_EQ(std::system(("mount -t tmpfs -o size=64k tmpfs " + disk).c_str()), 0);
    struct Unmount {
        std::string at;
        ~Unmount() { std::system(("umount " + at).c_str()); }
    } unmount{disk};
    WriteFileBytes(disk + "/filler", std::string(40 * 1024, 'f'));
    MessageBase base(disk + "/Murmeli.msg", disk + "/Murmeli.txt", m_clock);
    ASSERT_TRUE(base.LoadIndex());
    MessageRecord r;
    int sent = 0;
    for (; sent < 200 && base.PendingCount() < 5; ++sent) {
        r.SetBody(Body("PC2", std::to_string(sent) + std::string(300, '.')));
        std::uint64_t ticket = 0;
        base.Store(r, ticket);
        base.WriteHistory(r);
    }
    ASSERT_EQ(base.PendingCount(), 5u) << "the disk never filled";
    const std::vector<int> told = m_sink.Take(); // once for the base, maybe once for the log
    EXPECT_TRUE(told == std::vector<int>{1297} || told == (std::vector<int>{1297, 1297}));
    const std::uint32_t stored = base.Count();
    MessageBase meanwhile(disk + "/Murmeli.msg", disk + "/Murmeli.txt", m_clock);
    EXPECT_TRUE(meanwhile.LoadIndex());
    EXPECT_EQ(meanwhile.Count(), stored) << "nothing stored before was lost";

    std::filesystem::remove(disk + "/filler");
    EXPECT_EQ(base.StorePending(), 0u);
    MessageBase after(disk + "/Murmeli.msg", disk + "/Murmeli.txt", m_clock);
    ASSERT_TRUE(after.LoadIndex());
    ASSERT_EQ(after.Count(), static_cast<std::uint32_t>(sent));
    for (std::uint32_t i = 1; i <= after.Count(); ++i) {
        ASSERT_EQ(after.ReadRecord(i, r), MessageBase::kRead);
        EXPECT_EQ(r.BodyBytes(), Body("PC2", std::to_string(i - 1) + std::string(300, '.')));
    }
    const std::string log = ReadFileBytes(disk + "/Murmeli.txt");
    const std::string entryEnd = std::string(80, '-') + "\r\n\r\n";
    ASSERT_GE(log.size(), entryEnd.size());
    EXPECT_EQ(log.substr(log.size() - entryEnd.size()), entryEnd) << "no half entry in the log";
    EXPECT_TRUE(m_sink.Take().empty());
}

TEST_F(MessageBaseTest, ClearBaseEmptiesFileAndCounters) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "x"));
    base.SetCurrent(1);
    base.ClearBase();
    EXPECT_EQ(base.Count(), 0u);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.Current(), 0u);
    EXPECT_EQ(base.Offsets().size(), 1u);
    EXPECT_TRUE(ReadFileBytes(path()).empty());
}

} // namespace
} // namespace kestrola::core
