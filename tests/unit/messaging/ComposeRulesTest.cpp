#include "messaging/ComposeRules.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(ComposeRules, LengthCountsCharactersAndChecksRunInOrder) {
    EXPECT_EQ(UsedLength("BOB", "hello"), 8);
    EXPECT_EQ(UsedLength("JÜRGEN", "größe"), 11) << "characters, not UTF-8 bytes";
    EXPECT_EQ(LengthIndicatorText(130), "130/100");
    EXPECT_EQ(CheckSend("", std::string(101, 'x'), false), 1325) << "length comes first";
    EXPECT_EQ(CheckSend("", "", false), 1292) << "recipient before text";
    EXPECT_EQ(CheckSend("", "hi", true), 0);
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

} // namespace
} // namespace kestrola::core
