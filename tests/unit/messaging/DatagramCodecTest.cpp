#include "messaging/DatagramCodec.h"

#include "messaging/ReceiveRules.h"
#include "platform/linux/LinuxCodePage.h"
#include "store/Stamp.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using namespace std::string_literals;

class DatagramCodecTest : public ::testing::Test {
protected:
    static MessageRecord Received(const std::string& bytes) {
        MessageRecord r;
        r.SetBody(bytes);
        r.stamp = MakeStamp({2005, 12, 6, 9, 5, 7});
        return r;
    }
    std::unique_ptr<platform::CodePage> m_437 = platform::LinuxCodePage::Create(437);
    std::unique_ptr<platform::CodePage> m_850 = platform::LinuxCodePage::Create(850);
};

TEST_F(DatagramCodecTest, EncodeUpperCasesTargetEndsEveryFieldAndConverts) {
    EXPECT_EQ(EncodeDatagram(*m_437, "PC1", "pc2", "hi"), "PC1\0PC2\0hi\0"s);
    EXPECT_EQ(EncodeDatagram(*m_437, "PC1", "", ""), "PC1\0\0\0"s);
    // A line break travels as CR LF; a stray NUL cannot split a field.
    EXPECT_EQ(EncodeDatagram(*m_437, "A", "b", "x\r\ny\0z"s), "A\0B\0x\r\ny?z\0"s);
    // Code page 850: ü 0x81, ß 0xE1, Ü 0x9A; a character the page lacks becomes '?'.
    EXPECT_EQ(EncodeDatagram(*m_850, "Jürgen", "müller", "Grüße €"),
              "J\x81rgen\0M\x9ALLER\0Gr\x81\xE1"
              "e ?\0"s);
    MessageRecord r = Received(EncodeDatagram(*m_850, "Jürgen", "müller", "Grüße €"));
    DecodeDatagram(*m_850, r);
    EXPECT_EQ(r.from + "|" + r.to + "|" + r.text, "Jürgen|MÜLLER|Grüße ?");
}

TEST_F(DatagramCodecTest, DecodeFields) {
    const struct {
        std::string body;
        std::string from, to, text;
    } cases[] = {
        {"A\0B\0hi\0"s, "A", "B", "hi"},
        {"A\0B\0hi"s, "A", "B", "hi"},
        {"hello", "hello", "//Error", "//Error"},
        {"", "//Error", "//Error", "//Error"},
        {"PC1\0\0hi\0"s, "PC1", "//Error", "hi"},
        {"MY PC\0B\0a b\0"s, "MY PC", "B", "a b"},
        {"A\0B\0one\x14two\0"s, "A", "B", "one\r\ntwo"},
        {"A\0B\0a\ab\0"s, "A", "B", "ab"}, // BEL
        {"A\0B\0a\r\nb\0"s, "A", "B", "a\r\nb"},
        {"P\1C\37\0B\r\0x\v\0"s, "PC", "B", "x\v"},
        {"A\0B\0t\0junk"s, "A", "B", "t"},
        {std::string(kBodyCapacity, 'x'), std::string(kBodyCapacity, 'x'), "//Error", "//Error"},
    };
    for (const auto& c : cases) {
        MessageRecord r = Received(c.body);
        DecodeDatagram(*m_437, r);
        EXPECT_EQ(r.from + "|" + r.to + "|" + r.text, c.from + "|" + c.to + "|" + c.text) << c.body;
        EXPECT_EQ(r.dateText, "09:05:07 , 06/12/2005");
    }
}

TEST_F(DatagramCodecTest, DecodeReadsOnlyTheValidBytes) {
    // A body filled by an earlier, longer record: bytes past bodyLength must not leak in.
    MessageRecord r = Received("OLD\0SENDER\0old text\0"s);
    r.bodyLength = 5;
    std::copy_n("hello", 5, r.body.begin());
    DecodeDatagram(*m_437, r);
    EXPECT_EQ(r.from + "|" + r.to + "|" + r.text, "hello|//Error|//Error");
    MessageRecord cut = Received("SENDER\0RCPT\0"s + std::string(138, 'm'));
    cut.bodyLength = static_cast<std::uint32_t>(kKeptDatagramBytes);
    DecodeDatagram(*m_437, cut);
    EXPECT_EQ(cut.text, std::string(110 - 12, 'm'));
}

TEST_F(DatagramCodecTest, PersonalOnlyForTheLocalName) {
    EXPECT_TRUE(IsPersonal(*m_850, "pc1", "PC1"));
    EXPECT_TRUE(IsPersonal(*m_850, "jürgen", "JÜRGEN"));
    for (const char* group : {"WORKGROUP", "*", "PC12", "//Error", ""})
        EXPECT_FALSE(IsPersonal(*m_850, group, "PC1")) << group;
}

TEST(DuplicateDetector, WindowOfTicks) {
    MessageRecord a, b;
    a.SetBody("A\0B\0hi\0"s);
    b.SetBody("A\0B\0ho\0"s);
    // {window, ticks between two equal datagrams, duplicate}; 0 and 255 are "never" and "always".
    const int cases[][3] = {{2, 0, 1}, {2, 2, 1}, {2, 3, 0}, {0, 1, 0}, {255, 1000, 1}};
    for (const auto& [window, ticks, duplicate] : cases) {
        DuplicateDetector detector(window);
        EXPECT_FALSE(detector.IsDuplicate(a));
        for (int i = 0; i < ticks; ++i)
            detector.Tick();
        EXPECT_EQ(detector.IsDuplicate(a), duplicate == 1) << window << " " << ticks;
        EXPECT_FALSE(detector.IsDuplicate(b)) << "another text";
    }
}

} // namespace
} // namespace kestrola::core
