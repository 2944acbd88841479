#include "platform/netbios/Ipv4UdpPacket.h"

namespace kestrola::platform::netbios {

namespace {

constexpr std::size_t kMinIpHeader = 20;
constexpr std::size_t kUdpHeader = 8;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::uint16_t kMoreFragmentsFlag = 0x2000;
constexpr std::uint16_t kFragmentOffsetMask = 0x1FFF;

std::uint16_t Get16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

std::uint32_t Get32(Bytes bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Get16(bytes, at)) << 16 | Get16(bytes, at + 2);
}

void Put16(std::string& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<char>(value >> 8 & 0xFF);
    out[at + 1] = static_cast<char>(value & 0xFF);
}

void Put32(std::string& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value >> 16);
    Put16(out, at + 2, value & 0xFFFF);
}

// The ones'-complement sum of RFC 1071 over `bytes`, added to `sum`.
std::uint32_t AddWords(std::uint32_t sum, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto high = static_cast<std::uint8_t>(bytes[i]);
        const auto low = i + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 1]) : 0;
        sum += static_cast<std::uint32_t>(high << 8 | low);
    }
    return sum;
}

std::uint16_t Fold(std::uint32_t sum) {
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

} // namespace

Ipv4UdpParse ParseIpv4Udp(Bytes packet) {
    Ipv4UdpParse result;
    if (packet.size() < kMinIpHeader) {
        result.refused = "shorter than an IPv4 header";
        return result;
    }
    if (packet[0] >> 4 != 4) {
        result.refused = "not IPv4";
        return result;
    }
    const std::size_t headerLength = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
    const std::size_t total = Get16(packet, 2);
    if (headerLength < kMinIpHeader) {
        result.refused = "IPv4 header length below 20 bytes";
        return result;
    }
    if (total < headerLength + kUdpHeader || total > packet.size()) {
        result.refused = "IPv4 total length outside the packet";
        return result;
    }
    if (packet[9] != kProtocolUdp) {
        result.refused = "not UDP";
        return result;
    }
    if ((Get16(packet, 6) & (kMoreFragmentsFlag | kFragmentOffsetMask)) != 0) {
        result.refused = "an IPv4 fragment";
        return result;
    }
    const Bytes udp = packet.subspan(headerLength, total - headerLength);
    const std::size_t udpLength = Get16(udp, 4);
    if (udpLength < kUdpHeader || udpLength > udp.size()) {
        result.refused = "UDP length outside the IPv4 payload";
        return result;
    }
    Ipv4UdpPacket& p = result.packet;
    p.source = Get32(packet, 12);
    p.destination = Get32(packet, 16);
    p.sourcePort = Get16(udp, 0);
    p.destinationPort = Get16(udp, 2);
    p.payload = udp.subspan(kUdpHeader, udpLength - kUdpHeader);
    return result;
}

std::string BuildIpv4Udp(const Ipv4UdpPacket& addresses, std::string_view payload) {
    const std::size_t udpLength = kUdpHeader + payload.size();
    std::string out(kMinIpHeader + kUdpHeader, '\0');
    out[0] = 0x45;
    Put16(out, 2, static_cast<std::uint32_t>(kMinIpHeader + udpLength));
    out[8] = 64;
    out[9] = static_cast<char>(kProtocolUdp);
    Put32(out, 12, addresses.source);
    Put32(out, 16, addresses.destination);
    Put16(out, 10, Fold(AddWords(0, std::string_view(out).substr(0, kMinIpHeader))));
    Put16(out, 20, addresses.sourcePort);
    Put16(out, 22, addresses.destinationPort);
    Put16(out, 24, static_cast<std::uint32_t>(udpLength));
    out.append(payload);
    // The pseudo header: both addresses, the protocol and the UDP length.
    std::uint32_t sum = AddWords(0, std::string_view(out).substr(12, 8));
    sum += kProtocolUdp + static_cast<std::uint32_t>(udpLength);
    std::uint16_t checksum = Fold(AddWords(sum, std::string_view(out).substr(kMinIpHeader)));
    Put16(out, 26, checksum == 0 ? 0xFFFF : checksum);
    return out;
}

} // namespace kestrola::platform::netbios
