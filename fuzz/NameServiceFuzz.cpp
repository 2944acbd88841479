// Arbitrary bytes as a payload arriving on the name service port: a packet that reads must have
// sane parts, and an answer built from what was read must read back the same.
#include "platform/netbios/NameServicePacket.h"

#include <cstdint>

using namespace kestrola::platform::netbios;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const NameServiceParse parsed = ParseNameServicePacket({data, size});
    if (!parsed.ok())
        return 0;
    const NameServicePacket& p = parsed.packet;
    if (p.name.name.size() > kNameLength || p.entries.size() * 6 > size)
        __builtin_trap();
    const std::string wire = BuildPositiveResponse(p.id, p.name, p.ttl, p.entries);
    const NameServiceParse again = ParseNameServicePacket(AsBytes(wire));
    if (!again.ok() || again.packet.entries != p.entries || again.packet.ttl != p.ttl ||
        !SameName(again.packet.name, p.name))
        __builtin_trap();
    return 0;
}
