#include "platform/netbios/NameServicePacket.h"

namespace kestrola::platform::netbios {

namespace {

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v >> 16));
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
}

std::uint16_t Get16(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::uint32_t Get32(Bytes b, std::size_t at) {
    return (static_cast<std::uint32_t>(Get16(b, at)) << 16) | Get16(b, at + 2);
}

constexpr std::size_t kHeaderSize = 12;

} // namespace

std::string BuildNameQuery(std::uint16_t id, const NetbiosName& name, bool broadcast) {
    std::string out;
    Put16(out, id);
    Put16(out,
          static_cast<std::uint16_t>(kRecursionDesiredFlag | (broadcast ? kBroadcastFlag : 0)));
    Put16(out, 1); // questions
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    AppendEncodedName(out, name);
    Put16(out, kTypeNb);
    Put16(out, kClassIn);
    return out;
}

namespace {

// A response carrying one NB record with `entries`.
std::string BuildResponse(std::uint16_t id, std::uint16_t flags, const NetbiosName& name,
                          std::uint32_t ttl, const std::vector<NameEntry>& entries) {
    std::string out;
    Put16(out, id);
    Put16(out, flags);
    Put16(out, 0);
    Put16(out, 1); // answers
    Put16(out, 0);
    Put16(out, 0);
    AppendEncodedName(out, name);
    Put16(out, kTypeNb);
    Put16(out, kClassIn);
    Put32(out, ttl);
    Put16(out, static_cast<std::uint16_t>(6 * entries.size()));
    for (const NameEntry& entry : entries) {
        Put16(out, entry.flags);
        Put32(out, entry.address);
    }
    return out;
}

constexpr std::uint16_t kRecursionAvailableFlag = 0x0080;

std::uint16_t OpcodeFlags(std::uint8_t opcode) {
    return static_cast<std::uint16_t>(opcode << 11);
}

} // namespace

std::string BuildPositiveResponse(std::uint16_t id, const NetbiosName& name, std::uint32_t ttl,
                                  const std::vector<NameEntry>& entries) {
    return BuildResponse(id, kResponseFlag | kAuthoritativeFlag | kRecursionDesiredFlag, name, ttl,
                         entries);
}

std::string BuildNegativeRegistrationResponse(std::uint16_t id, const NetbiosName& name,
                                              const NameEntry& owner) {
    return BuildResponse(id,
                         kResponseFlag | OpcodeFlags(kOpcodeRegistration) | kAuthoritativeFlag |
                             kRecursionDesiredFlag | kRecursionAvailableFlag | kActiveError,
                         name, 0, {owner});
}

std::string BuildRegistrationRequest(std::uint16_t id, const NetbiosName& name, std::uint32_t ttl,
                                     const NameEntry& entry) {
    std::string out;
    Put16(out, id);
    Put16(out, OpcodeFlags(kOpcodeRegistration) | kRecursionDesiredFlag | kBroadcastFlag);
    Put16(out, 1); // questions
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 1); // additional records: the claim
    AppendEncodedName(out, name);
    Put16(out, kTypeNb);
    Put16(out, kClassIn);
    Put16(out, 0xC00C); // the question's name
    Put16(out, kTypeNb);
    Put16(out, kClassIn);
    Put32(out, ttl);
    Put16(out, 6);
    Put16(out, entry.flags);
    Put32(out, entry.address);
    return out;
}

NameServiceParse ParseNameServicePacket(Bytes packet) {
    NameServiceParse result;
    NameServicePacket& p = result.packet;
    if (packet.size() < kHeaderSize) {
        result.refused = "the packet ends inside the name service header";
        return result;
    }
    p.id = Get16(packet, 0);
    p.flags = Get16(packet, 2);
    const std::uint16_t questions = Get16(packet, 4);
    const std::uint16_t answers = Get16(packet, 6);
    std::size_t at = kHeaderSize;

    if (!p.response()) {
        if (questions == 0) {
            result.refused = "a request without a question";
            return result;
        }
        const NameParse name = ParseEncodedName(packet, at, false);
        if (!name.ok()) {
            result.refused = name.refused;
            return result;
        }
        if (name.next + 4 > packet.size()) {
            result.refused = "the packet ends inside the question";
            return result;
        }
        p.name = name.name;
        p.type = Get16(packet, name.next);
        if (Get16(packet, name.next + 2) != kClassIn) {
            result.refused = "a question class other than IN";
            return result;
        }
        return result;
    }

    // A response may repeat its question first; skip it.
    if (questions > 1) {
        result.refused = "a response with more than one question";
        return result;
    }
    if (questions == 1) {
        const NameParse name = ParseEncodedName(packet, at, true);
        if (!name.ok()) {
            result.refused = name.refused;
            return result;
        }
        at = name.next + 4;
        if (at > packet.size()) {
            result.refused = "the packet ends inside the question";
            return result;
        }
    }
    if (answers == 0) {
        result.refused = "a response without an answer record";
        return result;
    }
    const NameParse name = ParseEncodedName(packet, at, true);
    if (!name.ok()) {
        result.refused = name.refused;
        return result;
    }
    at = name.next;
    if (at + 10 > packet.size()) {
        result.refused = "the packet ends inside the answer record";
        return result;
    }
    p.name = name.name;
    p.type = Get16(packet, at);
    if (Get16(packet, at + 2) != kClassIn) {
        result.refused = "a record class other than IN";
        return result;
    }
    p.ttl = Get32(packet, at + 4);
    const std::size_t length = Get16(packet, at + 8);
    at += 10;
    if (at + length > packet.size()) {
        result.refused = "the record data reaches beyond the packet";
        return result;
    }
    if (p.type == kTypeNb) {
        if (length % 6 != 0) {
            result.refused = "NB record data is not a multiple of 6 bytes";
            return result;
        }
        for (std::size_t i = 0; i < length; i += 6)
            p.entries.push_back({Get16(packet, at + i), Get32(packet, at + i + 2)});
    }
    return result;
}

} // namespace kestrola::platform::netbios
