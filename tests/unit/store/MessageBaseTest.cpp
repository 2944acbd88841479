#include "store/MessageBase.h"

#include "FileSizeLimit.h"
#include "RecordingReportSink.h"
#include "TempDir.h"
#include "fakes/FixedClock.h"
#include "platform/File.h"
#include "store/BaseFormat.h"

#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;
using Ids = std::vector<int>;

std::string Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

// A stored record's bytes built by hand, independent of the code under test.
std::string Raw(const std::string& body, std::uint8_t state,
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
    MessageBase Loaded(bool whole = true) {
        MessageBase base = Open();
        EXPECT_EQ(base.LoadIndex(), whole);
        return base;
    }
    void Append(MessageBase& base, const std::string& body, std::uint8_t state = 0) {
        MessageRecord r;
        r.SetBody(body);
        r.state = state;
        ASSERT_TRUE(base.AppendRecord(r));
    }
    void Hold(platform::File& holder) {
        ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
    }

    testing::TempDir m_dir;
    platform::testing::FixedClock m_clock;
    testing::RecordingReportSink m_sink;
};

TEST_F(MessageBaseTest, AppendWritesTheExactLayoutAndReloads) {
    MessageBase base = Loaded(); // a missing file is created empty
    EXPECT_TRUE(testing::FileExists(path()));
    MessageRecord r;
    EXPECT_EQ(base.ReadRecord(0, r), MessageBase::kReadIndexZero);
    EXPECT_FALSE(base.NextRecord(r));
    Append(base, Body("PC1", "hi"), 0);
    m_clock.Set({2006, 1, 31, 23, 59, 59});
    Append(base, Body("ME", "sent"), 1);
    EXPECT_EQ(ReadFileBytes(path()),
              Raw(Body("PC1", "hi"), 0) +
                  Raw(Body("ME", "sent"), 1, std::string("23:59:59 , 31/01/2006\0\0", 23)));
    EXPECT_EQ(base.Offsets(), (std::vector<std::uint32_t>{0, 0, 39}));

    EXPECT_TRUE(base.LoadIndex());
    EXPECT_EQ(base.Offsets(), (std::vector<std::uint32_t>{0, 0, 39})) << "a reload starts afresh";
    MessageBase again = Loaded();
    EXPECT_EQ(again.Count(), 2u);
    EXPECT_EQ(again.NewCount(), 1);
    EXPECT_EQ(again.Offsets(), base.Offsets());
    r.body.fill('x'); // an earlier, longer message
    ASSERT_EQ(again.ReadRecord(2, r), MessageBase::kRead);
    EXPECT_EQ(r.BodyBytes(), Body("ME", "sent"));
    EXPECT_EQ(r.body[r.bodyLength], 0) << "no stale bytes behind the body";
    EXPECT_EQ(r.state, 1);
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, LoadStopsAtTheDamagedRecordOnlyAndNeverWrites) {
    const std::string good = Raw(Body("A", "x"), 0);
    const std::string body28 = '\0' + std::string("abcd") + std::string(23, '\0');
    const struct {
        const char* name;
        std::string bytes;
        bool whole;
        std::uint32_t count;
    } cases[] = {
        {"one record", good, true, 1},
        {"1-byte tail", good + "z", true, 1},
        {"24-byte tail", good + std::string(24, 'z'), true, 1},
        {"25-byte tail", good + std::string(25, 'z'), false, 1},
        {"27 zero bytes", good + std::string(27, '\0'), false, 1},
        {"length 27", good + Le32(27) + std::string(40, '\0'), false, 1},
        {"length 28 is valid", good + Le32(28) + body28, true, 2},
        {"length too large", good + Le32(65537) + std::string(70000, '\0'), false, 1},
        {"length 28 plus 2^16", good + Le32(65536 + 28) + body28, false, 1},
        {"length 28 plus 2^24", good + Le32((1u << 24) + 28) + body28, false, 1},
        {"state 2", good + Raw(Body("B", "y"), 2), false, 1},
        {"unfinished append", good + Raw(Body("B", "y"), 0).substr(0, 30), true, 1},
        {"damage before a record", good + Le32(3) + "zz" + Raw(Body("B", "y"), 0), false, 1},
        {"damaged first record", Le32(27) + std::string(60, '\0'), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path(), c.bytes);
        EXPECT_EQ(Loaded(c.whole).Count(), c.count);
        EXPECT_EQ(m_sink.Take(), c.whole ? Ids{} : Ids{1299});
        EXPECT_EQ(ReadFileBytes(path()), c.bytes);
    }
    { // sparse: one TiB of zeros
        platform::File file;
        Hold(file);
        ASSERT_TRUE(file.Truncate(std::uint64_t{1} << 40));
    }
    EXPECT_EQ(Loaded(false).Count(), 0u);
    EXPECT_EQ(m_sink.Take(), Ids{1299});
}

TEST_F(MessageBaseTest, IndexesAcrossReadBlocks) {
    // Records across several 1 MiB read blocks, a 65536-byte one straddling a boundary.
    std::string file;
    std::vector<std::uint32_t> expected{0};
    for (int i = 0; i < 40000; ++i) {
        expected.push_back(static_cast<std::uint32_t>(file.size()));
        const std::string body =
            i == 20000 ? std::string(65536 - 24, 'L') : Body("PC" + std::to_string(i), "text");
        file += Raw(body, static_cast<std::uint8_t>(i % 3 == 0 ? 0 : 1));
    }
    WriteFileBytes(path(), file);
    MessageBase base = Loaded();
    EXPECT_EQ(base.Count(), 40000u);
    EXPECT_EQ(base.NewCount(), 13334);
    EXPECT_EQ(base.Offsets(), expected);
    // A body longer than a record holds is cut; the stamp still comes from the record's end.
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
    EXPECT_EQ(base.NewCount(), 3);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_EQ(r.BodyBytes(), Body("PC1", "two"));
    EXPECT_EQ(base.NewCount(), 2);
    ASSERT_TRUE(base.NextRecord(r));
    EXPECT_FALSE(base.NextRecord(r));
    EXPECT_EQ(base.NewCount(), 1) << "a failed step marks nothing";
    ASSERT_TRUE(base.PreviousRecord(r));
    ASSERT_TRUE(base.PreviousRecord(r));
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.Current(), 1u);
    EXPECT_FALSE(base.PreviousRecord(r));
    const std::string after = ReadFileBytes(path());
    int changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    EXPECT_EQ(changed, 3) << "exactly the three state bytes";

    // MarkRead lowers the new count once; out of the index or on foreign bytes it writes nothing.
    Append(base, Body("PC1", "four"));
    EXPECT_EQ(base.MarkRead(0), MessageBase::kMarkIndexZero);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kMarkedRead);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kAlreadyRead);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.MarkRead(5), MessageBase::kMarkFailed);
    std::string damaged = ReadFileBytes(path());
    damaged[base.Offsets()[4] + 4] = 7; // a state byte neither 0 nor 1
    WriteFileBytes(path(), damaged);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kMarkFailed);
    EXPECT_EQ(ReadFileBytes(path()), damaged);
    const std::string junk(damaged.size(), '\x7f');
    WriteFileBytes(path(), junk);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kMarkFailed);
    EXPECT_EQ(ReadFileBytes(path()), junk);
    EXPECT_EQ(m_sink.Take(), (Ids{1299, 1299, 1299}));
}

TEST_F(MessageBaseTest, DeleteKeepsTheOthersAndShiftsOffsets) {
    // The middle record is as long as a record can be: its length has a bit above the low 16.
    const std::string records[] = {Raw(Body("A", "first"), 1), Raw(std::string(65536 - 24, 'B'), 1),
                                   Raw(Body("CCC", "third"), 0)};
    const struct {
        std::uint32_t index, currentBefore, currentAfter;
        std::vector<int> kept;
    } cases[] = {{1, 1, 1, {1, 2}}, {2, 2, 2, {0, 2}}, {3, 3, 2, {0, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        WriteFileBytes(path(), records[0] + records[1] + records[2]);
        MessageBase base = Loaded();
        base.SetCurrent(c.currentBefore);
        ASSERT_EQ(base.DeleteRecord(c.index), MessageBase::kDeleted);
        EXPECT_EQ(base.Count(), 2u);
        EXPECT_EQ(base.NewCount(), c.index == 3 ? 0 : 1);
        EXPECT_EQ(base.Current(), c.currentAfter);
        std::string expected;
        for (const int i : c.kept)
            expected += records[i];
        EXPECT_EQ(ReadFileBytes(path()), expected);
        EXPECT_EQ(base.Offsets(), Loaded().Offsets());
    }
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, DeleteRemovesOnlyItsRecordAmongBytesTheIndexCannotSee) {
    // A record, damage that stops indexing, a record the index cannot see, one appended later.
    const struct {
        const char* name;
        std::uint32_t deleted; // 0: ClearBase
        std::vector<int> kept;
    } cases[] = {{"ClearBase", 0, {1, 2}}, {"newest", 2, {0, 1, 2}}, {"oldest", 1, {1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> parts = {Raw(Body("A", "1"), 1), Le32(7) + "damage",
                                          Raw(Body("A", "hidden"), 1)};
        WriteFileBytes(path(), parts[0] + parts[1] + parts[2]);
        MessageBase base = Loaded(false);
        if (c.deleted == 0) {
            base.ClearBase();
        } else {
            Append(base, Body("PC1", "n"));
            parts.push_back(ReadFileBytes(path()).substr(parts[0].size() + 10 + parts[2].size()));
            EXPECT_EQ(base.DeleteRecord(c.deleted), MessageBase::kDeleted);
        }
        std::string expected;
        for (const int part : c.kept)
            expected += parts[part];
        EXPECT_EQ(ReadFileBytes(path()), expected);
        EXPECT_EQ(m_sink.Take(), Ids{1299}) << "only the load's report";
    }
}

TEST_F(MessageBaseTest, FailedWritesLeaveFileIndexAndLogWhole) {
    MessageBase base = Loaded();
    for (int i = 0; i < 3; ++i)
        Append(base, Body("PC1", std::string(200, static_cast<char>('a' + i))));
    MessageRecord logged;
    logged.from = "PC1";
    base.WriteHistory(logged);
    const std::string before = ReadFileBytes(path());
    const std::string log = ReadFileBytes(m_dir.File("Murmeli.txt"));
    const auto offsets = base.Offsets();
    {
        testing::FileSizeLimit full(before.size() + 10);
        MessageRecord r;
        r.SetBody(Body("PC1", "this one does not fit"));
        EXPECT_FALSE(base.AppendRecord(r));
    }
    {
        testing::FileSizeLimit full(log.size() + 20); // a half entry would run into the next
        base.WriteHistory(logged);
    }
    {
        testing::FileSizeLimit full(100); // the replacement cannot be written
        EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed);
    }
    { // nor made: the base may still be opened, no second file
        const int a = ::open("/dev/null", O_RDONLY), b = ::open("/dev/null", O_RDONLY);
        ::close(a);
        ::close(b);
        rlimit old{};
        ::getrlimit(RLIMIT_NOFILE, &old);
        rlimit one = old;
        one.rlim_cur = static_cast<rlim_t>(b);
        ::setrlimit(RLIMIT_NOFILE, &one);
        EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed);
        ::setrlimit(RLIMIT_NOFILE, &old);
    }
    EXPECT_EQ(m_sink.Take(), (Ids{1297, 1297, 1297, 1297}));
    EXPECT_EQ(ReadFileBytes(path()), before);
    EXPECT_EQ(ReadFileBytes(m_dir.File("Murmeli.txt")), log);
    EXPECT_EQ(base.Offsets(), offsets);
    EXPECT_EQ(base.Count(), 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2)
        << "no temporary file is left";
}

TEST_F(MessageBaseTest, FileHeldByAnotherOpener) {
    MessageBase base = Loaded();
    Append(base, Body("PC1", "x"));
    {
        platform::File holder;
        Hold(holder);
        MessageRecord r;
        r.SetBody(Body("PC1", "y"));
        EXPECT_FALSE(base.AppendRecord(r));
        EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kReadFailed);
        EXPECT_EQ(base.MarkRead(1), MessageBase::kMarkFailed);
        EXPECT_FALSE(Open().LoadIndex());
        EXPECT_EQ(m_sink.Take(), (Ids{1297, 1297, 1297, 1297}));
        EXPECT_EQ(base.Offsets().size(), 2u);
    }
    // A reader holding it for a moment is waited for.
    std::promise<void> locked;
    std::thread reader([this, &locked] {
        platform::File shared;
        ASSERT_TRUE(shared.Open(path(), platform::FileMode::ReadShared));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    locked.get_future().wait();
    Append(base, Body("PC1", "stored"));
    reader.join();
    EXPECT_TRUE(m_sink.Take().empty());
}

TEST_F(MessageBaseTest, ReadsDistrustAChangedFileAndAFailedStepLeavesThePosition) {
    MessageBase base = Loaded();
    for (const char* text : {"one", "two", "three"})
        Append(base, Body("PC1", text));
    std::string bytes = ReadFileBytes(path());
    bytes[base.Offsets()[2] + 4] = 7;                          // record 2 damaged
    WriteFileBytes(path(), bytes.substr(0, bytes.size() - 5)); // and the file cut
    MessageRecord r;
    r.SetBody("on display");
    base.SetCurrent(1);
    EXPECT_FALSE(base.NextRecord(r));
    EXPECT_EQ(base.Current(), 1u);
    EXPECT_EQ(r.BodyBytes(), "on display");
    EXPECT_EQ(base.NewCount(), 3) << "nothing was left, nothing marked";
    EXPECT_EQ(base.ReadRecord(3, r), MessageBase::kReadFailed);
    EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kRead);
    EXPECT_EQ(m_sink.Take(), (Ids{1299, 1299}));
}

TEST_F(MessageBaseTest, AppendGoesRightBehindTheLastWholeRecord) {
    const std::string good = Raw(Body("A", "x"), 1);
    for (const std::string& tail : {std::string("zzz"), Raw(Body("B", "y"), 0).substr(0, 10),
                                    Raw(Body("B", "yyyy"), 0).substr(0, 33)}) {
        SCOPED_TRACE(tail.size());
        WriteFileBytes(path(), good + tail);
        MessageBase base = Loaded();
        Append(base, Body("PC1", "new"));
        MessageRecord appended;
        ASSERT_EQ(base.ReadRecord(2, appended), MessageBase::kRead);
        EXPECT_EQ(ReadFileBytes(path()), good + EncodeRecord(appended)) << "the tail is cut off";
        EXPECT_EQ(Loaded().Offsets(), base.Offsets());
    }
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, RecordsAnIndexMissedAreIndexedBeforeTheNextAppend) {
    WriteFileBytes(path(), Raw(Body("A", "1"), 0) + Raw(Body("A", "2"), 1));
    MessageBase base = Open();
    {
        platform::File holder; // a start while another program held the base
        Hold(holder);
        EXPECT_FALSE(base.LoadIndex());
    }
    Append(base, Body("PC1", "3"));
    EXPECT_EQ(base.Count(), 3u);
    EXPECT_EQ(base.NewCount(), 2);
    base.SetCurrent(3);
    base.ClearBase();
    EXPECT_EQ(base.Count(), 0u);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.Current(), 0u);
    EXPECT_EQ(base.Offsets().size(), 1u);
    EXPECT_EQ(ReadFileBytes(path()), "") << "all three were indexed, all three deleted";
}

TEST_F(MessageBaseTest, RecordsTheFileCannotTakeWaitInOrder) {
    MessageBase base = Loaded();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> stored;
    base.onStored = [&stored](std::uint64_t t, std::uint32_t i) { stored.emplace_back(t, i); };
    std::uint64_t tickets[3] = {};
    MessageRecord r;
    {
        platform::File holder;
        Hold(holder);
        for (int i = 0; i < 2; ++i) {
            r.SetBody(Body("PC1", std::to_string(i)));
            EXPECT_EQ(base.Store(r, tickets[i]), 0u);
            EXPECT_EQ(base.StorePending(), static_cast<std::size_t>(i + 1));
        }
        EXPECT_EQ(m_sink.Take(), Ids{1297}) << "once for the whole run of failures";
    }
    r.SetBody(Body("PC1", "2"));
    EXPECT_EQ(base.Store(r, tickets[2]), 3u) << "behind the two that waited";
    EXPECT_EQ(stored, (decltype(stored){{tickets[0], 1}, {tickets[1], 2}, {tickets[2], 3}}));
    MessageBase reloaded = Loaded();
    for (std::uint32_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(reloaded.ReadRecord(i, r), MessageBase::kRead);
        EXPECT_EQ(r.BodyBytes(), Body("PC1", std::to_string(i - 1)));
    }
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
    EXPECT_EQ(m_sink.Take(), Ids{1297});
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
    ASSERT_EQ(::truncate(path().c_str(), 0), 0); // another program cuts the file
    const auto touch = [](void* context) {
        const auto& m = *static_cast<const platform::MappedFile*>(context);
        volatile int sum = 0;
        for (std::uint64_t i = 0; i < m.Size(); i += 4096)
            sum = sum + m.Data()[i];
    };
    EXPECT_FALSE(platform::ReadGuarded(touch, &mapped));
    EXPECT_TRUE(platform::ReadGuarded([](void*) {}, nullptr)) << "the next read is guarded anew";
}

} // namespace
} // namespace kestrola::core
