#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "base/StatusTexts.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

// "AutoShowNewMSG" 1 shows each arrival; 0 shows only the first on an empty base.
TEST(Receive, ShowingFollowsAutoShowNewMsg) {
    const struct {
        int autoShow;
        bool oldMessages; // two read messages stored before
        const char *afterFirst, *afterSecond;
    } cases[] = {{0, false, "1 1/1 first", "1 2/2 first"},
                 {0, true, "1 3/1 old 1", "1 4/2 old 1"},
                 {1, false, "1 1/1 first", "2 2/2 second"},
                 {1, true, "3 3/1 first", "4 4/2 second"}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        if (c.oldMessages)
            WriteFileBytes(h.basePath, h.Record("PC3", "WORKGROUP", "old 1") +
                                           h.Record("PC3", "WORKGROUP", "old 2"));
        h.Start({{"EventsSettings", "AutoShowNewMSG", c.autoShow}});
        h.Arrive(*h.pc2, "PC1", "first");
        h.Arrive(*h.pc2, "PC1", "second");
        EXPECT_TRUE(h.Tick().received);
        EXPECT_EQ(h.Shown(), c.afterFirst);
        EXPECT_TRUE(h.Tick().received);
        EXPECT_EQ(h.Shown(), c.afterSecond);
    }
}

// Nothing is taken in while the window is busy; a repeat is stored and announced like any other.
TEST(Receive, NothingWhileBusyAndRepeatsAreStored) {
    MainWindowHarness h;
    h.Start();
    const std::string bytes = core::EncodeDatagram(*h.codePage, "PC2", "PC1", "again");
    h.ArriveRaw(bytes);
    h.ArriveRaw(bytes);
    {
        const core::BusyScope busy = h.window->GetViewer().HoldBusy();
        EXPECT_FALSE(h.Tick().received);
    }
    h.Tick();
    h.Tick();
    EXPECT_EQ(h.window->Base().Count(), 2u);
    EXPECT_EQ(h.sound.played.size(), 2u);
}

TEST(Receive, SoundAndRaiseByPersonalOrGroup) {
    const struct {
        std::string target; // "": the recipient decodes as "//Error"
        int personalSound, groupSound, upOnPersonal, upOnPopup;
        std::vector<std::string> sounds;
        bool raised;
    } cases[] = {{"PC1", 1, 1, 1, 0, {"mine.wav"}, true},
                 {"pc1", 1, 1, 0, 1, {"mine.wav"}, false},
                 {"WORKGROUP", 1, 1, 1, 0, {"group.wav"}, false},
                 {"*", 1, 2, 0, 1, {}, true},
                 {"", 1, 1, 1, 0, {"group.wav"}, false}};
    for (const auto& c : cases) {
        MainWindowHarness h;
        h.Set("EventsSettings", "PersonalSoundFile", "mine.wav");
        h.Start({{"EventsSettings", "EnablePersonalSound", c.personalSound},
                 {"EventsSettings", "EnableGroupSound", c.groupSound},
                 {"EventsSettings", "UpWindowOnPersonal", c.upOnPersonal},
                 {"EventsSettings", "UpWindowOnPopup", c.upOnPopup}});
        h.view.active = false; // behind another window
        h.ArriveRaw(
            c.target.empty()
                ? std::string("PC2\0\0text\0", 10)
                : core::EncodeDatagram(*h.codePage, "PC2", "", "x").replace(4, 0, c.target));
        ASSERT_TRUE(h.Tick().received);
        EXPECT_EQ(h.sound.played, c.sounds) << c.target << c.groupSound;
        EXPECT_EQ(h.view.active, c.raised) << c.target << c.upOnPopup;
    }
}

// While the base cannot take them, messages wait in order (shown without a position; Reply
// answers the one on display) and are stored once it can; the failure is told once.
TEST(Receive, MessagesWaitForAFullBaseInOrder) {
    for (const auto& [autoShow, oldRecord, whileFull, afterwards, replyTo] :
         {std::tuple{0, false, "- 0/0 first", "1 2/2 first", "PC2"},
          std::tuple{1, true, "- 1/0 second", "3 3/2 second", "PC3"}}) {
        MainWindowHarness h;
        if (oldRecord)
            WriteFileBytes(h.basePath, h.Record("PC3", "WORKGROUP", "old"));
        h.Start({{"EventsSettings", "AutoShowNewMSG", autoShow}});
        h.Arrive(*h.pc2, "PC1", "first");
        h.Arrive(*h.pc3, "PC1", "second");
        {
            const FileSizeLimit full(oldRecord ? 60 : 4);
            EXPECT_FALSE(h.Tick().stored);
            EXPECT_FALSE(h.Tick().stored);
            EXPECT_EQ(h.Shown(), whileFull);
            h.window->OnCommand(core::kReplyButton);
            EXPECT_EQ(h.view.recipient, replyTo);
        }
        EXPECT_EQ(h.reports.Take(), std::vector<int>{core::kOpenWriteCreateFile});
        EXPECT_FALSE(h.Tick().received);
        EXPECT_EQ(h.Shown(), afterwards);
        EXPECT_TRUE(h.reports.Take().empty());
        core::MessageBase reloaded(h.basePath, h.historyPath, h.clock);
        ASSERT_TRUE(reloaded.LoadIndex());
        core::MessageRecord r;
        ASSERT_EQ(reloaded.ReadRecord(reloaded.Count(), r), core::MessageBase::kRead);
        EXPECT_EQ(r.BodyBytes(), core::EncodeDatagram(*h.codePage, "PC3", "PC1", "second"));
    }
    // Deleting a waiting message leaves the stored ones.
    MainWindowHarness h;
    const std::string old = h.Record("PC3", "WORKGROUP", "old");
    WriteFileBytes(h.basePath, old);
    h.Start({{"EventsSettings", "AutoShowNewMSG", 1}});
    h.Arrive(*h.pc2, "PC1", "never stored");
    {
        const FileSizeLimit full(60);
        h.Tick();
        ASSERT_EQ(h.view.viewer, "never stored");
        h.window->OnCommand(core::kDeleteButton);
    }
    h.Tick();
    EXPECT_EQ(h.Shown(), "1 1/0 old");
    EXPECT_EQ(ReadFileBytes(h.basePath), old);
}

} // namespace
} // namespace kestrola::testing
