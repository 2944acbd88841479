#include "messaging/DatagramCodec.h"

#include "platform/linux/LinuxCodePage.h"
#include "store/Stamp.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

std::unique_ptr<platform::CodePage> Page(int number) {
    auto page = platform::LinuxCodePage::Create(number);
    EXPECT_NE(page, nullptr) << "code page " << number;
    return page;
}

MessageRecord Received(const std::string& bytes) {
    MessageRecord r;
    r.SetBody(bytes);
    r.stamp = MakeStamp({2005, 12, 6, 9, 5, 7});
    return r;
}

TEST(EncodeDatagram, UpperCasesTargetAndEndsEveryField) {
    const auto page = Page(437);
    EXPECT_EQ(EncodeDatagram(*page, "PC1", "pc2", "hi"),
              std::string("\x50\x43\x31\x00\x50\x43\x32\x00\x68\x69\x00", 11));
    EXPECT_EQ(EncodeDatagram(*page, "PC1", "", ""), std::string("PC1\0\0\0", 6));
    // A line break typed in the composer travels as CR LF; a stray NUL cannot split a field.
    EXPECT_EQ(EncodeDatagram(*page, "A", "b", std::string("x\r\ny\0z", 6)),
              std::string("A\0B\0x\r\ny?z\0", 11));
}

TEST(EncodeDatagram, ConvertsToTheOemCodePage) {
    const auto page = Page(850);
    // ü is 0x81 and ß 0xE1 in code page 850; the target's ü upper-cases to Ü (0x9A).
    EXPECT_EQ(EncodeDatagram(*page, "Jürgen", "müller", "Grüße"),
              "J\x81rgen" + std::string(1, '\0') + "M\x9ALLER" + std::string(1, '\0') +
                  "Gr\x81\xE1"
                  "e" +
                  std::string(1, '\0'));
    // A character the page lacks becomes '?', one byte per character.
    EXPECT_EQ(EncodeDatagram(*page, "PC", "X", "5 €"), std::string("PC\0X\0"
                                                                   "5 ?\0",
                                                                   9));
}

struct DecodeCase {
    const char* name;
    std::string body;
    std::string from, to, text;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeDatagramTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeDatagramTable, Fields) {
    const auto page = Page(437);
    MessageRecord r = Received(GetParam().body);
    DecodeDatagram(*page, r);
    EXPECT_EQ(r.from, GetParam().from);
    EXPECT_EQ(r.to, GetParam().to);
    EXPECT_EQ(r.text, GetParam().text);
    EXPECT_EQ(r.dateText, "09:05:07 , 06/12/2005");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeDatagramTable,
    ::testing::Values(
        DecodeCase{"ThreeFields", std::string("A\0B\0hi\0", 7), "A", "B", "hi"},
        DecodeCase{"NoTerminator", std::string("A\0B\0hi", 6), "A", "B", "hi"},
        DecodeCase{"NoNulAtAll", "hello", "hello", "//Error", "//Error"},
        DecodeCase{"Empty", "", "//Error", "//Error", "//Error"},
        DecodeCase{"EmptyRecipient", std::string("PC1\0\0hi\0", 8), "PC1", "//Error", "hi"},
        DecodeCase{"LineBreakByte14", std::string("A\0B\0one\x14two\0", 12), "A", "B",
                   "one\r\ntwo"},
        DecodeCase{"Bell07Dropped",
                   std::string("A\0B\0a\x07"
                               "b\0",
                               8),
                   "A", "B", "ab"},
        DecodeCase{"CrLfKept", std::string("A\0B\0a\r\nb\0", 9), "A", "B", "a\r\nb"},
        DecodeCase{"ControlsInNamesDropped",
                   std::string("P\x01"
                               "C\x1f\0B\x0d\0x\x0b\0",
                               10),
                   "PC", "B", "x\x0b"},
        DecodeCase{"BytesAfterTextIgnored", std::string("A\0B\0t\0junk", 10), "A", "B", "t"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeDatagram, ConvertsFromOemAndKeepsLengthInCharacters) {
    const auto page = Page(850);
    MessageRecord r = Received(EncodeDatagram(*page, "Jürgen", "müller", "Grüße €"));
    DecodeDatagram(*page, r);
    EXPECT_EQ(r.from, "Jürgen");
    EXPECT_EQ(r.to, "MÜLLER");
    EXPECT_EQ(r.text, "Grüße ?");
}

TEST(DecodeDatagram, ReadsOnlyTheValidBytes) {
    const auto page = Page(437);
    // A body filled by an earlier, longer record: bytes past bodyLength must not leak in.
    MessageRecord r = Received(std::string("OLD\0SENDER\0old text\0", 20));
    r.bodyLength = 5;
    std::copy_n("hello", 5, r.body.begin());
    DecodeDatagram(*page, r);
    EXPECT_EQ(r.from, "hello");
    EXPECT_EQ(r.to, "//Error");
    EXPECT_EQ(r.text, "//Error");

    // A full 1027-byte body without NUL is read to its end and no further.
    MessageRecord full = Received(std::string(kBodyCapacity, 'x'));
    DecodeDatagram(*page, full);
    EXPECT_EQ(full.from, std::string(kBodyCapacity, 'x'));
    EXPECT_EQ(full.to, "//Error");
}

TEST(DecodeDatagram, CutDatagramLosesItsTail) {
    const auto page = Page(437);
    std::string datagram = std::string("SENDER\0RCPT\0", 12) + std::string(138, 'm');
    ASSERT_EQ(datagram.size(), 150u);
    MessageRecord r = Received(datagram);
    r.bodyLength = static_cast<std::uint32_t>(kKeptDatagramBytes);
    DecodeDatagram(*page, r);
    EXPECT_EQ(r.text, std::string(110 - 12, 'm'));
}

} // namespace
} // namespace kestrola::core
