#include "store/NoticeCountdown.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(NoticeCountdown, CountsDownToCloseAtZero) {
    for (const int seconds : {1, 3, 5}) {
        NoticeCountdown countdown(seconds);
        ASSERT_TRUE(countdown.Start());
        std::vector<std::string> shown{countdown.Text()};
        int ticks = 0;
        bool closed = false;
        while (!closed && ticks < 10) {
            closed = countdown.Tick();
            ++ticks;
            shown.push_back(countdown.Text());
        }
        EXPECT_TRUE(closed);
        EXPECT_EQ(ticks, seconds);
        EXPECT_FALSE(countdown.Running());
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(seconds) + 1);
        for (int i = 0; i <= seconds; ++i)
            EXPECT_EQ(shown[i], "Closing after: " + std::to_string(seconds - i) + " sec");
    }
}

TEST(NoticeCountdown, NoSecondsMeansNoCountdown) {
    for (const int seconds : {0, -1, -30}) {
        NoticeCountdown countdown(seconds);
        EXPECT_FALSE(countdown.Start()) << seconds;
        EXPECT_FALSE(countdown.Running());
    }
}

TEST(NoticeCountdown, StopEndsTheCountdown) {
    NoticeCountdown countdown(4);
    countdown.Start();
    countdown.Tick();
    countdown.Stop();
    EXPECT_FALSE(countdown.Running());
    EXPECT_EQ(countdown.Seconds(), 3);
    EXPECT_EQ(NoticeCountdown::CountdownText(1), "Closing after: 1 sec");
}

} // namespace
} // namespace kestrola::core
