#include "messaging/ComposeRules.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(ComposeRules, LengthCountsCharactersOfBothTexts) {
    EXPECT_EQ(UsedLength("", ""), 0);
    EXPECT_EQ(UsedLength("BOB", "hello"), 8);
    EXPECT_EQ(UsedLength("JÜRGEN", "größe"), 11) << "characters, not UTF-8 bytes";
    EXPECT_EQ(LengthIndicatorText(8), "8/100");
    EXPECT_EQ(LengthIndicatorText(130), "130/100");
}

TEST(ComposeRules, ChecksRunInOrder) {
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

struct QuoteCase {
    const char* name;
    std::string viewer;
    int exclude;
    std::string quoted;
};

void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << c.name;
}

class QuoteForReplyTable : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteForReplyTable, Quotes) {
    EXPECT_EQ(QuoteForReply(GetParam().viewer, GetParam().exclude), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuoteForReplyTable,
    ::testing::Values(
        QuoteCase{"DefaultLeavesOutQuotedLines", "Hi\r\n> old\r\nbye", 1, ">Hi\r\n>bye\r\n"},
        QuoteCase{"ZeroQuotesEveryLine", "Hi\r\n> old\r\nbye", 0, ">Hi\r\n>> old\r\n>bye\r\n"},
        QuoteCase{"OtherValueCopiesPlain", "Hi\r\n> old\r\nbye", 2, "Hi\r\n> old\r\nbye\r\n"},
        QuoteCase{"ErrorText", "//Error", 1, ">//Error\r\n"},
        QuoteCase{"LaterMarkKeepsTheLine", "a > b\r\nc", 1, ">a > b\r\n>c\r\n"},
        QuoteCase{"LeadingLineFeedDoesNotEndALine", "\nx\ny", 0, ">\nx\n>y\r\n"},
        QuoteCase{"TrailingLineBreak", "one\r\n", 0, ">one\r\n\r\n"},
        QuoteCase{"AllQuoted", ">a\r\n>b", 1, "\r\n"}, QuoteCase{"Empty", "", 1, "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrola::core
