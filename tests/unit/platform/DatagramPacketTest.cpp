#include "platform/netbios/DatagramPacket.h"

#include "Hex.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

using kestrola::testing::FromHex;

// The worked example: PC1 (192.168.1.10) to PC2<00>, 181 bytes.
const std::string kWorkedExample = FromHex(R"(
10 02 12 34 c0 a8 01 0a 00 8a 00 a7 00 00
20 46 41 45 44 44 42 43 41 43 41 43 41 43 41 43 41
43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00
20 46 41 45 44 44 43 43 41 43 41 43 41 43 41 43 41
43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00
ff 53 4d 42 25 00 00 00 00 18 04 00 00 00 00 00
00 00 00 00 00 00 00 00 00 00 ff fe 00 00 00 00
11 00 00 0b 00 00 00 00 00 00 00 00 00 00 00 00 00
00 00 00 00 58 00 0b 00 58 00 03 00 01 00 00 00 02 00
1e 00
5c 4d 41 49 4c 53 4c 4f 54 5c 4d 45 53 53 4e 47 52 00
00
50 43 31 00 50 43 32 00 68 69 00)");

MailslotDatagram WorkedExample() {
    MailslotDatagram d;
    d.type = kDirectUnique;
    d.id = 0x1234;
    d.sourceIp = 0xC0A8010A;
    d.sourcePort = 138;
    d.source = {"PC1", 0};
    d.destination = {"PC2", 0};
    d.mailslot = "\\MAILSLOT\\MESSNGR";
    d.data = std::string("PC1\0PC2\0hi\0", 11);
    return d;
}

void ExpectSame(const MailslotDatagram& a, const MailslotDatagram& b) {
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.sourceIp, b.sourceIp);
    EXPECT_EQ(a.sourcePort, b.sourcePort);
    EXPECT_EQ(a.source, b.source);
    EXPECT_EQ(a.destination, b.destination);
    EXPECT_EQ(a.mailslot, b.mailslot);
    EXPECT_EQ(a.data, b.data);
}

TEST(MailslotDatagram, BuildsTheWorkedExampleByteForByte) {
    ASSERT_EQ(kWorkedExample.size(), 181u);
    EXPECT_EQ(BuildMailslotDatagram(WorkedExample()), kWorkedExample);
}

TEST(MailslotDatagram, ReadsTheWorkedExample) {
    const DatagramParse parsed = ParseMailslotDatagram(AsBytes(kWorkedExample));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    ExpectSame(parsed.datagram, WorkedExample());
    EXPECT_EQ(MailslotLeaf(parsed.datagram.mailslot), "MESSNGR");
}

TEST(MailslotDatagram, BuildsTheHostAnnouncementExample) {
    MailslotDatagram d;
    d.type = kDirectGroup;
    d.source = {"PC1", 0};
    d.destination = {"WORKGROUP", 0x1D};
    d.mailslot = "\\MAILSLOT\\BROWSE";
    d.data = FromHex("01 00 60 ea 00 00 50 43 31 00 00 00 00 00 00 00 00 00 00 00 00 00 06 01 "
                     "03 00 00 00 0f 01 55 aa 00");
    const std::string wire = BuildMailslotDatagram(d);
    ASSERT_EQ(wire.size(), 203u);
    EXPECT_EQ(static_cast<std::uint8_t>(wire[10]) << 8 | static_cast<std::uint8_t>(wire[11]), 189);
    EXPECT_EQ(static_cast<std::uint8_t>(wire[kSmbOffset + 57]), 88);       // DataOffset
    EXPECT_EQ(wire.substr(kSmbOffset + 69 + 17, 2), std::string(2, '\0')); // the pad
    const DatagramParse parsed = ParseMailslotDatagram(AsBytes(wire));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    ExpectSame(parsed.datagram, d);
}

TEST(MailslotDatagram, RoundTripsEveryNameLengthAndDataSize) {
    for (std::size_t nameLength = 1; nameLength <= 12; ++nameLength) {
        for (const std::size_t dataSize : {0u, 1u, 110u, 424u}) {
            MailslotDatagram d = WorkedExample();
            d.type = nameLength % 2 ? kDirectGroup : kBroadcastDatagram;
            d.mailslot = "\\MAILSLOT\\" + std::string(nameLength, 'Q');
            d.data = std::string(dataSize, '\x5A');
            const std::string wire = BuildMailslotDatagram(d);
            // The data starts on a multiple of 4 from the SMB's first byte.
            const std::size_t offset = static_cast<std::uint8_t>(wire[kSmbOffset + 57]);
            EXPECT_EQ(offset % 4, 0u);
            const DatagramParse parsed = ParseMailslotDatagram(AsBytes(wire));
            ASSERT_TRUE(parsed.ok()) << parsed.refused;
            ExpectSame(parsed.datagram, d);
        }
    }
}

TEST(MailslotDatagram, LocatesDataByOffsetNotByPosition) {
    // Samba writes no pad: DataOffset = 70 + length of the name; the header is ignored beyond
    // signature and command, and the mailslot name may be in lower case.
    std::string wire = kWorkedExample;
    const std::size_t smb = kSmbOffset;
    wire.erase(smb + 69 + 18, 1); // drop the pad byte
    wire[smb + 57] = 87;          // DataOffset
    wire[smb + 53] = 0;           // ParameterOffset 0, as Samba
    wire[smb + 9] = 0;            // SMB flags 0
    wire[smb + 63] = 1;           // priority 1
    wire.replace(smb + 69, 17, "\\mailslot\\messngr");
    const DatagramParse parsed = ParseMailslotDatagram(AsBytes(wire));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    EXPECT_EQ(parsed.datagram.data, std::string("PC1\0PC2\0hi\0", 11));
    EXPECT_EQ(MailslotLeaf(parsed.datagram.mailslot), "messngr");
}

struct MalformedCase {
    const char* what;
    std::size_t at; // offset of the byte to set, from the packet start
    std::uint8_t value;
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.what;
}

class MalformedDatagram : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDatagram, IsRefused) {
    std::string wire = kWorkedExample;
    wire[GetParam().at] = static_cast<char>(GetParam().value);
    const DatagramParse parsed = ParseMailslotDatagram(AsBytes(wire));
    EXPECT_FALSE(parsed.ok());
}

constexpr std::size_t S = kSmbOffset;

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedDatagram,
    ::testing::Values(
        MalformedCase{"error datagram 0x13", 0, 0x13}, MalformedCase{"query request 0x14", 0, 0x14},
        MalformedCase{"positive query response 0x15", 0, 0x15},
        MalformedCase{"negative query response 0x16", 0, 0x16},
        MalformedCase{"unknown type 0x0F", 0, 0x0F}, MalformedCase{"unknown type 0x17", 0, 0x17},
        MalformedCase{"M flag", 1, 0x03}, MalformedCase{"packet offset", 13, 0x01},
        MalformedCase{"source name length", 14, 0x1F},
        MalformedCase{"source name character", 20, 'Z'},
        MalformedCase{"source name scope", 47, 0x02},
        MalformedCase{"destination name length", 48, 0x21},
        MalformedCase{"destination name character", 60, 0x40},
        MalformedCase{"destination scope", 81, 0x01}, MalformedCase{"magic", S, 0xFE},
        MalformedCase{"magic letter", S + 2, 'm'}, MalformedCase{"command", S + 4, 0x32},
        MalformedCase{"word count 16", S + 32, 16}, MalformedCase{"word count 18", S + 32, 18},
        MalformedCase{"setup count 2", S + 59, 2}, MalformedCase{"setup count 4", S + 59, 4},
        MalformedCase{"opcode 2", S + 61, 2},
        MalformedCase{"data count beyond the end", S + 55, 12},
        MalformedCase{"data offset beyond the end", S + 57, 0xF0},
        MalformedCase{"data offset high byte", S + 58, 0x01},
        MalformedCase{"data offset into the words", S + 57, 40},
        MalformedCase{"data offset into the name", S + 57, 80},
        MalformedCase{"name without prefix", S + 70, 'X'}));

TEST(MalformedDatagram, EveryCutIsRefused) {
    // Cuts before the data's end are refused; none reads past its end (checked under ASan).
    for (std::size_t n = 0; n < kWorkedExample.size(); ++n) {
        const std::string cut = kWorkedExample.substr(0, n);
        EXPECT_FALSE(ParseMailslotDatagram(AsBytes(cut)).ok()) << "cut at " << n;
    }
}

TEST(MalformedDatagram, NameWithoutTerminatorIsRefused) {
    std::string wire = kWorkedExample.substr(0, S + 69 + 17); // the name up to its NUL
    EXPECT_FALSE(ParseMailslotDatagram(AsBytes(wire)).ok());
    wire = kWorkedExample;
    wire[S + 69 + 17] = 'X'; // the NUL replaced: the name runs into pad and data
    wire.resize(S + 69 + 18);
    EXPECT_FALSE(ParseMailslotDatagram(AsBytes(wire)).ok());
}

} // namespace
} // namespace kestrola::platform::netbios
