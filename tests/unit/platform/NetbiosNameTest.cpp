#include "platform/netbios/NetbiosName.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

std::string Encoded(const NetbiosName& name) {
    std::string out;
    AppendEncodedName(out, name);
    return out;
}

struct EncodingCase {
    NetbiosName name;
    std::string characters; // the 32 encoded characters
};

class NetbiosNameEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(NetbiosNameEncoding, MatchesTheReferenceAndReadsBack) {
    const std::string wire = Encoded(GetParam().name);
    EXPECT_EQ(wire, " " + GetParam().characters + std::string(1, '\0'));
    const NameParse back = ParseEncodedName(AsBytes(wire), 0, false);
    ASSERT_TRUE(back.ok()) << back.refused;
    EXPECT_EQ(back.name, GetParam().name);
    EXPECT_EQ(back.next, kEncodedNameSize);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, NetbiosNameEncoding,
    ::testing::Values(EncodingCase{{"PC1", 0x00}, "FAEDDBCACACACACACACACACACACACAAA"},
                      EncodingCase{{"PC2", 0x00}, "FAEDDCCACACACACACACACACACACACAAA"},
                      EncodingCase{{"PC1", 0x03}, "FAEDDBCACACACACACACACACACACACAAD"},
                      EncodingCase{{"WORKGROUP", 0x00}, "FHEPFCELEHFCEPFFFACACACACACACAAA"},
                      EncodingCase{{"WORKGROUP", 0x1D}, "FHEPFCELEHFCEPFFFACACACACACACABN"},
                      EncodingCase{{"", 0x00}, "CACACACACACACACACACACACACACACAAA"},
                      EncodingCase{{"\x01\x02__MSBROWSE__\x02", 0x01},
                                   "ABACFPFPENFDECFCEPFHFDEFFPFPACAB"}));

TEST(NetbiosName, RawFormUpperCasesAndPads) {
    const auto raw = RawName({"pc1", 0x03});
    EXPECT_EQ(std::string(raw.begin(), raw.end()), std::string("PC1            \x03", 16));
    // The wildcard is padded with NUL bytes.
    const auto star = RawName({"*", 0x00});
    EXPECT_EQ(std::string(star.begin(), star.end()),
              std::string("*\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(ParseEncodedName(AsBytes(Encoded({"*", 0})), 0, false).name.name, "*");
    // Bytes above ASCII pass unchanged (the code page upper-cases them before).
    const auto oem = RawName({"\x81X", 0});
    EXPECT_EQ(oem[0], 0x81);
    EXPECT_EQ(oem[1], 'X');
}

TEST(NetbiosName, ComparisonIgnoresCaseButNotSuffix) {
    EXPECT_TRUE(SameName({"pc1", 0}, {"PC1", 0}));
    EXPECT_FALSE(SameName({"PC1", 0}, {"PC1", 3}));
    EXPECT_FALSE(SameName({"PC1", 0}, {"PC10", 0}));
    EXPECT_EQ(NameForDisplay({"WORKGROUP", 0x1D}), "WORKGROUP<1D>");
}

struct CheckCase {
    std::string name;
    bool valid;
};

class NetbiosNameCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(NetbiosNameCheck, Verdict) {
    EXPECT_EQ(CheckName(GetParam().name).empty(), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetbiosNameCheck,
    ::testing::Values(CheckCase{"PC1", true}, CheckCase{"A", true},
                      CheckCase{"FIFTEEN-CHARS-X", true}, CheckCase{"SIXTEEN-CHARS-XY", false},
                      CheckCase{"", false}, CheckCase{"MY PC", true}, CheckCase{"J\x81RGEN", true},
                      CheckCase{"A*B", false}, CheckCase{"*", false}, CheckCase{"A\\B", false},
                      CheckCase{"A/B", false}, CheckCase{"A:B", false}, CheckCase{"A?B", false},
                      CheckCase{"A\"B", false}, CheckCase{"A<B", false}, CheckCase{"A>B", false},
                      CheckCase{"A|B", false}, CheckCase{"A\tB", false},
                      CheckCase{std::string("A\0B", 3), false}, CheckCase{"A\x7F", false}));

TEST(NetbiosName, RefusesMalformedFields) {
    const std::string good = Encoded({"PC1", 0});
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t offset;
        bool allowPointer;
    };
    std::string badLength = good;
    badLength[0] = 0x1F;
    std::string badCharacter = good;
    badCharacter[5] = 'Q';
    std::string lowCharacter = good;
    lowCharacter[6] = '@';
    std::string scoped = good;
    scoped[33] = 0x03;
    const std::string pointerForward = std::string("\xC0\x02", 2) + good;
    const std::string pointerToPointer = std::string("\xC0\x00", 2) + std::string("\xC0\x00", 2);
    const Case cases[] = {{"empty", "", 0, false},
                          {"offset at the end", good, good.size(), false},
                          {"length byte not 32", badLength, 0, false},
                          {"character above P", badCharacter, 0, false},
                          {"character below A", lowCharacter, 0, false},
                          {"scope", scoped, 0, false},
                          {"pointer not allowed", std::string("\xC0\x0C", 2), 0, false},
                          {"pointer cut short", std::string("\xC0", 1), 0, true},
                          {"pointer forwards", pointerForward, 0, true},
                          {"pointer to a pointer", pointerToPointer, 2, true}};
    for (const Case& c : cases)
        EXPECT_FALSE(ParseEncodedName(AsBytes(c.bytes), c.offset, c.allowPointer).ok()) << c.what;
    // Every cut of a good name is refused without reading past the cut.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const std::string cut = good.substr(0, n);
        EXPECT_FALSE(ParseEncodedName(AsBytes(cut), 0, false).ok()) << "cut at " << n;
    }
}

TEST(NetbiosName, FollowsOneBackwardPointer) {
    const std::string packet = "xxxx" + Encoded({"PC2", 0}) + std::string("\xC0\x04", 2);
    const NameParse parsed = ParseEncodedName(AsBytes(packet), 4 + kEncodedNameSize, true);
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    EXPECT_EQ(parsed.name, (NetbiosName{"PC2", 0}));
    EXPECT_EQ(parsed.next, packet.size());
}

} // namespace
} // namespace kestrola::platform::netbios
