#include "platform/netbios/DatagramPacket.h"

#include "base/Text.h"

namespace kestrola::platform::netbios {

namespace {

void Put16Big(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

void Put32Big(std::string& out, std::uint32_t v) {
    Put16Big(out, static_cast<std::uint16_t>(v >> 16));
    Put16Big(out, static_cast<std::uint16_t>(v & 0xFFFF));
}

void Put16Little(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

std::uint16_t Get16Big(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::uint16_t Get16Little(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Offsets inside the SMB part.
constexpr std::size_t kWordCountAt = 32;
constexpr std::size_t kDataCountAt = 55;
constexpr std::size_t kDataOffsetAt = 57;
constexpr std::size_t kSetupCountAt = 59;
constexpr std::size_t kOpcodeAt = 61;
constexpr std::size_t kBytesAt = 69; // after 17 words and ByteCount
constexpr std::uint8_t kTransactionCommand = 0x25;
constexpr std::uint8_t kTransactionWords = 17;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           core::AsciiUpper(text.substr(0, prefix.size())) == prefix;
}

} // namespace

std::string_view MailslotLeaf(std::string_view wireName) {
    if (!StartsWithIgnoringCase(wireName, kMailslotPrefix))
        return {};
    return wireName.substr(kMailslotPrefix.size());
}

std::string BuildMailslotDatagram(const MailslotDatagram& d) {
    const std::size_t nameBytes = d.mailslot.size() + 1;
    const std::size_t pad = (4 - (kBytesAt + nameBytes) % 4) % 4;
    const auto dataOffset = static_cast<std::uint16_t>(kBytesAt + nameBytes + pad);
    const auto dataCount = static_cast<std::uint16_t>(d.data.size());
    const std::size_t smbLength = dataOffset + d.data.size();

    std::string out;
    out.reserve(kSmbOffset + smbLength);
    out += static_cast<char>(d.type);
    out += static_cast<char>(d.flags);
    Put16Big(out, d.id);
    Put32Big(out, d.sourceIp);
    Put16Big(out, d.sourcePort);
    // Both names and the SMB follow the 14-byte header.
    Put16Big(out, static_cast<std::uint16_t>(2 * kEncodedNameSize + smbLength));
    Put16Big(out, 0);
    AppendEncodedName(out, d.source);
    AppendEncodedName(out, d.destination);

    out += "\xFFSMB";
    out += static_cast<char>(kTransactionCommand);
    out.append(4, '\0');      // status
    out += '\x18';            // flags
    Put16Little(out, 0x0004); // flags2
    out.append(12, '\0');     // PIDHigh, security features, reserved
    Put16Little(out, 0);      // TID
    Put16Little(out, 0xFEFF);
    Put16Little(out, 0); // UID
    Put16Little(out, 0); // MID
    out += static_cast<char>(kTransactionWords);
    Put16Little(out, 0);          // total parameter count
    Put16Little(out, dataCount);  // total data count
    Put16Little(out, 0);          // max parameter count
    Put16Little(out, 0);          // max data count
    out.append(2, '\0');          // max setup count, reserved
    Put16Little(out, 0);          // flags
    out.append(4, '\0');          // timeout
    Put16Little(out, 0);          // reserved2
    Put16Little(out, 0);          // parameter count
    Put16Little(out, dataOffset); // parameter offset
    Put16Little(out, dataCount);
    Put16Little(out, dataOffset);
    out += '\x03';       // setup count
    out += '\0';         // reserved3
    Put16Little(out, 1); // opcode: write mail slot
    Put16Little(out, 0); // priority
    Put16Little(out, 2); // class 2: unreliable, broadcast
    Put16Little(out, static_cast<std::uint16_t>(nameBytes + pad + d.data.size()));
    out += d.mailslot;
    out += '\0';
    out.append(pad, '\0');
    out += d.data;
    return out;
}

DatagramParse ParseMailslotDatagram(Bytes packet) {
    DatagramParse result;
    MailslotDatagram& d = result.datagram;
    if (packet.empty()) {
        result.refused = "empty packet";
        return result;
    }
    d.type = packet[0];
    if (d.type >= kDatagramError && d.type <= kNegativeQueryResponse) {
        result.refused = "not a data datagram (error or query message)";
        return result;
    }
    if (d.type < kDirectUnique || d.type > kNegativeQueryResponse) {
        result.refused = "unknown datagram message type";
        return result;
    }
    if (packet.size() < kDatagramHeaderSize) {
        result.refused = "the packet ends inside the datagram header";
        return result;
    }
    d.flags = packet[1];
    d.id = Get16Big(packet, 2);
    d.sourceIp = (static_cast<std::uint32_t>(Get16Big(packet, 4)) << 16) | Get16Big(packet, 6);
    d.sourcePort = Get16Big(packet, 8);
    // The datagram length field is not trusted: the UDP length says how much arrived.
    if ((d.flags & kMoreFragments) != 0) {
        result.refused = "a fragment (more fragments follow)";
        return result;
    }
    if (Get16Big(packet, 12) != 0) {
        result.refused = "a fragment (packet offset is not 0)";
        return result;
    }
    const NameParse source = ParseEncodedName(packet, kDatagramHeaderSize, false);
    if (!source.ok()) {
        result.refused = source.refused;
        return result;
    }
    const NameParse destination = ParseEncodedName(packet, source.next, false);
    if (!destination.ok()) {
        result.refused = destination.refused;
        return result;
    }
    d.source = source.name;
    d.destination = destination.name;

    const Bytes smb = packet.subspan(destination.next);
    if (smb.size() < kWordCountAt + 1) {
        result.refused = "the packet ends inside the SMB header";
        return result;
    }
    if (smb[0] != 0xFF || smb[1] != 'S' || smb[2] != 'M' || smb[3] != 'B') {
        result.refused = "no SMB signature";
        return result;
    }
    if (smb[4] != kTransactionCommand) {
        result.refused = "not an SMB transaction";
        return result;
    }
    if (smb[kWordCountAt] != kTransactionWords) {
        result.refused = "transaction word count is not 17";
        return result;
    }
    if (smb.size() < kBytesAt) {
        result.refused = "the packet ends inside the transaction words";
        return result;
    }
    if (smb[kSetupCountAt] != 3) {
        result.refused = "setup count is not 3";
        return result;
    }
    if (Get16Little(smb, kOpcodeAt) != 1) {
        result.refused = "not a mailslot write";
        return result;
    }
    std::size_t nameEnd = kBytesAt;
    while (nameEnd < smb.size() && smb[nameEnd] != 0)
        ++nameEnd;
    if (nameEnd >= smb.size()) {
        result.refused = "the mailslot name has no terminating NUL";
        return result;
    }
    d.mailslot.assign(reinterpret_cast<const char*>(smb.data() + kBytesAt), nameEnd - kBytesAt);
    if (MailslotLeaf(d.mailslot).empty()) {
        result.refused = "the name is not \\MAILSLOT\\ and a mailslot name";
        return result;
    }
    const std::size_t dataCount = Get16Little(smb, kDataCountAt);
    const std::size_t dataOffset = Get16Little(smb, kDataOffsetAt);
    if (dataCount > 0 && dataOffset <= nameEnd) {
        result.refused = "the data offset points into the transaction words or name";
        return result;
    }
    if (dataOffset + dataCount > smb.size()) {
        result.refused = "data offset and count reach beyond the packet";
        return result;
    }
    if (dataCount > 0)
        d.data.assign(reinterpret_cast<const char*>(smb.data() + dataOffset), dataCount);
    return result;
}

} // namespace kestrola::platform::netbios
