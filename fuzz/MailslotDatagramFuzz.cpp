// Arbitrary bytes as a payload arriving on the datagram port: what is accepted must build back
// into a packet that reads the same, and the receive rule must take it without harm.
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"

#include <cstdint>

using namespace kestrola::platform::netbios;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DatagramParse parsed = ParseMailslotDatagram({data, size});
    if (!parsed.ok())
        return 0;
    const MailslotDatagram& d = parsed.datagram;
    AcceptsDestination(d.type, d.destination, "PC1", "WORKGROUP");
    if (MailslotLeaf(d.mailslot).empty() || d.data.size() > size)
        __builtin_trap();
    const DatagramParse again = ParseMailslotDatagram(AsBytes(BuildMailslotDatagram(d)));
    if (!again.ok() || again.datagram.data != d.data || again.datagram.mailslot != d.mailslot ||
        !SameName(again.datagram.source, d.source) ||
        !SameName(again.datagram.destination, d.destination) || again.datagram.id != d.id)
        __builtin_trap();
    return 0;
}
