#include "platform/netbios/ReceiveDecision.h"

#include "base/Text.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"
#include "platform/netbios/NameServicePacket.h"

#include <algorithm>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFF;

bool Multicast(std::uint32_t address) {
    return (address >> 28) == 0xE;
}

// A browser frame of `d`, when it is one: into the browse list, or our announcement closer.
void TakeBrowserFrame(ReceiverState& state, const nb::MailslotDatagram& d, std::uint32_t from,
                      std::chrono::steady_clock::time_point now,
                      std::chrono::milliseconds answerDelay, ReceiveDecision& decision) {
    const std::string leaf = core::AsciiUpper(nb::MailslotLeaf(d.mailslot));
    const bool lanman = leaf == "LANMAN";
    if (!lanman && leaf != "BROWSE")
        return;
    const nb::BrowserFrameParse parsed = lanman ? nb::ParseLanmanFrame(nb::AsBytes(d.data))
                                                : nb::ParseBrowserFrame(nb::AsBytes(d.data));
    if (!parsed.ok() || parsed.kind == nb::BrowserFrameKind::Other)
        return;
    const std::string destination = core::AsciiUpper(d.destination.name);
    const bool msBrowse =
        d.destination.name == nb::kMsBrowseName && d.destination.suffix == nb::kMsBrowseSuffix;
    if (parsed.kind == nb::BrowserFrameKind::AnnouncementRequest) {
        // Our workgroup asks its members to announce; a request to the segment's browser name
        // comes from a copy of this program that is looking for every workgroup. Our own
        // requests come back to us and are no question to us.
        if (lanman || !state.schedule.Running() ||
            core::AsciiUpper(d.source.name) == state.oemName ||
            !(destination == state.oemWorkgroup || msBrowse))
            return;
        state.schedule.Requested(now, answerDelay, from);
        decision.requested = true;
        return;
    }
    const nb::Announcement& a = parsed.announcement;
    const BrowseComputer computer{a.name, a.comment, a.serverType, from};
    switch (a.opcode) {
    case nb::kHostAnnouncement:
        // The workgroup is the name the announcement was sent to.
        if (!nb::CheckName(d.destination.name).empty())
            return;
        state.browse.HostAnnounced(d.destination.name, computer, a.periodicityMs, now);
        break;
    case nb::kLocalMasterAnnouncement:
        if (d.destination.suffix != nb::kBrowserElectionSuffix ||
            !nb::CheckName(d.destination.name).empty())
            return;
        state.browse.HostAnnounced(d.destination.name, computer, a.periodicityMs, now);
        break;
    case nb::kDomainAnnouncement:
        if (!msBrowse)
            return;
        state.browse.WorkgroupAnnounced(a.name, a.comment, a.periodicityMs, now, from);
        break;
    default:
        return;
    }
    decision.listed = true;
}

ReceiveDecision DecideDatagram(ReceiverState& state, const Arrival& arrival,
                               std::chrono::steady_clock::time_point now,
                               std::chrono::milliseconds answerDelay) {
    ReceiveDecision decision;
    const nb::DatagramParse parsed = nb::ParseMailslotDatagram({arrival.data, arrival.size});
    if (!parsed.ok()) {
        decision.malformed = true;
        return decision;
    }
    const nb::MailslotDatagram& d = parsed.datagram;
    TakeBrowserFrame(state, d, arrival.source, now, answerDelay, decision);
    if (!nb::AcceptsDestination(d.type, d.destination, state.oemName, state.oemWorkgroup)) {
        decision.notForUs = true;
        return decision;
    }
    ReceiveDecision::Filing filing;
    filing.mailslot = std::string(nb::MailslotLeaf(d.mailslot));
    filing.data = d.data;
    DatagramOrigin& origin = filing.origin;
    origin.sourceAddress = arrival.source;
    origin.sourcePort = arrival.sourcePort;
    origin.destinationAddress = arrival.destination;
    origin.type = d.type;
    origin.sourceName = nb::NameForDisplay(d.source);
    origin.destinationName = nb::NameForDisplay(d.destination);
    origin.mailslot = d.mailslot;
    origin.length = d.data.size();
    decision.filing = std::move(filing);
    return decision;
}

ReceiveDecision DecideNamePacket(const ReceiverState& state, const Arrival& arrival) {
    ReceiveDecision decision;
    const nb::NameServiceParse parsed = nb::ParseNameServicePacket({arrival.data, arrival.size});
    const nb::NameServicePacket& p = parsed.packet;
    if (!parsed.ok()) {
        decision.malformed = true;
        return decision;
    }
    if (p.type != nb::kTypeNb)
        return decision;
    // Our own start-up broadcasts come back to us; they are no news.
    const bool fromUs =
        std::any_of(state.interfaces.begin(), state.interfaces.end(),
                    [&](const NetworkInterface& itf) { return itf.address == arrival.source; });
    const bool ourUniqueName = nb::SameName(p.name, {state.oemName, nb::kWorkstationSuffix}) ||
                               nb::SameName(p.name, {state.oemName, nb::kMessengerSuffix});
    if (p.response()) {
        const bool holds = p.opcode() == nb::kOpcodeQuery && p.rcode() == 0 &&
                           std::any_of(p.entries.begin(), p.entries.end(),
                                       [](const nb::NameEntry& e) { return !e.group(); });
        const bool objects = p.opcode() == nb::kOpcodeRegistration && p.rcode() == nb::kActiveError;
        if (!fromUs && ourUniqueName && (holds || objects))
            decision.conflict = arrival.source;
        return decision;
    }
    if (p.opcode() != nb::kOpcodeQuery && p.opcode() != nb::kOpcodeRegistration)
        return decision;
    if (fromUs && arrival.sourcePort == nb::kNameServicePort)
        return decision;
    if (!AnswerableSource(arrival.source, arrival.sourcePort, state.interfaces)) {
        decision.forged = true;
        return decision;
    }
    if (p.opcode() == nb::kOpcodeRegistration) {
        // A unique name is ours while we run: another host's claim to it gets a no.
        if (!ourUniqueName || fromUs || arrival.localAddress == 0)
            return decision;
        decision.conflict = arrival.source;
        ReceiveDecision::Answer answer;
        answer.packet =
            nb::BuildNegativeRegistrationResponse(p.id, p.name, {0, arrival.localAddress});
        answer.to = arrival.source;
        answer.toPort = arrival.sourcePort;
        decision.answer = std::move(answer);
        return decision;
    }
    bool group = false;
    if (nb::SameName(p.name, {state.oemName, nb::kWorkstationSuffix}) ||
        nb::SameName(p.name, {state.oemName, nb::kMessengerSuffix})) {
        group = false;
    } else if (nb::SameName(p.name, {state.oemWorkgroup, nb::kWorkstationSuffix})) {
        group = true;
    } else {
        return decision; // never a negative answer
    }
    if (arrival.localAddress == 0)
        return decision;
    ReceiveDecision::Answer answer;
    answer.packet = nb::BuildPositiveResponse(
        p.id, p.name, kAnswerTtlSeconds,
        {{static_cast<std::uint16_t>(group ? nb::kGroupNameFlag : 0), arrival.localAddress}});
    answer.to = arrival.source;
    answer.toPort = arrival.sourcePort;
    decision.answer = std::move(answer);
    return decision;
}

} // namespace

bool AnswerableSource(std::uint32_t address, std::uint16_t port,
                      const std::vector<NetworkInterface>& interfaces) {
    if (port == 0 || address == 0 || address == kLimitedBroadcast || Multicast(address))
        return false;
    return std::none_of(interfaces.begin(), interfaces.end(),
                        [&](const NetworkInterface& itf) { return itf.broadcast == address; });
}

ReceiveDecision DecideArrival(ReceiverState& state, const Arrival& arrival,
                              std::chrono::steady_clock::time_point now,
                              std::chrono::milliseconds answerDelay) {
    if (arrival.port == nb::kNameServicePort)
        return DecideNamePacket(state, arrival);
    return DecideDatagram(state, arrival, now, answerDelay);
}

} // namespace kestrola::platform
