#include "window/Viewer.h"

#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
#include "store/BaseFormat.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

// A harness whose base holds messages from PC2.
class ViewerTest : public ::testing::Test {
protected:
    // `states` holds N (new) or r (read) for each message.
    void Fill(const std::vector<std::string>& texts, const std::string& states) {
        std::string bytes;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            core::MessageRecord r;
            r.SetBody(core::EncodeDatagram(*h.codePage, "PC2", "PC1", texts[i]));
            r.state = states[i] == 'N' ? 0 : 1;
            const std::string stamp = "10:00:0" + std::to_string(i) + " , 06/12/2005";
            std::copy(stamp.begin(), stamp.end(), r.stamp.begin());
            bytes += core::EncodeRecord(r);
        }
        WriteFileBytes(h.basePath, bytes);
    }
    // The read-state bytes of the stored records, in order.
    std::string States() {
        core::MessageBase base(h.basePath, h.historyPath, h.clock);
        base.LoadIndex();
        std::string states;
        for (std::uint32_t i = 1; i <= base.Count(); ++i) {
            core::MessageRecord r;
            base.ReadRecord(i, r);
            states += r.state == 0 ? 'N' : 'r';
        }
        return states;
    }
    std::string Shown() {
        return h.view.labels[core::kCountersLabel] + " #" + h.view.labels[core::kPositionLabel] +
               " " + h.view.viewer;
    }

    MainWindowHarness h;
};

TEST_F(ViewerTest, EmptyBaseShowsZerosAndIgnoresNavigation) {
    h.Start();
    for (const int command : {core::kNextButton, core::kPreviousButton, core::kDeleteButton})
        h.window->OnCommand(command);
    EXPECT_EQ(Shown(), "0/0 #0 ");
    EXPECT_EQ(h.view.title, "Kestrola NET");
    EXPECT_TRUE(h.reports.ids.empty());
    EXPECT_EQ(ReadFileBytes(h.basePath), "");
}

TEST_F(ViewerTest, StepsThroughTheBaseMarkingWhatItLeaves) {
    Fill({"one", "two", "three"}, "rNN");
    h.Start();
    EXPECT_EQ(Shown(), "3/2 #1 one");
    EXPECT_EQ(h.view.title, "Kestrola NET - 2 New");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], " ");

    h.window->OnCommand(core::kPreviousButton);
    EXPECT_EQ(Shown(), "3/2 #1 one") << "previous on the first changes nothing";
    EXPECT_EQ(States(), "rNN");

    h.window->OnCommand(core::kNextButton);
    EXPECT_EQ(Shown(), "3/2 #2 two");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], "N") << "the mark stays while it is shown";
    h.window->OnCommand(core::kNextButton);
    EXPECT_EQ(Shown(), "3/1 #3 three");
    EXPECT_EQ(h.view.title, "Kestrola NET - 1 New");
    EXPECT_EQ(States(), "rrN");
    h.window->OnCommand(core::kNextButton);
    EXPECT_EQ(Shown(), "3/1 #3 three") << "next on the newest does nothing";
    EXPECT_EQ(States(), "rrN");
    h.window->OnCommand(core::kPreviousButton);
    EXPECT_EQ(Shown(), "3/0 #2 two");
    EXPECT_EQ(h.view.title, "Kestrola NET");
    EXPECT_EQ(States(), "rrr");
    EXPECT_FALSE(h.window->GetViewer().Busy());
}

TEST_F(ViewerTest, TwoNewOfThreeNextShowsTheSecondAndReadsTheFirst) {
    Fill({"a", "b", "c"}, "NNr");
    h.Start();
    EXPECT_EQ(Shown(), "3/2 #1 a");
    h.window->OnCommand(core::kNextButton);
    EXPECT_EQ(Shown(), "3/1 #2 b");
    EXPECT_EQ(States(), "rNr");
}

struct DeleteCase {
    std::uint32_t at;
    std::string shownAfter;
    std::string counters;
    std::string position;
};

class ViewerDelete : public ViewerTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(ViewerDelete, ShowsWhatTakesThePlaceOfTheDeletedMessage) {
    const DeleteCase c = GetParam();
    Fill({"one", "two", "three"}, "NNN");
    h.Start();
    for (std::uint32_t i = 1; i < c.at; ++i)
        h.window->OnCommand(core::kNextButton);
    h.window->OnCommand(core::kDeleteButton);
    EXPECT_EQ(h.view.viewer, c.shownAfter);
    EXPECT_EQ(h.view.labels[core::kCountersLabel], c.counters);
    EXPECT_EQ(h.view.labels[core::kPositionLabel], c.position);
    EXPECT_TRUE(h.reports.ids.empty());
    core::MessageBase base(h.basePath, h.historyPath, h.clock);
    base.LoadIndex();
    EXPECT_EQ(base.Count(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewerDelete,
                         ::testing::Values(
                             // the new message deleted no longer counts as new
                             DeleteCase{1, "two", "2/2", "1"},
                             // 2 of 3: what was 3 now shows at 2 (1 was read on the way)
                             DeleteCase{2, "three", "2/1", "2"},
                             // 3 of 3: the base steps back to 2
                             DeleteCase{3, "two", "2/0", "2"}));

TEST_F(ViewerTest, DeletingTheOnlyMessageEmptiesBaseAndViewerWithoutAQuestion) {
    Fill({"only"}, "N");
    h.Start();
    h.view.composer = "draft";
    h.view.recipient = "PC2";
    h.window->OnCommand(core::kDeleteButton);
    EXPECT_EQ(ReadFileBytes(h.basePath), "");
    EXPECT_EQ(Shown(), "0/0 #0 ");
    EXPECT_EQ(h.view.labels[core::kFromToLabel], "");
    EXPECT_EQ(h.view.labels[core::kTimeLabel], "");
    EXPECT_EQ(h.view.labels[core::kReadMarkLabel], "N") << "the read mark keeps its text";
    EXPECT_EQ(h.view.composer, "draft");
    EXPECT_EQ(h.view.recipient, "PC2");
    EXPECT_TRUE(h.view.questions.empty());
    h.window->OnCommand(core::kDeleteButton);
    EXPECT_EQ(Shown(), "0/0 #0 ");
}

TEST_F(ViewerTest, BusyWhileANoticeOfADeleteWaits) {
    Fill({"one", "two"}, "NN");
    h.Start();
    h.ArriveRaw(core::EncodeDatagram(*h.codePage, "PC2", "PC1", "queued"));
    // The delete fails (the base cannot be replaced); its notice lets ticks through.
    core::ReceiveOutcome during;
    struct TickingSink : core::ReportSink {
        MainWindowHarness* h;
        core::ReceiveOutcome* outcome;
        std::vector<int> ids;
        void ShowMessage(int id) override {
            ids.push_back(id);
            *outcome = h->Tick();
        }
        void ShowText(const std::string&) override {}
    } sink;
    sink.h = &h;
    sink.outcome = &during;
    const core::ScopedReportSink scoped(&sink);
    {
        const FileSizeLimit full(16);
        h.window->OnCommand(core::kDeleteButton);
    }
    ASSERT_FALSE(sink.ids.empty());
    EXPECT_TRUE(during.busy);
    EXPECT_FALSE(during.received);
    // After the notice the queued datagram comes in on the next tick.
    EXPECT_TRUE(h.Tick().received);
}

TEST_F(ViewerTest, LengthIndicatorCountsRecipientAndComposerCharacters) {
    h.Start();
    const struct {
        const char* recipient;
        const char* composer;
        const char* shown;
    } cases[] = {
        {"", "", "0/100"},
        {"BOB", "hello", "8/100"},
        {"PC2", "h\xC3\xA9llo", "8/100"}, // one character, two bytes
        {"PC2", "a\r\nb", "7/100"},       // a line break counts as two, as CR LF
    };
    for (const auto& c : cases) {
        h.view.recipient = c.recipient;
        h.view.composer = c.composer;
        h.window->OnTextsEdited();
        EXPECT_EQ(h.view.labels[core::kLengthIndicator], c.shown) << c.composer;
    }
    h.view.recipient = "PC2";
    h.view.composer = std::string(127, 'x');
    h.window->OnTextsEdited();
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "130/100") << "typing is not stopped";
}

struct OpenCase {
    int focus;
    int start;
    int end;
    const char* selected;
    int command;
    const char* verb; // nullptr: nothing opened
};

class ViewerShellCommands : public ViewerTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(ViewerShellCommands, OpenTheSelectionWithTheRightVerb) {
    const OpenCase c = GetParam();
    h.Start();
    h.view.selection = {c.focus, c.start, c.end, c.selected};
    h.window->OnCommand(c.command);
    if (c.verb == nullptr) {
        EXPECT_TRUE(h.shell.calls.empty());
        return;
    }
    ASSERT_EQ(h.shell.calls.size(), 1u);
    EXPECT_EQ(h.shell.calls[0].first, c.verb);
    EXPECT_EQ(h.shell.calls[0].second, c.selected);
    EXPECT_EQ(h.window->GetViewer().Selection(), c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewerShellCommands,
    ::testing::Values(
        OpenCase{core::kViewerEdit, 0, 12, "\\\\HOST\\share", core::kGoToUrl, "explore"},
        OpenCase{core::kViewerEdit, 0, 12, "\\\\HOST\\share", core::kOpenFile, "open"},
        OpenCase{core::kComposerEdit, 3, 20, "http://example.org", core::kGoToUrl, "open"},
        OpenCase{core::kViewerEdit, 5, 5, "", core::kGoToUrl, nullptr},
        OpenCase{core::kViewerEdit, 5, 5, "", core::kOpenFile, nullptr},
        OpenCase{0, 0, 4, "text", core::kGoToUrl, nullptr}));

TEST_F(ViewerTest, TreeSelectionBecomesTheRecipientInCapitals) {
    h.Start();
    h.view.recipient = "OLD";
    h.view.composer = "hi";
    h.window->OnTreeSelection("WorkGroup");
    EXPECT_EQ(h.view.recipient, "WORKGROUP");
    EXPECT_EQ(h.view.composer, "hi");
    EXPECT_EQ(h.view.labels[core::kLengthIndicator], "11/100");
}

TEST(ViewerLineEnds, ToolkitLineEndsBecomeCrLfAndBack) {
    EXPECT_EQ(core::WithCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(core::WithCrLf("\n"), "\r\n");
    EXPECT_EQ(core::WithLf("a\r\nb\rc\n"), "a\nb\nc\n");
    EXPECT_EQ(core::WithLf(core::WithCrLf("x\ny\n\nz")), "x\ny\n\nz");
    EXPECT_EQ(core::FirstCharacters("h\xC3\xA9llo", 2), "h\xC3\xA9");
    EXPECT_EQ(core::FirstCharacters("ab", 5), "ab");
}

} // namespace
} // namespace kestrola::testing
