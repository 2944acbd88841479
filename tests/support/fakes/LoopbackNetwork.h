#pragma once

#include "base/Text.h"
#include "platform/Mailslots.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"
#include "platform/netbios/MailslotRegistry.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::platform::testing {

/// One datagram the loopback network carried, with the hosts that filed it.
struct CarriedDatagram {
    std::string from;        ///< the sending host's computer name
    std::string destination; ///< "PC2<00>"
    std::uint8_t type = 0;   ///< 0x10 unicast after an answer, 0x11 group broadcast
    std::string mailslot;    ///< "\MAILSLOT\MESSNGR"
    std::string bytes;
    std::vector<std::string> deliveredTo;
};

/// An in-memory network of named hosts in workgroups, addressed by the same rules as the real
/// transport: a computer name reaches that host, a workgroup or "*" every host of the group,
/// an unknown name nobody (and the write still succeeds). No sockets, no waiting.
class LoopbackNetwork : public std::enable_shared_from_this<LoopbackNetwork> {
public:
    class Host;
    static std::shared_ptr<LoopbackNetwork> Create() {
        return std::shared_ptr<LoopbackNetwork>(new LoopbackNetwork());
    }
    std::shared_ptr<Host> AddHost(const std::string& computerName, const std::string& workgroup);
    std::vector<CarriedDatagram> Carried() const {
        const std::lock_guard lock(m_mutex);
        return m_carried;
    }

private:
    LoopbackNetwork() = default;
    MailslotResult Carry(Host& sender, const netbios::MailslotPath& path, std::string_view bytes);
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<Host>> m_hosts;
    std::vector<CarriedDatagram> m_carried;
    std::uint32_t m_nextAddress = 0x0AD50001; // 10.213.0.1
};

/// One computer on a LoopbackNetwork. The public switches make its operations fail the way a
/// real system can.
class LoopbackNetwork::Host : public Mailslots {
public:
    Host(std::shared_ptr<LoopbackNetwork> network, NetbiosIdentity identity, std::uint32_t address)
        : m_network(std::move(network)), m_identity(std::move(identity)), m_address(address) {}
    MailslotResult CreateMailslot(const std::string& path,
                                  std::unique_ptr<MailslotReader>& reader) override {
        netbios::MailslotPath parts;
        if (!netbios::ParseMailslotPath(path, parts).empty() || parts.server != ".")
            return {MailslotStatus::InvalidName, path + ": not a local mailslot path"};
        if (portTaken)
            return {MailslotStatus::NameTaken, "UDP port 138 is held by another program"};
        auto created = m_registry->Create(parts.mailslot);
        if (!created)
            return {MailslotStatus::NameTaken, "the mailslot " + path + " exists already"};
        reader = std::make_unique<SwitchedReader>(*this, std::move(created));
        return {};
    }
    MailslotResult WriteMailslot(const std::string& path, std::string_view bytes,
                                 std::size_t& written) override {
        written = 0;
        netbios::MailslotPath parts;
        if (const auto problem = netbios::ParseMailslotPath(path, parts); !problem.empty())
            return {MailslotStatus::InvalidName, path + ": " + std::string(problem)};
        if (const auto problem = netbios::CheckTarget(core::AsciiUpper(parts.server));
            !problem.empty())
            return {MailslotStatus::InvalidName, std::string(problem)};
        if (noInterface)
            return {MailslotStatus::NoInterface, "no interface"};
        if (writeFails)
            return {MailslotStatus::WriteFailed, "the write failed"};
        if (bytes.size() > netbios::kMaxMailslotData)
            return {MailslotStatus::WriteFailed, "longer than a mailslot write can carry"};
        MailslotResult result = m_network->Carry(*this, parts, bytes);
        if (result.ok())
            written = shortWriteBy < bytes.size() ? bytes.size() - shortWriteBy : 0;
        return result;
    }
    MailslotResult ResolveName(const std::string& name, std::uint8_t suffix,
                               std::vector<ResolvedName>& answers) override;
    std::vector<std::string> TakeNotices() override { return std::exchange(notices, {}); }
    NetbiosIdentity Identity() const override { return m_identity; }
    std::vector<NetworkInterface> Interfaces() const override {
        if (noInterface)
            return {};
        return {{"loop0", m_address, 0xFFFFFF00, m_address | 0xFF}};
    }
    std::uint32_t Address() const { return m_address; }
    bool Deliver(const std::string& mailslot, const std::string& bytes, DatagramOrigin origin) {
        return m_registry->File(mailslot, bytes, std::move(origin));
    }
    bool portTaken = false;           ///< CreateMailslot fails as with a port held elsewhere
    bool infoFails = false;           ///< GetInfo of its mailslots fails
    bool readFails = false;           ///< Read of its mailslots fails
    bool writeFails = false;          ///< WriteMailslot fails to send
    bool noInterface = false;         ///< no interface to send on
    std::size_t shortWriteBy = 0;     ///< WriteMailslot reports this many bytes fewer
    std::vector<std::string> notices; ///< what the network layer has for the user
private:
    // Passes through to the registry's reader unless a switch says otherwise.
    class SwitchedReader : public MailslotReader {
    public:
        SwitchedReader(Host& host, std::unique_ptr<MailslotReader> inner)
            : m_host(host), m_inner(std::move(inner)) {}
        bool GetInfo(std::uint32_t& nextSize, std::uint32_t& count) override {
            return !m_host.infoFails && m_inner->GetInfo(nextSize, count);
        }
        bool Read(void* buffer, std::size_t capacity, std::size_t& got,
                  DatagramOrigin* origin) override {
            got = 0;
            return !m_host.readFails && m_inner->Read(buffer, capacity, got, origin);
        }
        MailslotCounters Counters() const override { return m_inner->Counters(); }
        std::vector<SourceDrops> TakeDropEpisode() override { return m_inner->TakeDropEpisode(); }

    private:
        Host& m_host;
        std::unique_ptr<MailslotReader> m_inner;
    };
    std::shared_ptr<LoopbackNetwork> m_network;
    NetbiosIdentity m_identity;
    std::uint32_t m_address;
    std::shared_ptr<MailslotRegistry> m_registry = std::make_shared<MailslotRegistry>();
};

inline std::shared_ptr<LoopbackNetwork::Host>
LoopbackNetwork::AddHost(const std::string& computerName, const std::string& workgroup) {
    const std::lock_guard lock(m_mutex);
    auto host = std::make_shared<Host>(shared_from_this(), NetbiosIdentity{computerName, workgroup},
                                       m_nextAddress++);
    m_hosts.push_back(host);
    return host;
}

inline MailslotResult LoopbackNetwork::Host::ResolveName(const std::string& name,
                                                         std::uint8_t suffix,
                                                         std::vector<ResolvedName>& answers) {
    answers.clear();
    if (const auto problem = netbios::CheckName(core::AsciiUpper(name)); !problem.empty())
        return {MailslotStatus::InvalidName, std::string(problem)};
    const std::lock_guard lock(m_network->m_mutex);
    for (const auto& weak : m_network->m_hosts) {
        const auto host = weak.lock();
        if (!host)
            continue;
        const std::string wanted = core::AsciiUpper(name);
        const bool computer =
            core::AsciiUpper(host->m_identity.computerName) == wanted &&
            (suffix == netbios::kWorkstationSuffix || suffix == netbios::kMessengerSuffix);
        const bool group = core::AsciiUpper(host->m_identity.workgroup) == wanted &&
                           suffix == netbios::kWorkstationSuffix;
        if (computer || group)
            answers.push_back({host->m_address, group && !computer, 300});
    }
    return {};
}

inline MailslotResult LoopbackNetwork::Carry(Host& sender, const netbios::MailslotPath& path,
                                             std::string_view bytes) {
    const NetbiosIdentity us = sender.Identity();
    const netbios::SendPlan plan =
        netbios::PlanSend(core::AsciiUpper(path.server), us.workgroup, {});
    std::shared_ptr<Host> unique;
    if (plan.route == netbios::SendRoute::ResolveUnique) {
        std::vector<ResolvedName> answers;
        sender.ResolveName(plan.destination.name, plan.destination.suffix, answers);
        const std::lock_guard lock(m_mutex);
        for (const auto& weak : m_hosts) {
            const auto host = weak.lock();
            if (host && !answers.empty() && !answers.front().group &&
                host->Address() == answers.front().address)
                unique = host;
        }
    }
    CarriedDatagram carried;
    carried.from = us.computerName;
    carried.destination = netbios::NameForDisplay(plan.destination);
    carried.type = unique ? netbios::kDirectUnique : netbios::kDirectGroup;
    carried.mailslot = std::string(netbios::kMailslotPrefix) + core::AsciiUpper(path.mailslot);
    carried.bytes = std::string(bytes);
    std::vector<std::shared_ptr<Host>> receivers;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& weak : m_hosts) {
            const auto host = weak.lock();
            if (!host || (unique && host != unique))
                continue;
            const NetbiosIdentity them = host->Identity();
            if (netbios::AcceptsDestination(carried.type, plan.destination, them.computerName,
                                            them.workgroup))
                receivers.push_back(host);
        }
    }
    for (const auto& host : receivers) {
        DatagramOrigin origin;
        origin.sourceAddress = sender.Address();
        origin.sourcePort = netbios::kDatagramPort;
        origin.destinationAddress = unique ? host->Address() : (host->Address() | 0xFF);
        origin.type = carried.type;
        origin.sourceName = netbios::NameForDisplay({core::AsciiUpper(us.computerName), 0});
        origin.destinationName = carried.destination;
        origin.mailslot = carried.mailslot;
        origin.length = bytes.size();
        if (host->Deliver(path.mailslot, carried.bytes, std::move(origin)))
            carried.deliveredTo.push_back(host->Identity().computerName);
    }
    const std::lock_guard lock(m_mutex);
    m_carried.push_back(std::move(carried));
    return {};
}

} // namespace kestrola::platform::testing
