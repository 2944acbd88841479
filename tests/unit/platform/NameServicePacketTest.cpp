#include "platform/netbios/NameServicePacket.h"

#include "Hex.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

using kestrola::testing::FromHex;

const std::string kQuery =
    FromHex("56 78 01 10 00 01 00 00 00 00 00 00 20 46 41 45 44 44 43 43 41 43 41 43 41 43 41 43\n"
            "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00 00 20 00 01");

const std::string kResponse =
    FromHex("56 78 85 00 00 00 00 01 00 00 00 00 20 46 41 45 44 44 43 43 41 43 41 43 41 43 41 43\n"
            "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00 00 20 00 01 00 04 93 e0 00 06\n"
            "00 00 c0 a8 01 14");

TEST(NameService, BuildsTheReferenceQuery) {
    ASSERT_EQ(kQuery.size(), 50u);
    EXPECT_EQ(BuildNameQuery(0x5678, {"PC2", 0}, true), kQuery);
    // A directed query lacks only the broadcast flag.
    std::string directed = kQuery;
    directed[3] = 0x00;
    EXPECT_EQ(BuildNameQuery(0x5678, {"pc2", 0}, false), directed);
}

TEST(NameService, BuildsTheReferenceResponse) {
    ASSERT_EQ(kResponse.size(), 62u);
    EXPECT_EQ(BuildPositiveResponse(0x5678, {"PC2", 0}, 300000, {{0x0000, 0xC0A80114}}), kResponse);
}

// A broadcast claim of PC1<00> as RFC 1002 (4.2.2) lays it out: the question, then the
// resource record naming it by a pointer to offset 12.
TEST(NameService, BuildsTheRegistrationRequest) {
    EXPECT_EQ(BuildRegistrationRequest(0x1234, {"pc1", 0}, 300000, {0x6000, 0x0AD50002}),
              FromHex("12 34 29 10 00 01 00 00 00 00 00 01 20 46 41 45 44 44 42 43 41 43 41 43 "
                      "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00 00 20 "
                      "00 01 c0 0c 00 20 00 01 00 04 93 e0 00 06 60 00 0a d5 00 02"));
}

TEST(NameService, ReadsQueryAndResponse) {
    const NameServiceParse query = ParseNameServicePacket(AsBytes(kQuery));
    ASSERT_TRUE(query.ok()) << query.refused;
    EXPECT_EQ(query.packet.id, 0x5678);
    EXPECT_FALSE(query.packet.response());
    EXPECT_TRUE(query.packet.broadcast());
    EXPECT_EQ(query.packet.opcode(), 0);
    EXPECT_EQ(query.packet.name, (NetbiosName{"PC2", 0}));
    EXPECT_EQ(query.packet.type, kTypeNb);

    const NameServiceParse response = ParseNameServicePacket(AsBytes(kResponse));
    ASSERT_TRUE(response.ok()) << response.refused;
    EXPECT_TRUE(response.packet.response());
    EXPECT_EQ(response.packet.rcode(), 0);
    EXPECT_EQ(response.packet.ttl, 300000u);
    ASSERT_EQ(response.packet.entries.size(), 1u);
    EXPECT_EQ(response.packet.entries[0].address, 0xC0A80114u);
    EXPECT_FALSE(response.packet.entries[0].group());
}

TEST(NameService, GroupAnswersWithSeveralAddressesRoundTrip) {
    const std::vector<NameEntry> entries = {{kGroupNameFlag, 0x0AD50001},
                                            {kGroupNameFlag | 0x6000, 0x0AD50002}};
    const std::string wire = BuildPositiveResponse(7, {"WORKGROUP", 0}, 60, entries);
    const NameServiceParse parsed = ParseNameServicePacket(AsBytes(wire));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    EXPECT_EQ(parsed.packet.entries, entries);
    EXPECT_TRUE(parsed.packet.entries[1].group());
    EXPECT_EQ(parsed.packet.name, (NetbiosName{"WORKGROUP", 0}));
}

TEST(NameService, ReadsAnAnswerThatRepeatsTheQuestionByPointer) {
    // QDCOUNT 1 with the question, then the answer's name as a pointer to it (offset 12).
    std::string wire = kQuery;
    wire[2] = static_cast<char>(0x85);
    wire[3] = 0x00;
    wire[7] = 0x01; // ANCOUNT 1
    wire += FromHex("c0 0c 00 20 00 01 00 00 00 3c 00 06 80 00 0a d5 00 07");
    const NameServiceParse parsed = ParseNameServicePacket(AsBytes(wire));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    EXPECT_EQ(parsed.packet.name, (NetbiosName{"PC2", 0}));
    ASSERT_EQ(parsed.packet.entries.size(), 1u);
    EXPECT_TRUE(parsed.packet.entries[0].group());
    EXPECT_EQ(parsed.packet.entries[0].address, 0x0AD50007u);
}

struct MalformedCase {
    const char* what;
    std::string bytes;
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.what;
}

class MalformedNameService : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedNameService, IsRefused) {
    EXPECT_FALSE(ParseNameServicePacket(AsBytes(GetParam().bytes)).ok());
}

std::string With(std::string bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = static_cast<char>(value);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedNameService,
    ::testing::Values(
        MalformedCase{"request without question", With(kQuery, 5, 0)},
        MalformedCase{"question name length", With(kQuery, 12, 0x10)},
        MalformedCase{"question name character", With(kQuery, 20, 'x')},
        MalformedCase{"question with a scope", With(kQuery, 45, 0x04)},
        MalformedCase{"question as a pointer", With(With(kQuery, 12, 0xC0), 13, 0x0C)},
        MalformedCase{"question class", With(kQuery, 49, 0x02)},
        MalformedCase{"response without answer", With(kResponse, 7, 0)},
        MalformedCase{"response with two questions", With(kResponse, 5, 2)},
        MalformedCase{"answer class", With(kResponse, 49, 0x03)},
        MalformedCase{"record data beyond the packet", With(kResponse, 55, 0x0C)},
        MalformedCase{"record data not a multiple of 6", With(kResponse.substr(0, 61), 55, 5)},
        MalformedCase{"answer name forward pointer", With(With(kResponse, 12, 0xC0), 13, 0x20)}));

TEST(MalformedNameService, EveryCutIsRefused) {
    for (const std::string* packet : {&kQuery, &kResponse}) {
        for (std::size_t n = 0; n < packet->size(); ++n) {
            const std::string cut = packet->substr(0, n);
            EXPECT_FALSE(ParseNameServicePacket(AsBytes(cut)).ok()) << "cut at " << n;
        }
    }
}

} // namespace
} // namespace kestrola::platform::netbios
