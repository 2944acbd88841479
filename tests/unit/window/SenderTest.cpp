#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "store/HistoryLog.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using Strings = std::vector<std::string>;

// A harness whose PC2 and PC3 listen on their messenger mailslots.
class SenderTest : public ::testing::Test {
protected:
    SenderTest() {
        h.pc2->CreateMailslot("\\\\.\\mailslot\\MESSNGR", pc2);
        h.pc3->CreateMailslot("\\\\.\\mailslot\\MESSNGR", pc3);
    }
    static Strings Heard(platform::MailslotReader& reader) {
        Strings heard;
        char buffer[1024];
        std::size_t got = 0;
        while (reader.Read(buffer, sizeof buffer, got, nullptr))
            heard.emplace_back(buffer, got);
        return heard;
    }
    std::string Datagram(const std::string& to, const std::string& text) {
        return core::EncodeDatagram(*h.codePage, "Pc1", to, text);
    }
    core::SendOutcome Send(const std::string& recipient, const std::string& text) {
        h.view.recipient = recipient;
        h.view.composer = text;
        h.window->OnTextsEdited();
        return h.window->GetSender().SendComposed();
    }

    MainWindowHarness h;
    std::unique_ptr<platform::MailslotReader> pc2, pc3;
};

// Length first (recipient and text up to 100), then a recipient, then a text; each refusal
// reports, moves the focus and leaves the texts.
TEST_F(SenderTest, ChecksRunInOrderAndMoveTheFocus) {
    h.Start();
    EXPECT_EQ(Send("PC2", std::string(97, 'a')).refusedWith, 0);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "100/100");
    EXPECT_EQ(Heard(*pc2).size(), 1u);
    const struct {
        std::string recipient, text;
        Strings checked;
        int refused, focus;
    } cases[] = {{std::string(30, 'R'), std::string(71, 'x'), {"PC2"}, core::kTooManySymbols, 0},
                 {"", "hello", {}, core::kEnterComputerName, core::kRecipientBox},
                 {"", "", {"PC2"}, core::kEnterMessageText, core::kComposerEdit}};
    for (const auto& c : cases) {
        h.view.focus = 0;
        h.network.checked = c.checked;
        EXPECT_EQ(Send(c.recipient, c.text).refusedWith, c.refused) << c.text;
        EXPECT_EQ(h.view.focus, c.focus);
        EXPECT_EQ(h.reports.Take(), std::vector<int>{c.refused});
        EXPECT_TRUE(Heard(*pc2).empty());
        EXPECT_EQ(h.view.composer, c.text);
    }
}

TEST_F(SenderTest, ATypedNameGetsOneUpperCasedDatagramAndTheBookkeeping) {
    h.Start({{"SendRecervieSettings", "History", 1}});
    EXPECT_EQ(Send("pc2", "hi").succeeded, 1);
    EXPECT_EQ(Heard(*pc2), Strings{Datagram("PC2", "hi")});
    EXPECT_EQ(h.view.recipientList, Strings{"PC2"});
    // The history copy: our name as the system gives it, the recipient as handed over.
    EXPECT_EQ(ReadFileBytes(h.historyPath),
              core::FormatHistoryEntry("Pc1", "pc2", "14:03:0906/01/2006", "hi"));
    Send("WORKGROUP", "all of you");
    EXPECT_EQ(Heard(*pc2).size(), 1u);
    EXPECT_TRUE(Heard(*pc3).empty()) << "PC3 is in OTHERGRP";
}

TEST_F(SenderTest, CheckedTreeItemsAreSentToInTreeOrderInsteadOfTheTypedName) {
    h.Start();
    h.network.checked = {"PC3", "PC2"};
    EXPECT_EQ(Send("OTHER", "news").recipients, (Strings{"PC3", "PC2"}));
    EXPECT_EQ(Heard(*pc3), Strings{Datagram("PC3", "news")});
    EXPECT_EQ(Heard(*pc2), Strings{Datagram("PC2", "news")});
    EXPECT_TRUE(h.network.checked.empty()) << "ClearSelected is on by default";
}

// The notice counts down only after every send succeeded; each failed recipient reports.
TEST(Sending, TheNoticeFollowsTheTimeoutAndTheOutcome) {
    for (const auto& [timeout, fails] :
         {std::pair{3, false}, std::pair{0, false}, std::pair{1, true}}) {
        MainWindowHarness h;
        h.Start({{"SendRecervieSettings", "SuccesMessageTimeOut", timeout}});
        h.pc1->writeFails = fails;
        h.network.checked = {"PC2", "PC3"};
        h.view.composer = "x";
        h.window->GetSender().SendComposed();
        using Notices = std::vector<std::pair<int, int>>;
        EXPECT_EQ(h.view.notices,
                  (timeout && !fails ? Notices{{core::kSendSucceeded, timeout}} : Notices{}));
        const std::vector<int> failed = {core::kFailedSendToSlot, core::kNoRightSendLength,
                                         core::kFailedSendToSlot, core::kNoRightSendLength};
        EXPECT_EQ(h.reports.Take(), fails ? failed : std::vector<int>{});
    }
}

// The length indicator follows typing; after a send the composer is cleared and the send
// sound plays as the settings say.
TEST(Sending, ClearMinimiseAndSoundFollowTheSettings) {
    for (const int on : {0, 1}) {
        MainWindowHarness h;
        h.Set("EventsSettings", "SendSoundFile", "sent.wav");
        h.Start({{"SendRecervieSettings", "ClearTextBox", on},
                 {"SendRecervieSettings", "MinimiseAfterSend", on},
                 {"EventsSettings", "EnableSendSound", on}});
        h.network.checked = {"PC2"};
        h.view.composer = "hello";
        h.window->OnTextsEdited();
        EXPECT_EQ(h.view.labels[core::kLengthIndicator], "5/100");
        h.window->GetSender().SendComposed();
        EXPECT_EQ(h.view.composer, on ? "" : "hello");
        EXPECT_EQ(h.sound.played, on ? Strings{"sent.wav"} : Strings{});
        EXPECT_EQ(h.view.state != core::WindowState::Normal, on == 1);
    }
}

TEST_F(SenderTest, SentCopiesAreStoredReadButNeverForOurOwnName) {
    h.Start({{"SendRecervieSettings", "IncludeSendedInBase", 1},
             {"EventsSettings", "AutoShowNewMSG", 0}});
    Send("PC2", "first copy");
    EXPECT_EQ(h.Shown(), "1 1/0 first copy") << "the empty base shows the copy";
    EXPECT_EQ(h.view.labels[core::kFromToLabel], "Pc1 to PC2");
    Send("PC3", "second copy");
    EXPECT_EQ(h.Shown(), "1 2/0 first copy") << "AutoShowNewMSG 0 keeps the viewer";
    Send("pc1", "to myself");
    EXPECT_EQ(h.window->Base().Count(), 2u) << "stored only when it arrives";
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(h.window->Base().Count(), 3u);
}

// The quote follows "ExcludeDoubleReply" (1: earlier quotes left out).
TEST(Sending, ReplyQuotesTheShownTextAndMarksItRead) {
    MainWindowHarness h;
    h.Start({{"SendRecervieSettings", "ExcludeDoubleReply", 1}});
    h.Arrive(*h.pc2, "PC1", "Hi\r\n> old\r\nbye");
    ASSERT_TRUE(h.Tick().shown);
    h.window->OnCommand(core::kReplyButton);
    EXPECT_EQ(h.view.composer, ">Hi\r\n>bye\r\n");
    EXPECT_EQ(h.view.recipient, "PC2");
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "1/0");
    EXPECT_TRUE(h.view.expanded);
}

// "HistoryLenght" caps the recent recipients the window lists.
TEST_F(SenderTest, RecentRecipientsFollowHistoryLenght) {
    h.Start({{"SendRecervieSettings", "SuccesMessageTimeOut", 0},
             {"SendRecervieSettings", "HistoryLenght", 2}});
    for (const char* name : {"A1", "A2", "A3"})
        Send(name, "x");
    EXPECT_EQ(h.view.recipientList, (Strings{"A2", "A3"}));
}

} // namespace
} // namespace kestrola::testing
