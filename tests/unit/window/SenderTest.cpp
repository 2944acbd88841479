#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "store/BaseFormat.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

using core::WindowState;

// A harness whose PC2 and PC3 listen on their messenger mailslots.
class SenderTest : public ::testing::Test {
protected:
    SenderTest() {
        h.pc2->CreateMailslot("\\\\.\\mailslot\\MESSNGR", pc2);
        h.pc3->CreateMailslot("\\\\.\\mailslot\\MESSNGR", pc3);
    }
    static std::vector<std::string> Heard(platform::MailslotReader& reader) {
        std::vector<std::string> heard;
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
    std::unique_ptr<platform::MailslotReader> pc2;
    std::unique_ptr<platform::MailslotReader> pc3;
};

TEST_F(SenderTest, TheLengthRuleCountsRecipientAndTextUpTo100) {
    h.Start();
    EXPECT_EQ(Send("PC2", std::string(97, 'a')).refusedWith, 0);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "100/100");
    EXPECT_EQ(Heard(*pc2).size(), 1u);
    EXPECT_EQ(Send("PC2", std::string(98, 'a')).refusedWith, core::kTooManySymbols);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "101/100");
    EXPECT_TRUE(Heard(*pc2).empty());
    EXPECT_EQ(h.reports.Take(), std::vector<int>{core::kTooManySymbols});
    EXPECT_EQ(h.view.composer, std::string(98, 'a')) << "texts unchanged";
}

struct CheckCase {
    std::string recipient;
    std::string text;
    std::vector<std::string> checked;
    int refused;
    int focus;
};

class SendChecks : public SenderTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(SendChecks, RunInOrderAndMoveTheFocus) {
    const CheckCase c = GetParam();
    h.Start();
    h.view.focus = 0;
    h.network.checked = c.checked;
    EXPECT_EQ(Send(c.recipient, c.text).refusedWith, c.refused);
    EXPECT_EQ(h.view.focus, c.focus);
    EXPECT_EQ(h.reports.Take(), std::vector<int>{c.refused});
    EXPECT_TRUE(Heard(*pc2).empty());
    EXPECT_EQ(h.view.composer, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Order, SendChecks,
    ::testing::Values(
        // too long wins over everything, even when the recipients come from the tree
        CheckCase{std::string(30, 'R'), std::string(71, 'x'), {"PC2"}, core::kTooManySymbols, 0},
        CheckCase{"", "", {}, core::kEnterComputerName, core::kRecipientBox},
        CheckCase{"", "hello", {}, core::kEnterComputerName, core::kRecipientBox},
        CheckCase{"PC2", "", {}, core::kEnterMessageText, core::kComposerEdit},
        CheckCase{"", "", {"PC2"}, core::kEnterMessageText, core::kComposerEdit}));

TEST_F(SenderTest, ATypedNameGetsOneUpperCasedDatagramAndTheBookkeeping) {
    h.Set("SendRecervieSettings", "History", 1);
    h.Start();
    const core::SendOutcome outcome = Send("pc2", "hi");
    EXPECT_EQ(outcome.succeeded, 1);
    EXPECT_EQ(Heard(*pc2), std::vector<std::string>{Datagram("PC2", "hi")});
    EXPECT_EQ(h.view.recipient, "PC2") << "the box shows the name upper-cased";
    EXPECT_EQ(h.view.recipientList, std::vector<std::string>{"PC2"});
    // The history copy: our name as the system gives it, the recipient as handed over.
    EXPECT_EQ(ReadFileBytes(h.historyPath), "From: Pc1\r\nTo:   pc2\r\nDate: 14:03:0906/01/2006\r\n"
                                            "\r\nhi\r\n" +
                                                std::string(80, '-') + "\r\n\r\n");
    EXPECT_EQ(h.view.notices, (std::vector<std::pair<int, int>>{{core::kSendSucceeded, 1}}));
    EXPECT_EQ(h.sound.played, std::vector<std::string>{"send.wav"});
    EXPECT_FALSE(h.window->GetViewer().Busy());
}

TEST_F(SenderTest, CheckedTreeItemsAreSentToInTreeOrderInsteadOfTheTypedName) {
    h.Start();
    h.network.checked = {"PC3", "PC2"};
    const core::SendOutcome outcome = Send("OTHER", "news");
    EXPECT_EQ(outcome.recipients, (std::vector<std::string>{"PC3", "PC2"}));
    EXPECT_EQ(Heard(*pc3), std::vector<std::string>{Datagram("PC3", "news")});
    EXPECT_EQ(Heard(*pc2), std::vector<std::string>{Datagram("PC2", "news")});
    EXPECT_EQ(h.view.recipient, "PC2") << "the box shows the last name";
    EXPECT_TRUE(h.network.checked.empty()) << "ClearSelected is on by default";
    EXPECT_EQ(h.view.recipientList, (std::vector<std::string>{"PC3", "PC2"}));
}

TEST_F(SenderTest, AWorkgroupReachesEveryHostOfIt) {
    h.Start();
    Send("WORKGROUP", "all of you");
    EXPECT_EQ(Heard(*pc2).size(), 1u);
    EXPECT_TRUE(Heard(*pc3).empty()) << "PC3 is in OTHERGRP";
}

struct NoticeCase {
    int timeout;
    bool fails;
    bool notice;
};

class SendNotice : public SenderTest, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(SendNotice, CountsDownOnlyAfterEverySendSucceeded) {
    const NoticeCase c = GetParam();
    h.Set("SendRecervieSettings", "SuccesMessageTimeOut", c.timeout);
    h.Start();
    h.pc1->writeFails = c.fails;
    h.network.checked = {"PC2", "PC3"};
    Send("", "x");
    EXPECT_EQ(h.view.notices.size(), c.notice ? 1u : 0u);
    if (c.notice) {
        EXPECT_EQ(h.view.notices[0], std::make_pair(int{core::kSendSucceeded}, c.timeout));
    }
    if (c.fails) {
        // Each recipient is tried and reports its failure.
        const std::vector<int> failed = {core::kFailedSendToSlot, core::kNoRightSendLength};
        std::vector<int> expected = failed;
        expected.insert(expected.end(), failed.begin(), failed.end());
        EXPECT_EQ(h.reports.Take(), expected);
    }
    EXPECT_EQ(h.sound.played, std::vector<std::string>{"send.wav"}) << "the sound in any case";
}

INSTANTIATE_TEST_SUITE_P(Matrix, SendNotice,
                         ::testing::Values(NoticeCase{1, false, true}, NoticeCase{3, false, true},
                                           NoticeCase{0, false, false},
                                           NoticeCase{1, true, false}));

TEST_F(SenderTest, AfterSendOptionsRunInOrder) {
    h.Set("SendRecervieSettings", "ClearTextBox", 1);
    h.Set("SendRecervieSettings", "ExpandAfter", 1);
    h.Set("SendRecervieSettings", "MinimiseAfterSend", 1);
    h.Set("SendRecervieSettings", "ClearSelected", 0);
    h.Start();
    h.view.SetExpanded(true);
    h.network.checked = {"PC2"};
    h.view.duringNotice = [this] {
        EXPECT_EQ(h.view.composer, "") << "cleared before the notice";
        EXPECT_TRUE(h.view.expanded) << "collapsed after it";
    };
    Send("", "bye");
    EXPECT_EQ(h.network.checked, std::vector<std::string>{"PC2"}) << "ClearSelected 0";
    EXPECT_EQ(h.view.composer, "");
    EXPECT_FALSE(h.view.expanded);
    EXPECT_EQ(h.view.state, WindowState::Hidden);
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "3/100");
}

TEST_F(SenderTest, NoOptionsLeaveTextAndWindow) {
    h.Set("EventsSettings", "EnableSendSound", 0);
    h.Start();
    h.view.SetExpanded(true);
    Send("PC2", "stay");
    EXPECT_EQ(h.view.composer, "stay");
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.view.state, WindowState::Normal);
    EXPECT_TRUE(h.sound.played.empty());
}

TEST_F(SenderTest, SentCopiesAreStoredReadButNeverForOurOwnName) {
    h.Set("SendRecervieSettings", "IncludeSendedInBase", 1);
    h.Set("EventsSettings", "AutoShowNewMSG", 0);
    h.Start();
    Send("PC2", "first copy");
    core::MessageBase& base = h.window->Base();
    EXPECT_EQ(base.Count(), 1u);
    EXPECT_EQ(base.NewCount(), 0);
    EXPECT_EQ(base.Current(), 1u) << "the empty base shows the copy";
    EXPECT_EQ(h.view.viewer, "first copy");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], " ");
    EXPECT_EQ(h.view.labels[core::kFromToLabel], "Pc1 to PC2");
    Send("PC3", "second copy");
    EXPECT_EQ(base.Count(), 2u);
    EXPECT_EQ(base.Current(), 1u) << "AutoShowNewMSG 0 keeps the viewer";
    EXPECT_EQ(h.view.viewer, "first copy");
    Send("pc1", "to myself");
    EXPECT_EQ(base.Count(), 2u) << "stored only when it arrives";
    EXPECT_TRUE(h.Tick().received);
    EXPECT_EQ(base.Count(), 3u);
}

TEST_F(SenderTest, AShownCopyBecomesTheRecordThatReplyAnswers) {
    h.Set("SendRecervieSettings", "IncludeSendedInBase", 1);
    h.Start();
    h.Arrive(*h.pc2, "PC1", "question");
    ASSERT_TRUE(h.Tick().shown);
    Send("PC3", "answer");
    EXPECT_EQ(h.window->Base().Current(), 2u);
    EXPECT_EQ(h.view.viewer, "answer");
    h.window->OnCommand(core::kReplyButton);
    EXPECT_EQ(h.view.recipient, "Pc1") << "the sender of what shows";
    EXPECT_EQ(h.view.composer, ">answer\r\n");
}

TEST_F(SenderTest, ReplyWithNothingShownDoesNothing) {
    h.Start();
    h.view.composer = "keep";
    h.window->OnCommand(core::kReplyButton);
    EXPECT_EQ(h.view.composer, "keep");
    EXPECT_FALSE(h.view.expanded);
}

struct QuoteCase {
    int exclude;
    std::string text;
    std::string quoted;
};

class ReplyQuoting : public SenderTest, public ::testing::WithParamInterface<QuoteCase> {};

TEST_P(ReplyQuoting, QuotesTheShownTextAndMarksItRead) {
    const QuoteCase c = GetParam();
    h.Set("SendRecervieSettings", "ExcludeDoubleReply", c.exclude);
    h.Start();
    h.Arrive(*h.pc2, "PC1", c.text);
    ASSERT_TRUE(h.Tick().shown);
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], "N");
    h.window->OnCommand(core::kReplyButton);
    EXPECT_EQ(h.view.composer, c.quoted);
    EXPECT_EQ(h.view.recipient, "PC2");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], " ");
    EXPECT_EQ(h.view.labels[core::kCountersLabel], "1/0");
    EXPECT_TRUE(h.view.expanded);
    EXPECT_EQ(h.network.scansStarted, 1);
    EXPECT_EQ(h.view.focus, core::kComposerEdit);
    EXPECT_EQ(h.view.caretAtEnd, core::kComposerEdit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyQuoting,
    ::testing::Values(QuoteCase{1, "Hi\r\n> old\r\nbye", ">Hi\r\n>bye\r\n"},
                      QuoteCase{0, "Hi\r\n> old\r\nbye", ">Hi\r\n>> old\r\n>bye\r\n"},
                      QuoteCase{2, "Hi\r\n> old\r\nbye", "Hi\r\n> old\r\nbye\r\n"},
                      // a ">" later in a line keeps the line whole
                      QuoteCase{1, "a > b\r\nc", ">a > b\r\n>c\r\n"},
                      QuoteCase{1, "", ">//Error\r\n"}));

TEST_F(SenderTest, TheEighthRecipientPushesOutTheOldest) {
    h.Set("SendRecervieSettings", "SuccesMessageTimeOut", 0);
    h.Start();
    const std::vector<std::string> names = {"A1", "A2", "A3", "A4", "A5", "A6", "A7"};
    for (const std::string& name : names)
        Send(name, "x");
    EXPECT_EQ(h.view.recipientList, names);
    Send("A3", "again");
    EXPECT_EQ(h.view.recipientList, names) << "a known name keeps its place";
    Send("A8", "x");
    EXPECT_EQ(h.view.recipientList,
              (std::vector<std::string>{"A2", "A3", "A4", "A5", "A6", "A7", "A8"}));
}

TEST_F(SenderTest, HistoryLenghtZeroKeepsNoRecipients) {
    h.Set("SendRecervieSettings", "HistoryLenght", 0);
    h.Start();
    Send("PC2", "x");
    EXPECT_TRUE(h.view.recipientList.empty());
    h.window->Destroy();
    EXPECT_EQ(h.store->ReadInt("LastSended", "Count", -1), 0);
}

} // namespace
} // namespace kestrola::testing
