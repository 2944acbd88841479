#include "platform/netbios/MailslotAddressing.h"

#include "base/Text.h"
#include "platform/netbios/DatagramPacket.h"

#include <algorithm>

namespace kestrola::platform::netbios {

std::string_view ParseMailslotPath(std::string_view path, MailslotPath& out) {
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\')
        return "the path does not start with two backslashes";
    const std::string_view rest = path.substr(2);
    const std::size_t slash = rest.find('\\');
    if (slash == std::string_view::npos)
        return "the path has no mailslot part";
    if (slash == 0)
        return "the path names no computer";
    constexpr std::string_view kMailslot = "MAILSLOT\\";
    const std::string_view tail = rest.substr(slash + 1);
    if (tail.size() <= kMailslot.size() ||
        core::AsciiUpper(tail.substr(0, kMailslot.size())) != kMailslot)
        return "the path is not of the form \\\\computer\\mailslot\\name";
    out.server = std::string(rest.substr(0, slash));
    out.mailslot = std::string(tail.substr(kMailslot.size()));
    return {};
}

bool AcceptsDestination(std::uint8_t type, const NetbiosName& destination, std::string_view ourName,
                        std::string_view ourWorkgroup) {
    if (type == kBroadcastDatagram && destination.name == "*")
        return true;
    if (destination.suffix != kWorkstationSuffix && destination.suffix != kMessengerSuffix)
        return false;
    const std::string name = core::AsciiUpper(destination.name);
    return name == core::AsciiUpper(ourName) || name == core::AsciiUpper(ourWorkgroup);
}

std::string_view CheckTarget(std::string_view targetOem) {
    if (targetOem == "*")
        return {};
    return CheckName(targetOem);
}

SendPlan PlanSend(std::string_view targetOem, std::string_view ourWorkgroup,
                  const std::vector<std::string>& knownGroups) {
    SendPlan plan;
    const std::string target = core::AsciiUpper(targetOem);
    if (target == "*") {
        plan.destination = {core::AsciiUpper(ourWorkgroup), kWorkstationSuffix};
        plan.route = SendRoute::GroupBroadcast;
        return plan;
    }
    plan.destination = {target, kWorkstationSuffix};
    const bool group =
        target == core::AsciiUpper(ourWorkgroup) ||
        std::any_of(knownGroups.begin(), knownGroups.end(),
                    [&](const std::string& g) { return core::AsciiUpper(g) == target; });
    plan.route = group ? SendRoute::GroupBroadcast : SendRoute::ResolveUnique;
    return plan;
}

} // namespace kestrola::platform::netbios
