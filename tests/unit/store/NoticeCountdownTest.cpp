#include "store/NoticeCountdown.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(NoticeCountdown, CountsDownToCloseAtZero) {
    for (const int seconds : {1, 3}) {
        NoticeCountdown countdown(seconds);
        ASSERT_TRUE(countdown.Start());
        for (int left = seconds; left > 0; --left) {
            EXPECT_EQ(countdown.Text(), "Closing after: " + std::to_string(left) + " sec");
            EXPECT_EQ(countdown.Tick(), left == 1) << left;
        }
        EXPECT_EQ(countdown.Text(), "Closing after: 0 sec");
        EXPECT_FALSE(countdown.Running());
    }
    for (const int seconds : {0, -30}) {
        NoticeCountdown none(seconds);
        EXPECT_FALSE(none.Start()) << seconds;
        EXPECT_FALSE(none.Running());
    }
}

} // namespace
} // namespace kestrola::core
