#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "store/BaseFormat.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::WindowState;

std::string Stored(const platform::CodePage& codePage, const std::string& text) {
    core::MessageRecord r;
    r.SetBody(core::EncodeDatagram(codePage, "PC3", "WORKGROUP", text));
    r.state = 1;
    const std::string stamp = "08:00:00 , 01/01/2006";
    std::copy(stamp.begin(), stamp.end(), r.stamp.begin());
    return core::EncodeRecord(r);
}

struct ShowCase {
    int autoShow;
    bool fullBase; // two read messages stored before
    // After the first and after the second arrival: position, counters, viewer text.
    std::string afterFirst;
    std::string afterSecond;
};

class ReceiveShowing : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ReceiveShowing, FollowsAutoShowNewMsg) {
    const ShowCase c = GetParam();
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", c.autoShow);
    if (c.fullBase)
        WriteFileBytes(h.basePath, Stored(*h.codePage, "old 1") + Stored(*h.codePage, "old 2"));
    h.Start();
    const auto state = [&h] {
        return h.view.labels[core::kPositionLabel] + " " + h.view.labels[core::kCountersLabel] +
               " " + h.view.viewer;
    };
    h.Arrive(*h.pc2, "PC1", "first");
    h.Arrive(*h.pc2, "PC1", "second");
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(state(), c.afterFirst);
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(state(), c.afterSecond);
    EXPECT_EQ(h.window->Base().Count(), c.fullBase ? 4u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ReceiveShowing,
                         ::testing::Values(ShowCase{0, false, "1 1/1 first", "1 2/2 first"},
                                           ShowCase{0, true, "1 3/1 old 1", "1 4/2 old 1"},
                                           ShowCase{1, false, "1 1/1 first", "2 2/2 second"},
                                           ShowCase{1, true, "3 3/1 first", "4 4/2 second"}));

TEST(Receive, AMessageNotShownIsDecodedOnItsOwnForTheLogAndTheSound) {
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", 0);
    h.Set("SendRecervieSettings", "History", 1);
    h.Start();
    h.Arrive(*h.pc3, "WORKGROUP", "to all");
    ASSERT_TRUE(h.Tick().shown);
    h.Arrive(*h.pc2, "PC1", "just for you");
    const core::ReceiveOutcome second = h.Tick();
    EXPECT_TRUE(second.received);
    EXPECT_FALSE(second.shown);
    EXPECT_TRUE(second.personal) << "decided from its own recipient";
    EXPECT_EQ(h.sound.played, (std::vector<std::string>{"group.wav", "personal.wav"}));
    // The record on display is untouched: a reply still answers its sender.
    EXPECT_EQ(h.view.viewer, "to all");
    h.window->OnCommand(core::kReplyButton);
    EXPECT_EQ(h.view.recipient, "PC3");
    const std::string log = ReadFileBytes(h.historyPath);
    EXPECT_NE(
        log.find("From: PC2\r\nTo:   PC1\r\nDate: 14:03:0906/01/2006\r\n\r\njust for you\r\n"),
        std::string::npos)
        << log;
}

TEST(Receive, BusyTicksTakeNothingAndOneDatagramComesPerTick) {
    MainWindowHarness h;
    h.Start();
    h.Arrive(*h.pc2, "PC1", "one");
    h.Arrive(*h.pc2, "PC1", "two");
    {
        const core::BusyScope busy = h.window->GetViewer().HoldBusy();
        for (int i = 0; i < 3; ++i) {
            const core::ReceiveOutcome outcome = h.Tick();
            EXPECT_TRUE(outcome.busy);
            EXPECT_FALSE(outcome.received);
        }
        EXPECT_EQ(h.window->Base().Count(), 0u);
    }
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(h.window->Base().Count(), 1u);
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(h.window->Base().Count(), 2u);
    EXPECT_FALSE(h.Tick().received);
}

struct AnnounceCase {
    std::string target;
    int personalSound;
    int groupSound;
    int upOnPersonal;
    int upOnPopup;
    std::vector<std::string> sounds;
    bool raised;
};

class ReceiveAnnouncing : public ::testing::TestWithParam<AnnounceCase> {};

TEST_P(ReceiveAnnouncing, SoundAndRaiseByPersonalOrGroup) {
    const AnnounceCase c = GetParam();
    MainWindowHarness h;
    h.Set("EventsSettings", "EnablePersonalSound", c.personalSound);
    h.Set("EventsSettings", "EnableGroupSound", c.groupSound);
    h.Set("EventsSettings", "UpWindowOnPersonal", c.upOnPersonal);
    h.Set("EventsSettings", "UpWindowOnPopup", c.upOnPopup);
    h.Set("EventsSettings", "PersonalSoundFile", "mine.wav");
    h.Start();
    h.view.state = WindowState::Hidden;
    if (c.target.empty())
        h.ArriveRaw(std::string("PC2\0\0text\0", 10)); // the recipient decodes as "//Error"
    else
        h.ArriveRaw(core::EncodeDatagram(*h.codePage, "PC2", "", "x").replace(4, 0, c.target));
    ASSERT_TRUE(h.Tick().received);
    EXPECT_EQ(h.sound.played, c.sounds);
    EXPECT_EQ(h.view.state == WindowState::Normal, c.raised);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ReceiveAnnouncing,
                         ::testing::Values(AnnounceCase{"PC1", 1, 1, 1, 0, {"mine.wav"}, true},
                                           AnnounceCase{"pc1", 1, 1, 0, 1, {"mine.wav"}, false},
                                           AnnounceCase{"PC1", 0, 1, 1, 1, {}, true},
                                           AnnounceCase{
                                               "WORKGROUP", 1, 1, 1, 0, {"group.wav"}, false},
                                           AnnounceCase{"*", 1, 2, 0, 1, {}, true},
                                           AnnounceCase{"PC2", 1, 1, 0, 1, {"group.wav"}, true},
                                           AnnounceCase{"", 1, 1, 1, 0, {"group.wav"}, false}));

TEST(Receive, ARepeatedDatagramIsFlaggedButStoredAndAnnouncedAgain) {
    MainWindowHarness h;
    h.Start();
    const std::string bytes = core::EncodeDatagram(*h.codePage, "PC2", "PC1", "again");
    h.ArriveRaw(bytes);
    h.ArriveRaw(bytes);
    EXPECT_FALSE(h.Tick().duplicate);
    EXPECT_TRUE(h.Tick().duplicate);
    EXPECT_EQ(h.window->Base().Count(), 2u);
    EXPECT_EQ(h.sound.played.size(), 2u);
    // With the default window of two ticks it has closed after three quiet ones.
    for (int i = 0; i < 3; ++i)
        h.Tick();
    h.ArriveRaw(bytes);
    EXPECT_FALSE(h.Tick().duplicate);
}

struct WaitCase {
    int autoShow;
    bool oldRecord;
    // While the base cannot take them, then once it can: position, counters, viewer text.
    std::string whileFull;
    std::string afterwards;
    std::string replyTo; // Reply answers the message on display, stored or not
};

class ReceiveIntoAFullBase : public ::testing::TestWithParam<WaitCase> {};

TEST_P(ReceiveIntoAFullBase, MessagesWaitInOrderAndAreShownWithoutAPosition) {
    const WaitCase c = GetParam();
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", c.autoShow);
    if (c.oldRecord)
        WriteFileBytes(h.basePath, Stored(*h.codePage, "old"));
    h.Start();
    const auto state = [&h] {
        return h.view.labels[core::kPositionLabel] + " " + h.view.labels[core::kCountersLabel] +
               " " + h.view.viewer;
    };
    h.Arrive(*h.pc2, "PC1", "first");
    h.Arrive(*h.pc3, "PC1", "second");
    {
        const FileSizeLimit full(c.oldRecord ? 60 : 4);
        EXPECT_FALSE(h.Tick().stored);
        EXPECT_FALSE(h.Tick().stored);
        EXPECT_EQ(state(), c.whileFull);
        h.window->OnCommand(core::kReplyButton);
        EXPECT_EQ(h.view.recipient, c.replyTo);
    }
    EXPECT_EQ(h.reports.Take(), std::vector<int>{core::kOpenWriteCreateFile}) << "told once";
    EXPECT_FALSE(h.Tick().received);
    EXPECT_EQ(state(), c.afterwards);
    core::MessageBase reloaded(h.basePath, h.historyPath, h.clock);
    ASSERT_TRUE(reloaded.LoadIndex());
    core::MessageRecord r;
    ASSERT_EQ(reloaded.ReadRecord(reloaded.Count(), r), core::MessageBase::kRead);
    EXPECT_EQ(r.BodyBytes(), core::EncodeDatagram(*h.codePage, "PC3", "PC1", "second"));
    EXPECT_TRUE(h.reports.Take().empty());
}

INSTANTIATE_TEST_SUITE_P(Matrix, ReceiveIntoAFullBase,
                         ::testing::Values(WaitCase{0, false, "- 0/0 first", "1 2/2 first", "PC2"},
                                           WaitCase{1, true, "- 1/0 second", "3 3/2 second", "PC3"},
                                           WaitCase{0, true, "1 1/0 old", "1 3/2 old", "PC3"}));

TEST(Receive, DeletingAMessageThatWaitsLeavesTheStoredOnes) {
    MainWindowHarness h;
    h.Set("EventsSettings", "AutoShowNewMSG", 1);
    WriteFileBytes(h.basePath, Stored(*h.codePage, "old"));
    h.Start();
    h.Arrive(*h.pc2, "PC1", "never stored");
    {
        const FileSizeLimit full(60);
        h.Tick();
        ASSERT_EQ(h.view.viewer, "never stored");
        h.window->OnCommand(core::kDeleteButton);
    }
    h.Tick();
    EXPECT_EQ(h.view.viewer, "old");
    EXPECT_EQ(h.view.labels[core::kPositionLabel], "1");
    EXPECT_EQ(ReadFileBytes(h.basePath), Stored(*h.codePage, "old"));
    EXPECT_EQ(h.window->Base().PendingCount(), 0u);
}

} // namespace
} // namespace kestrola::testing
