#include "RecordingReportSink.h"
#include "TempDir.h"
#include "fakes/FixedClock.h"
#include "platform/File.h"
#include "store/HistoryLog.h"
#include "store/MessageBase.h"
#include "store/Stamp.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;

TEST(Stamp, LayoutAndParse) {
    EXPECT_EQ(FormatTwoDigits(7), "07");
    EXPECT_EQ(FormatTwoDigits(2005), "2005");
    const auto stamp = MakeStamp({2005, 12, 6, 9, 5, 7});
    EXPECT_EQ(std::string(stamp.data(), stamp.size()),
              std::string("09:05:07 , 06/12/2005\0\0", 23));
    const auto parsed = ParseStamp("23:59:59 , 31/01/2007");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->day, 31);
    EXPECT_EQ(parsed->year, 2007);
    EXPECT_FALSE(ParseStamp("23:59:59 - 31/01/2007"));
    EXPECT_FALSE(ParseStamp("garbage"));
}

TEST(HistoryLog, WriteHistoryAppendsEntriesAndReportsALockedFileOncePerRun) {
    const std::string rule = std::string(80, '-') + "\r\n\r\n";
    EXPECT_EQ(FormatHistoryEntry("A", "B", "t", "one\r\ntwo"),
              "From: A\r\nTo:   B\r\nDate: t\r\n\r\none\r\ntwo\r\n" + rule);
    testing::TempDir dir;
    testing::RecordingReportSink sink;
    platform::testing::FixedClock clock({2006, 1, 6, 14, 3, 9});
    MessageBase base(dir.File("base.msg"), dir.File("log.txt"), clock);
    MessageRecord r;
    r.from = "PC1";
    r.to = "//Error";
    r.text = "hi";
    base.WriteHistory(r);
    clock.Set({2006, 1, 6, 14, 3, 10});
    base.WriteHistory(r);
    std::string log = ReadFileBytes(dir.File("log.txt"));
    EXPECT_EQ(log, "From: PC1\r\nTo:   //Error\r\nDate: 14:03:0906/01/2006\r\n\r\nhi\r\n" + rule +
                       FormatHistoryEntry("PC1", "//Error", "14:03:1006/01/2006", "hi"));
    EXPECT_TRUE(sink.ids.empty());
    for (int run = 0; run < 2; ++run) {
        {
            platform::File holder;
            ASSERT_TRUE(holder.Open(dir.File("log.txt"), platform::FileMode::ReadWriteExclusive));
            base.WriteHistory(r);
            base.WriteHistory(r);
        }
        EXPECT_EQ(sink.Take(), std::vector<int>{1297}) << "once per run of failures";
        EXPECT_EQ(ReadFileBytes(dir.File("log.txt")), log);
        base.WriteHistory(r);
        log = ReadFileBytes(dir.File("log.txt"));
    }
}

} // namespace
} // namespace kestrola::core
