#pragma once

#include "platform/netbios/NetbiosName.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrola::platform::netbios {

/// A UDP datagram in an IPv4 packet, as a raw socket delivers it (from the IP header on).
struct Ipv4UdpPacket {
    std::uint32_t source = 0;      ///< host byte order
    std::uint32_t destination = 0; ///< host byte order
    std::uint16_t sourcePort = 0;
    std::uint16_t destinationPort = 0;
    Bytes payload; ///< the UDP payload, inside the bytes that were read
};

/// The result of reading a raw IPv4 packet.
struct Ipv4UdpParse {
    Ipv4UdpPacket packet;
    std::string_view refused; ///< why it was refused; empty when it was read
    bool ok() const { return refused.empty(); }
};

/// Reads the IPv4 and UDP headers of `packet`: version 4, a header of 20 to 60 bytes, a total
/// length within what was read (bytes after it are ignored), protocol UDP, not a fragment, a UDP
/// length within the IP payload. The UDP checksum is not checked: the kernel hands raw sockets
/// packets of local senders with the checksum still to be filled in. Never reads outside
/// `packet`.
Ipv4UdpParse ParseIpv4Udp(Bytes packet);

/// An IPv4 packet (no options, TTL 64) carrying `payload` from `from` to `to`, with its header
/// and UDP checksums.
std::string BuildIpv4Udp(const Ipv4UdpPacket& addresses, std::string_view payload);

} // namespace kestrola::platform::netbios
