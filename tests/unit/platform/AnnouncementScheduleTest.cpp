#include "platform/netbios/AnnouncementSchedule.h"

#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

using namespace std::chrono_literals;
using Clock = AnnouncementSchedule::Clock;

const Clock::time_point kStart{std::chrono::hours(2)};

TEST(AnnouncementScheduleTest, FirstAtOnceThenOneMinuteLongerEachTimeUpToTwelve) {
    AnnouncementSchedule schedule;
    EXPECT_FALSE(schedule.Due(kStart)) << "nothing is due before the start";
    schedule.Start(kStart);
    Clock::time_point now = kStart;
    std::vector<long> periodicities;
    for (int i = 0; i < 14; ++i) {
        ASSERT_TRUE(schedule.Due(now)) << i;
        const auto periodicity = schedule.Announce(now);
        periodicities.push_back(static_cast<long>(periodicity.count()));
        EXPECT_FALSE(schedule.Due(now + periodicity - 1ms));
        EXPECT_EQ(schedule.Next(), now + periodicity) << "the periodicity is the time to the next";
        now += periodicity;
    }
    EXPECT_EQ(periodicities, (std::vector<long>{60, 120, 180, 240, 300, 360, 420, 480, 540, 600,
                                                660, 720, 720, 720}));
}

TEST(AnnouncementScheduleTest, ARequestBringsTheNextAnnouncementCloser) {
    struct Case {
        int announcementsBefore;
        std::chrono::milliseconds delay;
        long periodicityAfter; // of the announcement the request brings
    };
    // After 12 announcements the interval is 12 minutes: a request brings it down to 3 (and the
    // announcement then says 4); early on it stays as short as it is.
    const Case cases[] = {{12, 1500ms, 240}, {1, 0ms, 120}, {3, 2000ms, 240}, {5, 10ms, 240}};
    for (const Case& c : cases) {
        AnnouncementSchedule schedule;
        schedule.Start(kStart);
        Clock::time_point now = kStart;
        for (int i = 0; i < c.announcementsBefore; ++i)
            now += schedule.Announce(now);
        now -= 30s; // the request comes half a minute before the next one
        schedule.Requested(now, c.delay, 1);
        EXPECT_FALSE(schedule.Due(now + c.delay - 1ms)) << c.announcementsBefore;
        ASSERT_TRUE(schedule.Due(now + c.delay)) << c.announcementsBefore;
        EXPECT_EQ(schedule.Announce(now + c.delay).count(), c.periodicityAfter)
            << c.announcementsBefore;
    }
}

TEST(AnnouncementScheduleTest, ARequestNeverPutsOffADueAnnouncement) {
    AnnouncementSchedule schedule;
    schedule.Start(kStart);
    schedule.Announce(kStart);
    schedule.Requested(kStart + 59s, 2s, 1);
    EXPECT_TRUE(schedule.Due(kStart + 60s));
}

TEST(AnnouncementScheduleTest, AStreamOfRequestsBringsFewAnswers) {
    struct Case {
        bool sameRequester;
        std::size_t answers;
        std::chrono::milliseconds first, spacing; // of the answers, at least
    };
    // 120 requests in 60 s, each asking for an answer at once: one requester is answered once
    // per ten seconds, forged requesters once per two seconds.
    const Case cases[] = {{true, 6, 5500ms, 9500ms}, {false, 30, 5500ms, 2s}};
    for (const Case& c : cases) {
        AnnouncementSchedule schedule;
        schedule.Start(kStart);
        schedule.Announce(kStart);
        std::vector<Clock::time_point> answers;
        for (std::uint32_t i = 0; i < 120; ++i) {
            const Clock::time_point now = kStart + 5s + i * 500ms;
            if (schedule.Due(now)) {
                answers.push_back(now);
                schedule.Announce(now);
            }
            schedule.Requested(now, 0ms, c.sameRequester ? 7 : i);
        }
        ASSERT_EQ(answers.size(), c.answers) << c.sameRequester;
        EXPECT_EQ(answers[0] - kStart, c.first);
        for (std::size_t i = 1; i < answers.size(); ++i)
            EXPECT_GE(answers[i] - answers[i - 1], c.spacing) << i;
    }
}

// The requesters remembered are bounded; one beyond them is held back by the answer gap alone.
TEST(AnnouncementScheduleTest, ARequesterBeyondTheRememberedIsHeldOnlyByTheAnswerGap) {
    AnnouncementSchedule schedule;
    schedule.Start(kStart);
    schedule.Announce(kStart);
    const Clock::time_point asked = kStart + 5s;
    const std::uint32_t beyond = AnnouncementSchedule::kMaxRequesters;
    for (std::uint32_t requester = 0; requester <= beyond; ++requester)
        schedule.Requested(asked, 0ms, requester);
    ASSERT_TRUE(schedule.Due(asked));
    schedule.Announce(asked);
    const Clock::time_point again = asked + 3s;
    schedule.Requested(again, 0ms, beyond);
    EXPECT_TRUE(schedule.Due(again));
    schedule.Announce(again);
    schedule.Requested(again + 3s, 0ms, 0); // remembered: not before the requester gap
    EXPECT_EQ(schedule.Next(), asked + AnnouncementSchedule::kRequesterGap);
}

TEST(AnnouncementScheduleTest, AStoppedScheduleIgnoresRequests) {
    AnnouncementSchedule schedule;
    schedule.Requested(kStart, 0ms, 1);
    EXPECT_FALSE(schedule.Due(kStart + 1h));
    schedule.Start(kStart);
    schedule.Stop();
    EXPECT_FALSE(schedule.Running());
    EXPECT_FALSE(schedule.Due(kStart + 1h));
}

} // namespace
} // namespace kestrola::platform
