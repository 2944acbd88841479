#include "platform/netbios/Ipv4UdpPacket.h"

#include "Hex.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

using kestrola::testing::FromHex;

// Built by scapy: 10.213.0.2:138 to the broadcast 10.213.0.255:138, payload "hi!".
const std::string kBroadcast = FromHex(R"(
45 00 00 1f 00 00 00 00 40 11 64 24 0a d5 00 02 0a d5 00 ff
00 8a 00 8a 00 0b 5e b0 68 69 21)");

TEST(Ipv4UdpPacket, BuildsWhatAnIndependentEncoderBuilds) {
    const struct {
        std::uint32_t destination;
        std::uint16_t sourcePort;
        const char* payload;
        std::string packet; // scapy's, from 10.213.0.2
    } cases[] = {
        {0x0AD500FF, 138, "hi!", kBroadcast},
        {0x0AD50001, 40000, "",
         FromHex("45 00 00 1c 00 00 00 00 40 11 65 25 0a d5 00 02 0a d5 00 01 9c 40 00 8a 00 08 "
                 "4d 67")},
        // Header sums of exactly 0x10000, of 0xFFFF, and one whose first fold carries again.
        {0x6FFC0000, 138, "",
         FromHex("45 00 00 1c 00 00 00 00 40 11 ff fe 0a d5 00 02 6f fc 00 00 00 8a 00 8a 00 08 "
                 "83 f7")},
        {0x6FFBFFFF, 138, "",
         FromHex("45 00 00 1c 00 00 00 00 40 11 00 00 0a d5 00 02 6f fb ff ff 00 8a 00 8a 00 08 "
                 "83 f8")},
        {0xFFFF6FFC, 138, "",
         FromHex("45 00 00 1c 00 00 00 00 40 11 ff fe 0a d5 00 02 ff ff 6f fc 00 8a 00 8a 00 08 "
                 "83 f7")}};
    for (const auto& c : cases) {
        Ipv4UdpPacket addresses;
        addresses.source = 0x0AD50002;
        addresses.destination = c.destination;
        addresses.sourcePort = c.sourcePort;
        addresses.destinationPort = 138;
        EXPECT_EQ(BuildIpv4Udp(addresses, c.payload), c.packet) << std::hex << c.destination;
    }
}

TEST(Ipv4UdpPacket, ReadsAddressesPortsAndOnlyThePayloadTheLengthsGive) {
    // Link-layer padding after the IP total length is not payload.
    const std::string padded = kBroadcast + std::string(15, '\0');
    const Ipv4UdpParse parsed = ParseIpv4Udp(AsBytes(padded));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    EXPECT_EQ(parsed.packet.source, 0x0AD50002u);
    EXPECT_EQ(parsed.packet.destination, 0x0AD500FFu);
    EXPECT_EQ(parsed.packet.sourcePort, 138);
    EXPECT_EQ(parsed.packet.destinationPort, 138);
    EXPECT_EQ(std::string(parsed.packet.payload.begin(), parsed.packet.payload.end()), "hi!");

    // Options make the header longer; the UDP header follows them.
    std::string withOptions = kBroadcast;
    withOptions[0] = 0x46;
    withOptions[3] = 0x23;
    withOptions.insert(20, std::string("\x01\x01\x01\x00", 4));
    const Ipv4UdpParse again = ParseIpv4Udp(AsBytes(withOptions));
    ASSERT_TRUE(again.ok()) << again.refused;
    EXPECT_EQ(std::string(again.packet.payload.begin(), again.packet.payload.end()), "hi!");
}

struct Refusal {
    const char* what;
    std::size_t at; // byte changed, or the new size when `value` is negative
    int value;
    const char* reason;
};

TEST(Ipv4UdpPacket, RefusesWhatCannotBeReadInsideThePacket) {
    const Refusal refusals[] = {
        {"empty", 0, -1, "shorter than an IPv4 header"},
        {"19 bytes", 19, -1, "shorter than an IPv4 header"},
        {"IPv6", 0, 0x65, "not IPv4"},
        {"header length 16", 0, 0x44, "IPv4 header length below 20 bytes"},
        {"header length 60 in 31 bytes", 0, 0x4F, "IPv4 total length outside the packet"},
        {"total beyond the bytes read", 3, 0x20, "IPv4 total length outside the packet"},
        {"total leaves no UDP header", 3, 0x1B, "IPv4 total length outside the packet"},
        {"TCP", 9, 6, "not UDP"},
        {"more fragments", 6, 0x20, "an IPv4 fragment"},
        {"a later fragment", 7, 0x01, "an IPv4 fragment"},
        {"UDP length beyond the IP payload", 25, 0x0C, "UDP length outside the IPv4 payload"},
        {"UDP length below its header", 25, 0x07, "UDP length outside the IPv4 payload"}};
    for (const Refusal& r : refusals) {
        std::string packet = kBroadcast;
        if (r.value < 0)
            packet.resize(r.at);
        else
            packet[r.at] = static_cast<char>(r.value);
        const Ipv4UdpParse parsed = ParseIpv4Udp(AsBytes(packet));
        EXPECT_EQ(parsed.refused, r.reason) << r.what;
    }
}

} // namespace
} // namespace kestrola::platform::netbios
