#include "window/Viewer.h"

#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "base/StatusTexts.h"
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
        for (std::size_t i = 0; i < texts.size(); ++i)
            bytes += h.Record("PC2", "PC1", texts[i], states[i] == 'N' ? 0 : 1,
                              "10:00:0" + std::to_string(i) + " , 06/12/2005");
        WriteFileBytes(h.basePath, bytes);
    }
    // The read states of the stored records, in order.
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
    void Run(int command) { h.window->OnCommand(command); }

    MainWindowHarness h;
};

TEST_F(ViewerTest, StepsThroughTheBaseMarkingWhatItLeaves) {
    Fill({"one", "two", "three"}, "rNN");
    h.Start();
    const auto step = [&](int command, const char* shown, const char* states, const char* mark) {
        Run(command);
        EXPECT_EQ(h.Shown(), shown);
        EXPECT_EQ(States(), states);
        EXPECT_EQ(h.view.labels[core::kReadMarkLabel], mark) << "the mark stays while shown";
    };
    EXPECT_EQ(h.Shown(), "1 3/2 one");
    EXPECT_EQ(h.view.title, "Kestrola NET - 2 New");
    step(core::kPreviousButton, "1 3/2 one", "rNN", " ");
    step(core::kNextButton, "2 3/2 two", "rNN", "N");
    step(core::kNextButton, "3 3/1 three", "rrN", "N");
    EXPECT_EQ(h.view.title, "Kestrola NET - 1 New");
    step(core::kNextButton, "3 3/1 three", "rrN", "N");
    step(core::kPreviousButton, "2 3/0 two", "rrr", " ");
    EXPECT_EQ(h.view.title, "Kestrola NET");
    EXPECT_FALSE(h.window->GetViewer().Busy());
}

// Deleting message `at` of three new ones shows what takes its place; the last one deleted
// empties base and viewer without a question.
TEST_F(ViewerTest, DeleteShowsWhatTakesThePlaceOfTheDeletedMessage) {
    for (const auto& [at, shown] :
         {std::pair{1, "1 2/2 two"}, std::pair{2, "2 2/1 three"}, std::pair{3, "2 2/0 two"}}) {
        Fill({"one", "two", "three"}, "NNN");
        h.window ? h.Restart() : h.Start();
        for (int i = 1; i < at; ++i)
            Run(core::kNextButton);
        Run(core::kDeleteButton);
        EXPECT_EQ(h.Shown(), shown);
        EXPECT_EQ(States().size(), 2u);
        EXPECT_TRUE(h.reports.ids.empty());
    }
    for (int i = 0; i < 3; ++i)
        Run(core::kDeleteButton);
    EXPECT_EQ(ReadFileBytes(h.basePath), "");
    EXPECT_EQ(h.Shown(), "0 0/0 ");
    EXPECT_TRUE(h.view.questions.empty());
}

TEST_F(ViewerTest, BusyWhileTheNoticeOfAFailedDeleteWaits) {
    Fill({"one", "two"}, "NN");
    h.Start();
    h.ArriveRaw(core::EncodeDatagram(*h.codePage, "PC2", "PC1", "queued"));
    // The delete fails (the base cannot be replaced); its notice lets ticks through.
    struct TickingSink : core::ReportSink {
        MainWindowHarness* h;
        std::vector<core::ReceiveOutcome> ticks;
        void ShowMessage(int) override { ticks.push_back(h->Tick()); }
        void ShowText(const std::string&) override {}
    } sink;
    sink.h = &h;
    const core::ScopedReportSink scoped(&sink);
    {
        const FileSizeLimit full(16);
        Run(core::kDeleteButton);
    }
    ASSERT_FALSE(sink.ticks.empty());
    EXPECT_TRUE(sink.ticks[0].busy);
    EXPECT_FALSE(sink.ticks[0].received);
    EXPECT_TRUE(h.Tick().received) << "the queued datagram comes in after the notice";
}

// "Go to URL" explores a UNC path and opens anything else; nothing is opened without a
// selection, or with one outside the message edits.
TEST_F(ViewerTest, GoToUrlOpensTheSelectionWithTheRightVerb) {
    h.Start();
    const struct {
        int focus, start, end;
        const char *selected, *verb; // "": nothing opened
    } cases[] = {{core::kViewerEdit, 0, 12, "\\\\HOST\\share", "explore"},
                 {core::kComposerEdit, 3, 20, "http://example.org", "open"},
                 {core::kViewerEdit, 5, 5, "", ""},
                 {0, 0, 4, "text", ""}};
    for (const auto& c : cases) {
        h.shell.calls.clear();
        h.view.selection = {c.focus, c.start, c.end, c.selected};
        Run(core::kGoToUrl);
        using Calls = std::vector<std::pair<std::string, std::string>>;
        EXPECT_EQ(h.shell.calls, (*c.verb ? Calls{{c.verb, c.selected}} : Calls{})) << c.selected;
    }
}

TEST(ViewerLineEnds, ToolkitLineEndsBecomeCrLfAndBack) {
    EXPECT_EQ(core::WithCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(core::WithLf("a\r\nb\rc\n"), "a\nb\nc\n");
    EXPECT_EQ(core::FirstCharacters("h\xC3\xA9llo", 2), "h\xC3\xA9");
}

} // namespace
} // namespace kestrola::testing
