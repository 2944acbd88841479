#include "messaging/ComposeRules.h"

#include "base/StatusTexts.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrola::core {
namespace {

TEST(ComposeRules, LengthCountsCharactersAndChecksRunInOrder) {
    EXPECT_EQ(UsedLength("BOB", "hello"), 8);
    EXPECT_EQ(UsedLength("JÜRGEN", "größe"), 11) << "characters, not UTF-8 bytes";
    EXPECT_EQ(LengthIndicatorText(130), "130/100");
    const std::string ninetySeven(97, 'x');
    EXPECT_EQ(CheckSend("PC3", ninetySeven, false), 0);
    EXPECT_EQ(CheckSend("PC3", ninetySeven + "x", false), 1325);
    // The recipient box counts even when the tree names the recipients.
    EXPECT_EQ(CheckSend("PC3", ninetySeven + "x", true), 1325);
    EXPECT_EQ(CheckSend("", std::string(101, 'x'), false), 1325) << "length comes first";
    EXPECT_EQ(CheckSend("", "", false), 1292) << "recipient before text";
    EXPECT_EQ(CheckSend("", "hi", true), 0);
    EXPECT_EQ(CheckSend("PC1", "", false), 1293);
    EXPECT_EQ(CheckSend("", "", true), 1293);
}

TEST(ComposeRules, QuoteForReply) {
    const struct {
        std::string viewer;
        int exclude;
        std::string quoted;
    } cases[] = {
        {"Hi\r\n> old\r\nbye", 1, ">Hi\r\n>bye\r\n"}, // leaves out quoted lines
        {"Hi\r\n> old\r\nbye", 0, ">Hi\r\n>> old\r\n>bye\r\n"},
        {"Hi\r\n> old\r\nbye", 2, "Hi\r\n> old\r\nbye\r\n"}, // copies plain
        {"a > b\r\nc", 1, ">a > b\r\n>c\r\n"},
        {"\nx\ny", 0, ">\nx\n>y\r\n"}, // a lone line feed ends no line
        {"one\r\n", 0, ">one\r\n\r\n"},
        {">a\r\n>b", 1, "\r\n"},
        {"", 1, "\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteForReply(c.viewer, c.exclude), c.quoted) << c.viewer << c.exclude;
}

TEST(StatusTexts, TextsStandLetterForLetterAndGapsLoadEmpty) {
    EXPECT_EQ(LoadString(1285), "Error: Failed create mailslot");
    EXPECT_EQ(LoadString(1325), "You can not send more than 100 symbols. Please edit the message.");
    const std::set<int> empty = {1311, 1313, 1317, 1318, 1319, 1320, 1321, 1324};
    for (int id = 1284; id <= 1326; ++id)
        EXPECT_EQ(LoadString(id).empty(), id == 1284 || id == 1326 || empty.count(id) == 1) << id;
}

} // namespace
} // namespace kestrola::core
