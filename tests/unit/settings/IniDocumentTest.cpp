#include "settings/IniDocument.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace kestrola::core {
namespace {

using namespace std::string_literals;

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsWhatTheProfileFunctionsFind) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(IniDocument(c.file).Find(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(
        ReadCase{"Plain", "[S]\nk=v\n", "S", "k", "v"},
        ReadCase{"NamesIgnoreCase", "[sYsTeMsEtTiNgS]\nFLATBUTTONS=0\n", "SystemSettings",
                 "FlatButtons", "0"},
        ReadCase{"BlanksAroundNamesAndValues", "  [ S ]  \n \t k \t=  v w \t\n", "S", "k", "v w"},
        ReadCase{"DoubleQuotesStripped", "[S]\nk=\"  v \"\n", "S", "k", "  v "},
        ReadCase{"SingleQuotesStripped", "[S]\nk='v'\n", "S", "k", "v"},
        ReadCase{"OnlyOnePairStripped", "[S]\nk=\"\"v\"\"\n", "S", "k", "\"v\""},
        ReadCase{"QuotesInsideBlanks", "[S]\nk=  \"v\"  \n", "S", "k", "v"},
        ReadCase{"MismatchedQuotesKept", "[S]\nk=\"v'\n", "S", "k", "\"v'"},
        ReadCase{"LoneQuoteKept", "[S]\nk=\"\n", "S", "k", "\""},
        ReadCase{"EmptyValue", "[S]\nk=\n", "S", "k", ""},
        ReadCase{"EqualsInValue", "[S]\nk=a=b\n", "S", "k", "a=b"},
        ReadCase{"FirstKeyWins", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        ReadCase{"FirstSectionWins", "[S]\na=1\n[s]\nb=2\n", "S", "b", std::nullopt},
        ReadCase{"KeyOfAnotherSection", "[S]\na=1\n[T]\nk=2\n", "S", "k", std::nullopt},
        ReadCase{"MissingSection", "[S]\nk=1\n", "T", "k", std::nullopt},
        ReadCase{"KeyBeforeAnySection", "k=1\n[S]\n", "S", "k", std::nullopt},
        ReadCase{"CommentLineIsNoKey", "[S]\n;k=1\n  ; k=2\nk=3\n", "S", "k", "3"},
        ReadCase{"LineWithoutEquals", "[S]\nk\nk=4\n", "S", "k", "4"},
        ReadCase{"HeaderWithTrailingText", "[S] ; note\nk=v\n", "S", "k", "v"},
        ReadCase{"UnclosedHeaderIsNoSection", "[S\nk=v\n", "S", "k", std::nullopt},
        ReadCase{"CrLf", "[S]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"CrOnly", "[S]\rk=v\r", "S", "k", "v"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},
        ReadCase{"NoLineEndAtEnd", "[S]\nk=v", "S", "k", "v"},
        ReadCase{"CutAtNul", "[S]\nk=ab\0cd\n"s, "S", "k", "ab"},
        ReadCase{"Utf8Names", "[Größe]\nSchlüssel=wert\n", "Größe", "Schlüssel", "wert"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniDocument, TextsAreCutAfter4095Characters) {
    const std::string ascii(5000, 'a');
    EXPECT_EQ(IniDocument("[S]\nk=" + ascii).Find("S", "k"), std::string(4095, 'a'));

    // Two-byte characters: the cut counts characters and never splits one.
    std::string wide;
    for (int i = 0; i < 4100; ++i)
        wide += "é";
    const auto found = IniDocument("[S]\nk=" + wide).Find("S", "k");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), 4095u * 2);
    EXPECT_EQ(*found, wide.substr(0, 4095 * 2));
}

struct IntCase {
    const char* text;
    std::int32_t expected;
};

class ProfileInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(ProfileIntFromText(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileInt,
                         ::testing::Values(IntCase{"12", 12}, IntCase{"-7", -7}, IntCase{"+5", 5},
                                           IntCase{"  42", 42}, IntCase{"12abc", 12},
                                           IntCase{"1.5", 1}, IntCase{"abc", 0}, IntCase{"0x10", 0},
                                           IntCase{"--1", 0}, IntCase{"-", 0}, IntCase{"- 1", 0},
                                           IntCase{"2147483647", 2147483647},
                                           IntCase{"2147483648", -2147483647 - 1},
                                           IntCase{"4294967295", -1},
                                           // 99999999999 modulo 2^32
                                           IntCase{"99999999999", 1215752191}));

TEST(IniDocument, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
    IniDocument document("; settings written by hand\r\n"
                         "[SystemSettings]\r\n"
                         "  flatbuttons =  0   \r\n"
                         "; the next one matters\r\n"
                         "HotKey=1\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "FlatButtons=7\r\n");
    EXPECT_EQ(document.Set("SystemSettings", "FlatButtons", "1"), IniDocument::Edit::Changed);
    EXPECT_EQ(document.Serialize("\n"), "; settings written by hand\n"
                                        "[SystemSettings]\n"
                                        "  flatbuttons =  1\n"
                                        "; the next one matters\n"
                                        "HotKey=1\n"
                                        "\n"
                                        "[Other]\n"
                                        "FlatButtons=7\n");
}

TEST(IniDocument, NewKeyGoesAfterTheLastKeyOfItsSection) {
    IniDocument document("[A]\n"
                         "x=1\n"
                         "\n"
                         "; about B\n"
                         "[B]\n"
                         "y=2\n"
                         "[Empty]\n"
                         "; nothing yet\n");
    EXPECT_EQ(document.Set("a", "New", "n"), IniDocument::Edit::Changed);
    EXPECT_EQ(document.Set("EMPTY", "First", "f"), IniDocument::Edit::Changed);
    EXPECT_EQ(document.Serialize("\n"), "[A]\n"
                                        "x=1\n"
                                        "New=n\n"
                                        "\n"
                                        "; about B\n"
                                        "[B]\n"
                                        "y=2\n"
                                        "[Empty]\n"
                                        "First=f\n"
                                        "; nothing yet\n");
}

TEST(IniDocument, NewSectionGoesAtTheEnd) {
    IniDocument empty;
    empty.Set("S", "k", "1");
    EXPECT_EQ(empty.Serialize("\r\n"), "[S]\r\nk=1\r\n");

    IniDocument unterminated("[A]\nx=1");
    unterminated.Set("B", "y", "2");
    EXPECT_EQ(unterminated.Serialize("\n"), "[A]\nx=1\n\n[B]\ny=2\n");

    IniDocument endsBlank("[A]\nx=1\n\n");
    endsBlank.Set("B", "y", "2");
    EXPECT_EQ(endsBlank.Serialize("\n"), "[A]\nx=1\n\n[B]\ny=2\n");
}

TEST(IniDocument, DuplicatesEditOnlyTheFirst) {
    IniDocument document("[S]\nk=1\nk=2\n[S]\nk=3\nother=4\n");
    document.Set("S", "k", "9");
    document.Set("S", "other", "5");
    EXPECT_EQ(document.Serialize("\n"), "[S]\nk=9\nk=2\nother=5\n[S]\nk=3\nother=4\n");
}

TEST(IniDocument, SameValueChangesNothing) {
    const std::string text = "\xEF\xBB\xBF[S]\r\nk = \"v\"\r\n";
    IniDocument document(text);
    EXPECT_EQ(document.Set("s", "K", "v"), IniDocument::Edit::Unchanged);
    EXPECT_EQ(document.Serialize("\r\n"), text) << "quotes, spacing and the mark stay";
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
         {"", "plain", " lead", "trail ", "\tboth\t", "\"q\"", "'s'", "\"", "'", "a=b", "x;y",
          "\"mixed'", "[not a section]", "ü and ß"}) {
        IniDocument document("[S]\nk=old\n");
        ASSERT_NE(document.Set("S", "k", value), IniDocument::Edit::Refused) << value;
        ASSERT_NE(document.Set("S", "new", value), IniDocument::Edit::Refused) << value;
        const IniDocument reread(document.Serialize("\n"));
        EXPECT_EQ(reread.Find("S", "k"), value);
        EXPECT_EQ(reread.Find("S", "new"), value);
    }
}

TEST(IniDocument, RefusesWhatTheFormatCannotHold) {
    struct Refusal {
        std::string section, key, value;
    };
    for (const auto& [section, key, value] : {
             Refusal{"S", "k", "two\nlines"},
             Refusal{"S", "k", "cr\rhere"},
             Refusal{"S", "k", "nul\0"s},
             Refusal{"S", "a=b", "v"},
             Refusal{"S", "[k]", "v"},
             Refusal{"S", ";k", "v"},
             Refusal{"S", " k", "v"},
             Refusal{"S", "", "v"},
             Refusal{"a]b", "k", "v"},
             Refusal{"S\n", "k", "v"},
             Refusal{" S", "k", "v"},
             Refusal{"", "k", "v"},
         }) {
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
