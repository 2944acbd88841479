#include "settings/IniDocument.h"

#include <array>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace kestrola::core {
namespace {

using namespace std::string_literals;

TEST(IniDocument, FindsWhatTheProfileFunctionsFind) {
    const struct {
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"[sYsTeMsEtTiNgS]\nFLATBUTTONS=0\n", "SystemSettings", "FlatButtons", "0"},
        {"  [ S ]  \n \t k \t=  v w \t\n", "S", "k", "v w"},
        {"[S]\nk=\"  v \"\n", "S", "k", "  v "},
        {"[S]\nk='v'\n", "S", "k", "v"},
        {"[S]\nk=\"\"v\"\"\n", "S", "k", "\"v\""},
        {"[S]\nk=  \"v\"  \n", "S", "k", "v"},
        {"[S]\nk=\"v'\n", "S", "k", "\"v'"},
        {"[S]\nk=\"\n", "S", "k", "\""},
        {"[S]\nk=\n", "S", "k", ""},
        {"[S]\nk=a=b\n", "S", "k", "a=b"},
        {"[S]\nk=1\nK=2\n", "S", "k", "1"},
        {"[S]\na=1\n[s]\nb=2\n", "S", "b", std::nullopt},
        {"[S]\na=1\n[T]\nk=2\n", "S", "k", std::nullopt},
        {"[S]\nk=1\n", "T", "k", std::nullopt},
        {"k=1\n[S]\n", "S", "k", std::nullopt},
        {"[S]\n;k=1\n  ; k=2\nk=3\n", "S", "k", "3"},
        {"[S]\nk\nk=4\n", "S", "k", "4"},
        {"[S] ; note\nk=v\n", "S", "k", "v"},
        {"[S\nk=v\n", "S", "k", std::nullopt},
        {"[S]\r\nk=v\r\n", "S", "k", "v"},
        {"[S]\rk=v\r", "S", "k", "v"},
        {"\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},
        {"[S]\nk=ab\0cd\n"s, "S", "k", "ab"},
        {"[Größe]\nSchlüssel=wert\n", "Größe", "Schlüssel", "wert"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniDocument(c.file).Find(c.section, c.key), c.expected) << c.file;
}

TEST(IniDocument, TextsAreCutAfter4095Characters) {
    EXPECT_EQ(IniDocument("[S]\nk=" + std::string(5000, 'a')).Find("S", "k"),
              std::string(4095, 'a'));
    std::string wide; // the cut counts characters and never splits one
    for (int i = 0; i < 4100; ++i)
        wide += "é";
    EXPECT_EQ(IniDocument("[S]\nk=" + wide).Find("S", "k"), wide.substr(0, 4095 * 2));
}

TEST(IniDocument, IntegersReadLeadingDecimalDigitsModulo32Bits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"12", 12},
        {"-7", -7},
        {"+5", 5},
        {"  42", 42},
        {"12abc", 12},
        {"1.5", 1},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},
        {"4294967295", -1},
        {"99999999999", 1215752191},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ProfileIntFromText(text), expected) << text;
    for (const char* text : {"", "abc", "0x10", "--1", "-", "- 1"})
        EXPECT_EQ(ProfileIntFromText(text), 0) << text;
}

TEST(IniDocument, WritesEditInPlaceAndKeepEveryOtherLine) {
    const struct {
        const char* name;
        std::string before;
        std::vector<std::array<const char*, 3>> sets;
        std::string after;
    } cases[] = {
        {"replace in place",
         "; by hand\r\n[SystemSettings]\r\n  flatbuttons =  0   \r\n; next\r\nHotKey=1\r\n\r\n"
         "[Other]\r\nFlatButtons=7\r\n",
         {{"SystemSettings", "FlatButtons", "1"}},
         "; by hand\n[SystemSettings]\n  flatbuttons =  1\n; next\nHotKey=1\n\n[Other]\n"
         "FlatButtons=7\n"},
        {"new key after the section's last key",
         "[A]\nx=1\n\n; about B\n[B]\ny=2\n[Empty]\n; nothing yet\n",
         {{"a", "New", "n"}, {"EMPTY", "First", "f"}},
         "[A]\nx=1\nNew=n\n\n; about B\n[B]\ny=2\n[Empty]\nFirst=f\n; nothing yet\n"},
        {"new section in an empty file", "", {{"S", "k", "1"}}, "[S]\nk=1\n"},
        {"new section behind an unended line",
         "[A]\nx=1",
         {{"B", "y", "2"}},
         "[A]\nx=1\n\n[B]\ny=2\n"},
        {"new section behind a blank", "[A]\nx=1\n\n", {{"B", "y", "2"}}, "[A]\nx=1\n\n[B]\ny=2\n"},
        {"duplicates edit only the first",
         "[S]\nk=1\nk=2\n[S]\nk=3\nother=4\n",
         {{"S", "k", "9"}, {"S", "other", "5"}},
         "[S]\nk=9\nk=2\nother=5\n[S]\nk=3\nother=4\n"},
    };
    for (const auto& c : cases) {
        IniDocument document(c.before);
        for (const auto& [section, key, value] : c.sets)
            EXPECT_EQ(document.Set(section, key, value), IniDocument::Edit::Changed) << c.name;
        EXPECT_EQ(document.Serialize("\n"), c.after) << c.name;
    }
    const std::string text = "\xEF\xBB\xBF[S]\r\nk = \"v\"\r\n";
    IniDocument same(text);
    EXPECT_EQ(same.Set("s", "K", "v"), IniDocument::Edit::Unchanged);
    EXPECT_EQ(same.Serialize("\r\n"), text) << "quotes, spacing and the mark stay";
}

TEST(IniDocument, IntegerWritesKeepATextThatAlreadyReadsAsTheNumber) {
    IniDocument document("[S]\na=1 ; ctrl+alt+k\nb=\nc=07\nd=abc\ne=2\n");
    EXPECT_EQ(document.SetInt("S", "a", 1), IniDocument::Edit::Unchanged);
    EXPECT_EQ(document.SetInt("S", "b", 0), IniDocument::Edit::Changed) << "empty is no number";
    EXPECT_EQ(document.SetInt("S", "c", 7), IniDocument::Edit::Unchanged);
    EXPECT_EQ(document.SetInt("S", "d", 0), IniDocument::Edit::Unchanged);
    EXPECT_EQ(document.SetInt("S", "e", -3), IniDocument::Edit::Changed);
    EXPECT_EQ(document.SetInt("S", "f", 5), IniDocument::Edit::Changed);
    EXPECT_EQ(document.SetInt("S", "a=", 1), IniDocument::Edit::Refused);
    EXPECT_EQ(document.Serialize("\n"), "[S]\na=1 ; ctrl+alt+k\nb=0\nc=07\nd=abc\ne=-3\nf=5\n");
}

TEST(IniDocument, ValuesReadBackExactlyAsWritten) {
    for (const std::string value :
         {"", "plain", " lead", "trail ", "\tboth\t", "\"q\"", "\"\"", "''", "'s'", "\"", "'",
          "a=b", "x;y", "\"mixed'", "[not a section]", "ü and ß"}) {
        IniDocument document("[S]\nk=old\n");
        ASSERT_NE(document.Set("S", "k", value), IniDocument::Edit::Refused) << value;
        ASSERT_NE(document.Set("S", "new", value), IniDocument::Edit::Refused) << value;
        const IniDocument reread(document.Serialize("\n"));
        EXPECT_EQ(reread.Find("S", "k"), value);
        EXPECT_EQ(reread.Find("S", "new"), value);
    }
}

TEST(IniDocument, RefusesWhatTheFormatCannotHold) {
    const std::array<std::string, 3> refusals[] = {
        {"S", "k", "two\nlines"}, {"S", "k", "cr\rhere"}, {"S", "k", "nul\0"s}, {"S", "a=b", "v"},
        {"S", "[k]", "v"},        {"S", ";k", "v"},       {"S", " k", "v"},     {"S", "", "v"},
        {"a]b", "k", "v"},        {"S\n", "k", "v"},      {" S", "k", "v"},     {"", "k", "v"},
    };
    for (const auto& [section, key, value] : refusals) {
        IniDocument document("[S]\nk=1\n");
        EXPECT_EQ(document.Set(section, key, value), IniDocument::Edit::Refused)
            << section << "/" << key;
        EXPECT_EQ(document.Serialize("\n"), "[S]\nk=1\n");
    }
}

TEST(IniDocument, ListsSectionsAndKeys) {
    const IniDocument document("k0=0\n[A]\nx=1\n;c=2\ny=3\n[B]\n[a]\nz=4\n");
    EXPECT_EQ(document.SectionNames(), (std::vector<std::string>{"A", "B", "a"}));
    EXPECT_EQ(document.KeyNames("a"), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(document.KeyNames("B").empty());
    EXPECT_TRUE(document.KeyNames("C").empty());
}

} // namespace
} // namespace kestrola::core
