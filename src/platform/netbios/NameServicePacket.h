#pragma once

#include "platform/netbios/NetbiosName.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform::netbios {

/// UDP port of the name service.
constexpr std::uint16_t kNameServicePort = 137;

/// Name service header flags.
constexpr std::uint16_t kResponseFlag = 0x8000;
constexpr std::uint16_t kAuthoritativeFlag = 0x0400;
constexpr std::uint16_t kRecursionDesiredFlag = 0x0100;
constexpr std::uint16_t kBroadcastFlag = 0x0010;
/// Question and record types.
constexpr std::uint16_t kTypeNb = 0x0020;
constexpr std::uint16_t kTypeNbstat = 0x0021;
constexpr std::uint16_t kClassIn = 0x0001;
/// NB_FLAGS: group name.
constexpr std::uint16_t kGroupNameFlag = 0x8000;

/// One address entry of an NB record.
struct NameEntry {
    std::uint16_t flags = 0;   ///< NB_FLAGS: 0x8000 group, 0x6000 node type
    std::uint32_t address = 0; ///< host byte order
    bool group() const { return (flags & kGroupNameFlag) != 0; }
    bool operator==(const NameEntry&) const = default;
};

/// A name service packet as far as this program reads it: the header, the first question of a
/// request, or the first resource record of a response.
struct NameServicePacket {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    bool response() const { return (flags & kResponseFlag) != 0; }
    std::uint8_t opcode() const { return static_cast<std::uint8_t>((flags >> 11) & 0x0F); }
    std::uint8_t rcode() const { return static_cast<std::uint8_t>(flags & 0x0F); }
    bool broadcast() const { return (flags & kBroadcastFlag) != 0; }

    NetbiosName name;               ///< the question's name, or the record's in a response
    std::uint16_t type = kTypeNb;   ///< QTYPE or the record's type
    std::uint32_t ttl = 0;          ///< seconds; responses only
    std::vector<NameEntry> entries; ///< the NB record's addresses; responses only
};

/// A name query for `name` (flags 0x0110 when broadcast: RD and B; 0x0100 otherwise).
std::string BuildNameQuery(std::uint16_t id, const NetbiosName& name, bool broadcast);

/// A positive name query response (flags 0x8500: R, AA, RD) carrying `entries`.
std::string BuildPositiveResponse(std::uint16_t id, const NetbiosName& name, std::uint32_t ttl,
                                  const std::vector<NameEntry>& entries);

/// Opcodes of the name service.
constexpr std::uint8_t kOpcodeQuery = 0;
constexpr std::uint8_t kOpcodeRegistration = 5;
/// RCODE of a negative registration response: the name is in use (ACT_ERR).
constexpr std::uint8_t kActiveError = 6;

/// A broadcast name registration request (flags 0x2910: REGISTRATION, RD, B) claiming `name`
/// for `entry`, for `ttl` seconds.
std::string BuildRegistrationRequest(std::uint16_t id, const NetbiosName& name, std::uint32_t ttl,
                                     const NameEntry& entry);

/// A negative name registration response (flags 0xAD86: R, REGISTRATION, AA, RD, RA, ACT_ERR):
/// `name` belongs to `owner`.
std::string BuildNegativeRegistrationResponse(std::uint16_t id, const NetbiosName& name,
                                              const NameEntry& owner);

/// The result of reading a name service packet.
struct NameServiceParse {
    NameServicePacket packet;
    std::string_view refused; ///< why it was refused; empty when it was read
    bool ok() const { return refused.empty(); }
};

/// Reads a UDP payload received on the name service port. A request needs a question; a
/// response needs an answer record (its name may be a compression pointer). Never reads
/// outside `packet`.
NameServiceParse ParseNameServicePacket(Bytes packet);

} // namespace kestrola::platform::netbios
