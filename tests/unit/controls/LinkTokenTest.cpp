#include "controls/LinkToken.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace kestrola::core {
namespace {

TEST(LinkToken, SelectsTheWholeLinkWithoutTheSentencesPunctuation) {
    const std::array<const char16_t*, 3> cases[] = {
        // line, text at the click (its first occurrence), token
        {u"see http://example.org/a?b=1, then", u"example", u"http://example.org/a?b=1"},
        {u"at \\\\HOST\\share\\file.txt.", u"HOST", u"\\\\HOST\\share\\file.txt"},
        {u"(http://x.org/wiki/A_(b)).", u"wiki", u"http://x.org/wiki/A_(b)"},
        {u"\"\\\\files\\menu\";", u"menu", u"\\\\files\\menu"},
        {u"\u201Chttp://a.b\u201D\u00A0next", u"a.b", u"http://a.b"},
        {u"go\thttp://a.b/", u"http", u"http://a.b/"},
        {u"word", u"", u"word"},
        {u"a  b", u" ", u"a"},
        {u"...", u".", u""},
    };
    for (const auto& [text, under, token] : cases) {
        const std::u16string_view line = text;
        const TokenSpan span = LinkTokenAt(line, line.find(under));
        EXPECT_EQ(std::u16string(line.substr(span.first, span.last - span.first)),
                  std::u16string(token));
    }
    EXPECT_EQ(LinkTokenAt(u"a   b", 2), (TokenSpan{2, 2})) << "between blanks: empty";
    EXPECT_EQ(LinkTokenAt(u"ab", 99), (TokenSpan{0, 2})) << "past the end: the last token";
}

} // namespace
} // namespace kestrola::core
