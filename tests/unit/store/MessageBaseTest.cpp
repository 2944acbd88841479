#include "store/MessageBase.h"

#include "FileSizeLimit.h"
#include "RecordingReportSink.h"
#include "TempDir.h"
#include "fakes/FixedClock.h"
#include "platform/File.h"
#include "store/BaseFormat.h"
#include "store/HistoryLog.h"

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
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
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

template <typename Parts> std::string Join(const Parts& parts, const std::vector<int>& kept) {
    std::string joined;
    for (const int part : kept)
        joined += parts[part];
    return joined;
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
    // A start removes the replacements a crash left, not one being written nor foreign files.
    WriteFileBytes(m_dir.File(".Murmeli.msg.a1b2c3"), "left by a crash");
    WriteFileBytes(m_dir.File(".Murmeli.msg.keep"), "not our pattern");
    platform::File live;
    std::string livePath;
    ASSERT_TRUE(live.CreateTemporaryBeside(path(), livePath));
    MessageBase base = Loaded(); // a missing file is created empty
    EXPECT_FALSE(testing::FileExists(m_dir.File(".Murmeli.msg.a1b2c3")));
    EXPECT_TRUE(testing::FileExists(m_dir.File(".Murmeli.msg.keep")));
    EXPECT_TRUE(testing::FileExists(livePath));
    MessageRecord r;
    EXPECT_EQ(base.ReadRecord(0, r), MessageBase::kReadIndexZero);
    EXPECT_FALSE(base.NextRecord(r));
    Append(base, Body("PC1", "hi"), 0);
    m_clock.Set({2006, 1, 31, 23, 59, 59});
    const std::string sent = Body("ME", std::string(300, 's')); // a length above one byte
    Append(base, sent, 1);
    EXPECT_EQ(ReadFileBytes(path()),
              Raw(Body("PC1", "hi"), 0) +
                  Raw(sent, 1, std::string("23:59:59 , 31/01/2006\0\0", 23)));
    EXPECT_EQ(base.Offsets(), (std::vector<std::uint32_t>{0, 0, 39}));

    EXPECT_TRUE(base.LoadIndex());
    EXPECT_EQ(base.Offsets(), (std::vector<std::uint32_t>{0, 0, 39})) << "a reload starts afresh";
    EXPECT_EQ(base.Count(), 2u);
    EXPECT_EQ(base.NewCount(), 1);
    r.body.fill('x'); // an earlier, longer message
    ASSERT_EQ(base.ReadRecord(2, r), MessageBase::kRead);
    EXPECT_EQ(r.BodyBytes(), sent);
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
    EXPECT_FALSE(base.PreviousRecord(r));
    std::string marked = before;
    for (std::uint32_t i = 1; i <= 3; ++i)
        marked[base.Offsets()[i] + 4] = 1;
    EXPECT_EQ(ReadFileBytes(path()), marked) << "exactly the three state bytes";

    // MarkRead lowers the new count once; out of the index or on foreign bytes it writes nothing.
    Append(base, Body("PC1", "four"));
    EXPECT_EQ(base.MarkRead(0), MessageBase::kMarkIndexZero);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kMarkedRead);
    EXPECT_EQ(base.MarkRead(4), MessageBase::kAlreadyRead);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.MarkRead(5), MessageBase::kMarkFailed);
    std::string damaged = ReadFileBytes(path());
    damaged[base.Offsets()[4] + 4] = 7; // a state byte neither 0 nor 1
    for (const std::string& foreign : {damaged, std::string(damaged.size(), '\x7f')}) {
        WriteFileBytes(path(), foreign);
        EXPECT_EQ(base.MarkRead(4), MessageBase::kMarkFailed);
        EXPECT_EQ(ReadFileBytes(path()), foreign);
    }
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
        MessageRecord r; // a body longer than a record holds is cut; the stamp is the record's
        ASSERT_EQ(base.ReadRecord(2, r), MessageBase::kRead);
        EXPECT_EQ(r.bodyLength, kBodyCapacity);
        EXPECT_EQ(std::string(r.stamp.data(), 21), "09:05:07 , 06/12/2005");
        base.SetCurrent(c.currentBefore);
        ASSERT_EQ(base.DeleteRecord(c.index), MessageBase::kDeleted);
        EXPECT_EQ(base.Count(), 2u);
        EXPECT_EQ(base.NewCount(), c.index == 3 ? 0 : 1);
        EXPECT_EQ(base.Current(), c.currentAfter);
        EXPECT_EQ(ReadFileBytes(path()), Join(records, c.kept));
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
        EXPECT_EQ(ReadFileBytes(path()), Join(parts, c.kept));
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
    {
        testing::FileSizeLimit full(offsets[3] + 4); // the state byte cannot be written
        EXPECT_EQ(base.MarkRead(3), MessageBase::kMarkFailed);
    }
    { // nor made: one descriptor is left, for the base
        const int spare = ::open("/dev/null", O_RDONLY);
        ::close(spare);
        rlimit old{};
        ::getrlimit(RLIMIT_NOFILE, &old);
        const rlimit one{static_cast<rlim_t>(spare + 1), old.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &one);
        EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed);
        ::setrlimit(RLIMIT_NOFILE, &old);
    }
    EXPECT_EQ(m_sink.Take(), (Ids{1297, 1297, 1297, 1297, 1297}));
    EXPECT_EQ(base.NewCount(), 3);
    EXPECT_EQ(ReadFileBytes(path()), before);
    EXPECT_EQ(ReadFileBytes(m_dir.File("Murmeli.txt")), log);
    EXPECT_EQ(base.Offsets(), offsets);
    EXPECT_EQ(base.Count(), 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2)
        << "no temporary file is left";
}

TEST_F(MessageBaseTest, FileHeldByAnotherOpenerAndRecordsAnIndexMissed) {
    WriteFileBytes(path(), Raw(Body("A", "1"), 0) + Raw(Body("A", "2"), 1));
    MessageBase base = Open();
    for (int held = 0; held < 2; ++held) {
        platform::File holder;
        Hold(holder);
        MessageRecord r;
        r.SetBody(Body("PC1", "y"));
        EXPECT_FALSE(held == 0 ? base.LoadIndex() : base.AppendRecord(r));
        if (held == 1) {
            EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kReadFailed);
            EXPECT_EQ(base.MarkRead(1), MessageBase::kMarkFailed);
            EXPECT_EQ(base.Offsets().size(), 4u);
        }
        holder.Close();
        Append(base, Body("PC1", "3")); // the two records the failed load missed come first
    }
    EXPECT_EQ(m_sink.Take(), (Ids{1297, 1297, 1297, 1297}));
    EXPECT_EQ(base.Count(), 4u);
    EXPECT_EQ(base.NewCount(), 3);
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
    base.SetCurrent(5);
    base.ClearBase();
    EXPECT_EQ(base.Count(), 0u);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.Current(), 0u);
    EXPECT_EQ(base.Offsets().size(), 1u);
    EXPECT_EQ(ReadFileBytes(path()), "") << "all were indexed, all deleted";
}

TEST_F(MessageBaseTest, ReadsAndDeletesDistrustAChangedFileAndAFailedStepLeavesThePosition) {
    MessageBase base = Loaded();
    for (const char* text : {"one", "two", "three"})
        Append(base, Body("PC1", text));
    std::string bytes = ReadFileBytes(path());
    bytes.replace(base.Offsets()[2], 4, Le32(3)); // record 2's length damaged
    bytes.resize(bytes.size() - 5);               // and the file cut
    WriteFileBytes(path(), bytes);
    MessageRecord r;
    r.SetBody("on display");
    base.SetCurrent(1);
    EXPECT_FALSE(base.NextRecord(r));
    EXPECT_EQ(base.Current(), 1u);
    EXPECT_EQ(r.BodyBytes(), "on display");
    EXPECT_EQ(base.NewCount(), 3) << "nothing was left, nothing marked";
    EXPECT_EQ(base.ReadRecord(3, r), MessageBase::kReadFailed);
    EXPECT_EQ(base.ReadRecord(1, r), MessageBase::kRead);
    EXPECT_EQ(base.DeleteRecord(2), MessageBase::kDeleteFailed) << "its bytes hold no record now";
    EXPECT_EQ(ReadFileBytes(path()), bytes);
    EXPECT_EQ(m_sink.Take(), (Ids{1299, 1299, 1299}));
}

TEST_F(MessageBaseTest, AppendGoesRightBehindTheLastWholeRecord) {
    const std::string good = Raw(Body("A", "x"), 1);
    for (const std::string& tail : {std::string("zzz"), Raw(Body("B", "y"), 0).substr(0, 10),
                                    Raw(Body("B", "yyyy"), 0).substr(0, 33)}) {
        WriteFileBytes(path(), good + good + tail);
        MessageBase base = Loaded();
        ASSERT_EQ(base.DeleteRecord(2), MessageBase::kDeleted); // the last whole record
        Append(base, Body("PC1", "new"));
        EXPECT_EQ(ReadFileBytes(path()), good + Raw(Body("PC1", "new"), 0))
            << "the tail is cut off";
        EXPECT_EQ(Loaded().Offsets(), base.Offsets());
    }
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(MessageBaseTest, RecordsTheFileCannotTakeWaitInOrder) {
    MessageBase base = Loaded();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> stored, expected;
    base.onStored = [&stored](std::uint64_t t, std::uint32_t i) { stored.emplace_back(t, i); };
    MessageRecord r;
    std::string file;
    for (std::uint32_t run = 0; run < 2; ++run) {
        std::uint64_t tickets[3] = {};
        {
            platform::File holder;
            Hold(holder);
            for (int i = 0; i < 2; ++i) {
                r.SetBody(Body("PC1", std::to_string(i)));
                EXPECT_EQ(base.Store(r, tickets[i]), 0u);
                EXPECT_EQ(base.StorePending(), static_cast<std::size_t>(i + 1));
            }
            EXPECT_EQ(m_sink.Take(), Ids{1297}) << "once for each run of failures";
        }
        r.SetBody(Body("PC1", "2"));
        EXPECT_EQ(base.Store(r, tickets[2]), 3 * run + 3) << "behind the two that waited";
        for (std::uint32_t i = 0; i < 3; ++i) {
            expected.emplace_back(tickets[i], 3 * run + i + 1);
            file += Raw(Body("PC1", std::to_string(i)), 0);
        }
    }
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(ReadFileBytes(path()), file);
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

TEST_F(MessageBaseTest, HistoryIsAppendedAndALockedLogReportedOncePerRun) {
    MessageBase base = Open();
    MessageRecord r;
    r.from = "PC1";
    r.text = "hi";
    m_clock.Set({2006, 1, 6, 14, 3, 9});
    base.WriteHistory(r);
    m_clock.Set({2006, 1, 6, 14, 3, 10});
    base.WriteHistory(r);
    const std::string log = m_dir.File("Murmeli.txt");
    std::string logged = ReadFileBytes(log);
    EXPECT_EQ(logged, FormatHistoryEntry("PC1", "", "14:03:0906/01/2006", "hi") +
                          FormatHistoryEntry("PC1", "", "14:03:1006/01/2006", "hi"));
    for (int run = 0; run < 2; ++run) {
        {
            platform::File holder;
            ASSERT_TRUE(holder.Open(log, platform::FileMode::ReadWriteExclusive));
            base.WriteHistory(r);
            base.WriteHistory(r);
        }
        EXPECT_EQ(m_sink.Take(), Ids{1297}) << "once per run of failures";
        EXPECT_EQ(ReadFileBytes(log), logged);
        base.WriteHistory(r);
        logged = ReadFileBytes(log);
    }
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
