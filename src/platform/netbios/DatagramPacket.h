#pragma once

#include "platform/netbios/NetbiosName.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrola::platform::netbios {

/// NetBIOS datagram service message types.
enum DatagramType : std::uint8_t {
    kDirectUnique = 0x10,
    kDirectGroup = 0x11,
    kBroadcastDatagram = 0x12,
    kDatagramError = 0x13,
    kQueryRequest = 0x14,
    kPositiveQueryResponse = 0x15,
    kNegativeQueryResponse = 0x16,
};

/// Datagram header flags: first fragment, more fragments follow.
constexpr std::uint8_t kFirstFragment = 0x02;
constexpr std::uint8_t kMoreFragments = 0x01;

/// UDP port of the datagram service.
constexpr std::uint16_t kDatagramPort = 138;

/// Bytes of the NetBIOS datagram header and both names before the SMB.
constexpr std::size_t kDatagramHeaderSize = 14;
constexpr std::size_t kSmbOffset = kDatagramHeaderSize + 2 * kEncodedNameSize;

/// Largest data of one mailslot write over the network for names of up to 8 characters after
/// "\MAILSLOT\" (Windows keeps the SMB part within 512 bytes).
constexpr std::size_t kMaxMailslotData = 424;

/// Name prefix of every mailslot on the wire.
constexpr std::string_view kMailslotPrefix = "\\MAILSLOT\\";

/// One mailslot write: the NetBIOS datagram header and an SMB_COM_TRANSACTION carrying the data.
struct MailslotDatagram {
    std::uint8_t type = kDirectUnique;
    std::uint8_t flags = kFirstFragment;
    std::uint16_t id = 0;
    std::uint32_t sourceIp = 0; ///< host byte order
    std::uint16_t sourcePort = kDatagramPort;
    NetbiosName source;
    NetbiosName destination;
    std::string mailslot; ///< as on the wire, e.g. "\MAILSLOT\MESSNGR"
    std::string data;
};

/// The UDP payload of `datagram` (types 0x10 to 0x12), with the header values this program
/// sends: SMB flags 0x18, flags2 0x0004, PID 0xFEFF, priority 0, class 2, data aligned to 4.
std::string BuildMailslotDatagram(const MailslotDatagram& datagram);

/// The result of reading a mailslot write.
struct DatagramParse {
    MailslotDatagram datagram;
    std::string_view refused; ///< why it was refused; empty when it was read
    bool ok() const { return refused.empty(); }
};

/// Reads a UDP payload received on the datagram port. Accepts types 0x10 to 0x12 carrying an
/// unfragmented SMB mailslot write; the data is located by DataOffset and DataCount. Refuses
/// everything else with a reason. Never reads outside `packet`.
DatagramParse ParseMailslotDatagram(Bytes packet);

/// The mailslot's own name after "\MAILSLOT\" (any case), or an empty view when `wireName`
/// has no such prefix.
std::string_view MailslotLeaf(std::string_view wireName);

} // namespace kestrola::platform::netbios
