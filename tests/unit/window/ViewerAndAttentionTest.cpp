#include "window/Attention.h"
#include "window/ViewerTexts.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(ViewerTexts, LabelsTitleAndTip) {
    MessageRecord r;
    r.from = "PC1";
    r.to = "WORKGROUP";
    r.dateText = "09:05:07 , 06/12/2005";
    r.text = "hi";
    r.state = 0;
    ShownFields shown = ShownFieldsOf(r);
    EXPECT_EQ(shown.readMark, "N");
    EXPECT_EQ(shown.fromTo, "PC1 to WORKGROUP");
    EXPECT_EQ(shown.time, "09:05:07 , 06/12/2005");
    r.state = 1;
    EXPECT_EQ(ShownFieldsOf(r).readMark, " ");

    EXPECT_EQ(CountersText(0, 0), "0/0");
    EXPECT_EQ(CountersText(12, 3), "12/3");
    EXPECT_EQ(PositionText(0), "0");
    EXPECT_EQ(WindowTitle(0), "Kestrola NET");
    EXPECT_EQ(WindowTitle(3), "Kestrola NET - 3 New");
    EXPECT_EQ(TrayTip(3, 1), "Kestrola NET All:3  New:1");
}

TEST(Attention, BlinksOnlyWhileNewMessagesWait) {
    Attention attention;
    std::vector<AttentionIcon> ticks;
    for (int i = 0; i < 4; ++i)
        ticks.push_back(attention.RefreshAttention(2, 1));
    EXPECT_EQ(ticks, (std::vector<AttentionIcon>{AttentionIcon::NewMessage, AttentionIcon::Blink,
                                                 AttentionIcon::NewMessage, AttentionIcon::Blink}));
    EXPECT_EQ(attention.RefreshAttention(0, 1), AttentionIcon::Normal);
    EXPECT_EQ(attention.RefreshAttention(1, 0), AttentionIcon::NewMessage);
    EXPECT_EQ(attention.RefreshAttention(1, 0), AttentionIcon::NewMessage) << "steady";
    EXPECT_EQ(Attention::NewState(1), AttentionIcon::NewMessage);
    EXPECT_EQ(Attention::NewState(0), AttentionIcon::Normal);
}

} // namespace
} // namespace kestrola::core
