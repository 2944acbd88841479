#include "base/StatusTexts.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrola::core {
namespace {

TEST(StatusTexts, TextsStandLetterForLetter) {
    EXPECT_EQ(LoadString(1285), "Error: Failed create mailslot");
    EXPECT_EQ(LoadString(1290), "Error: No right send linght");
    EXPECT_EQ(LoadString(1294), "Message was succesful send");
    EXPECT_EQ(LoadString(1298), "Error: not enought memory to complite operation");
    EXPECT_EQ(LoadString(1300), " to ");
    EXPECT_EQ(LoadString(1306), "Groups: ");
    EXPECT_EQ(LoadString(1308), "Look ");
    EXPECT_EQ(LoadString(1312), "Are you really want to exit from Kestrola NET?");
    EXPECT_EQ(LoadString(1325), "You can not send more than 100 symbols. Please edit the message.");
}

TEST(StatusTexts, EntriesWithoutTextLoadEmpty) {
    const std::set<int> empty = {1311, 1313, 1317, 1318, 1319, 1320, 1321, 1324};
    for (int id = 1285; id <= 1325; ++id)
        EXPECT_EQ(LoadString(id).empty(), empty.count(id) == 1) << id;
    EXPECT_TRUE(LoadString(0).empty());
    EXPECT_TRUE(LoadString(1284).empty());
    EXPECT_TRUE(LoadString(1326).empty());
}

} // namespace
} // namespace kestrola::core
