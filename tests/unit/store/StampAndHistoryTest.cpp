#include "store/HistoryLog.h"
#include "store/Stamp.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(Stamp, LayoutAndParse) {
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

TEST(HistoryLog, EntryLayout) {
    EXPECT_EQ(FormatHistoryEntry("A", "B", "t", "one\r\ntwo"),
              "From: A\r\nTo:   B\r\nDate: t\r\n\r\none\r\ntwo\r\n" + std::string(80, '-') +
                  "\r\n\r\n");
}

} // namespace
} // namespace kestrola::core
