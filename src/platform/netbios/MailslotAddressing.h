#pragma once

#include "platform/netbios/NetbiosName.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform::netbios {

/// A mailslot path split into its server ("." for this computer) and the mailslot's name.
struct MailslotPath {
    std::string server;
    std::string mailslot;
};

/// Splits "\\SERVER\mailslot\NAME" ("mailslot" in any case); returns why the path is not a
/// mailslot path, or an empty view.
std::string_view ParseMailslotPath(std::string_view path, MailslotPath& out);

/// Whether a datagram of `type` to `destination` is for us: our computer name or workgroup
/// with suffix 0x00 or 0x03, or a broadcast (0x12) to "*". Names are compared in OEM bytes,
/// ASCII case ignored.
bool AcceptsDestination(std::uint8_t type, const NetbiosName& destination, std::string_view ourName,
                        std::string_view ourWorkgroup);

/// How a write to a target travels.
enum class SendRoute {
    GroupBroadcast, ///< a group datagram (0x11) to every interface's broadcast address
    ResolveUnique,  ///< ask who holds the name; unicast (0x10) to a unique answer
};

/// Destination name and route for a target (OEM): "*" is our workgroup; our workgroup and the
/// known group names go as group broadcasts; any other name is resolved first.
struct SendPlan {
    NetbiosName destination;
    SendRoute route = SendRoute::ResolveUnique;
};
SendPlan PlanSend(std::string_view targetOem, std::string_view ourWorkgroup,
                  const std::vector<std::string>& knownGroups);

/// Why `targetOem` cannot be the target of a write, or an empty view ("*" is allowed).
std::string_view CheckTarget(std::string_view targetOem);

} // namespace kestrola::platform::netbios
