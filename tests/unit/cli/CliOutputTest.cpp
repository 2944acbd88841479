#include "CliOutput.h"

#include <gtest/gtest.h>

namespace kestrola::cli {
namespace {

// What another host can put into a name or a message, shown on a terminal and in JSON.
TEST(CliOutput, ControlCharactersAreShownNotObeyed) {
    struct Case {
        std::string in, printable, json;
    };
    const Case cases[] = {
        {"\x1b]0;owned\x07", "\\x1B]0;owned\\x07", R"("\u001b]0;owned\u0007")"},
        {"\x1b]52;c;Zm9v\x1b\\", "\\x1B]52;c;Zm9v\\x1B\\", R"("\u001b]52;c;Zm9v\u001b\\")"},
        {"a\rb\x7f", "a\\x0Db\\x7F", R"("a\rb\u007f")"},
        {"\xc2\x9b"
         "2J",
         "\\x9B2J", R"("\u009b2J")"}, // C1 CSI in UTF-8
        {"\xe2\x80\xae"
         "cod.exe",
         "\\u{202E}cod.exe", R"("\u202ecod.exe")"},         // override
        {"PC\xff<00>", "PC\\xFF<00>", R"("PC\ufffd<00>")"}, // not UTF-8
        {"J\xc3\xbcrgen\t\xef\xbf\xbd", "J\xc3\xbcrgen\t\xef\xbf\xbd",
         "\"J\xc3\xbcrgen\\t\xef\xbf\xbd\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Printable(c.in), c.printable) << c.in;
        EXPECT_EQ(JsonString(c.in), c.json) << c.in;
    }
    EXPECT_EQ(Printable("NAME\nFORGED LINE"), "NAME\\x0AFORGED LINE");
}

} // namespace
} // namespace kestrola::cli
