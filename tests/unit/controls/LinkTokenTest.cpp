#include "controls/LinkToken.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrola::core {
namespace {

struct TokenCase {
    const char16_t* line;
    const char16_t* under; // the click lies at the start of its first occurrence
    const char16_t* token;
};

class LinkTokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(LinkTokenTest, SelectsTheWholeLinkWithoutTheSentencesPunctuation) {
    const std::u16string_view line = GetParam().line;
    const auto position = line.find(GetParam().under);
    ASSERT_NE(position, std::u16string_view::npos);
    const TokenSpan span = LinkTokenAt(line, position);
    EXPECT_EQ(std::u16string(line.substr(span.first, span.last - span.first)),
              std::u16string(GetParam().token));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkTokenTest,
    ::testing::Values(
        TokenCase{u"see http://example.org/a?b=1, then", u"example", u"http://example.org/a?b=1"},
        TokenCase{u"at \\\\HOST\\share\\file.txt.", u"HOST", u"\\\\HOST\\share\\file.txt"},
        TokenCase{u"(http://x.org/wiki/A_(b)).", u"wiki", u"http://x.org/wiki/A_(b)"},
        TokenCase{u"\"\\\\files\\menu\";", u"menu", u"\\\\files\\menu"},
        TokenCase{u"\u201Chttp://a.b\u201D\u00A0next", u"a.b", u"http://a.b"},
        TokenCase{u"go\thttp://a.b/", u"http", u"http://a.b/"}, TokenCase{u"word", u"", u"word"},
        TokenCase{u"a  b", u" ", u"a"}, TokenCase{u"...", u".", u""}));

TEST(LinkToken, BetweenBlanksItIsEmptyAndPastTheEndTheLastToken) {
    EXPECT_EQ(LinkTokenAt(u"a   b", 2), (TokenSpan{2, 2}));
    EXPECT_EQ(LinkTokenAt(u"ab", 99), (TokenSpan{0, 2}));
}

} // namespace
} // namespace kestrola::core
