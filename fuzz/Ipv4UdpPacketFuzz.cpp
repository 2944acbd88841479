// Arbitrary bytes as a raw socket delivers them: a packet that reads must have its payload
// inside the bytes read, and a packet built from what was read must read back the same.
#include "platform/netbios/Ipv4UdpPacket.h"

#include <cstdint>

using namespace kestrola::platform::netbios;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Ipv4UdpParse parsed = ParseIpv4Udp({data, size});
    if (!parsed.ok())
        return 0;
    const Ipv4UdpPacket& p = parsed.packet;
    if (p.payload.data() < data + 28 || p.payload.data() + p.payload.size() > data + size)
        __builtin_trap();
    const std::string payload(p.payload.begin(), p.payload.end());
    const std::string wire = BuildIpv4Udp(p, payload);
    const Ipv4UdpParse again = ParseIpv4Udp(AsBytes(wire));
    if (!again.ok() || again.packet.source != p.source ||
        again.packet.destination != p.destination || again.packet.sourcePort != p.sourcePort ||
        again.packet.destinationPort != p.destinationPort ||
        std::string(again.packet.payload.begin(), again.packet.payload.end()) != payload)
        __builtin_trap();
    return 0;
}
