// The browser service: announcing this computer on its schedule, asking workgroups to announce
// themselves, and the browse list as the provider sees it. Runs on the receive thread, except
// RefreshBrowseList and BrowseSnapshot, which take the service's lock.
#include "base/Text.h"
#include "platform/linux/LinuxDatagramService.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"
#include "platform/netbios/NameServicePacket.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

// Workgroups besides ours that one refresh of the browse list asks to announce themselves.
constexpr std::size_t kRefreshedWorkgroups = 8;

} // namespace

int LinuxDatagramService::PollTimeout() {
    const std::lock_guard lock(m_mutex);
    if (!m_state.schedule.Running())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        m_state.schedule.Next() - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
}

void LinuxDatagramService::AnnounceIfDue() {
    std::chrono::seconds periodicity{0};
    {
        const std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        if (!m_state.schedule.Due(now))
            return;
        periodicity = m_state.schedule.Announce(now);
    }
    SendHostAnnouncement(nb::kServerTypeWorkstation, periodicity);
}

void LinuxDatagramService::SendHostAnnouncement(std::uint32_t serverType,
                                                std::chrono::seconds periodicity) {
    nb::Announcement announcement;
    announcement.opcode = nb::kHostAnnouncement;
    announcement.periodicityMs = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(periodicity).count());
    announcement.name = m_oemName;
    announcement.serverType = serverType;
    announcement.comment = m_config.codePage->AnsiToOem(m_config.comment);
    const int sent = SendBrowserDatagram({m_oemWorkgroup, nb::kMasterBrowserSuffix},
                                         nb::BuildAnnouncement(announcement));
    const std::lock_guard lock(m_mutex);
    m_stats.announcementsSent += static_cast<std::uint64_t>(sent);
}

int LinuxDatagramService::SendBrowserDatagram(const nb::NetbiosName& destination,
                                              const std::string& frame) {
    // Beside another service only our AnnouncementRequests go out, from the sending socket.
    std::unique_lock sendLock(m_sendMutex, std::defer_lock);
    int fd = m_datagramSocket;
    if (fd < 0 && Beside()) {
        sendLock.lock();
        fd = m_sendSocket;
    }
    if (fd < 0)
        return 0;
    nb::MailslotDatagram datagram;
    datagram.type = nb::kDirectGroup;
    datagram.id = NextId();
    datagram.sourcePort = LocalPort(fd);
    datagram.source = {m_oemName, nb::kWorkstationSuffix};
    datagram.destination = destination;
    datagram.mailslot = std::string(nb::kBrowseMailslot);
    datagram.data = frame;
    int sent = 0;
    // Browser frames are group datagrams: one broadcast on every interface.
    for (const NetworkInterface& itf : m_config.interfaces) {
        datagram.sourceIp = itf.address;
        const std::string packet = nb::BuildMailslotDatagram(datagram);
        const sockaddr_in to = SocketAddress(itf.broadcast, nb::kDatagramPort);
        if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) == static_cast<ssize_t>(packet.size()))
            ++sent;
    }
    return sent;
}

MailslotResult LinuxDatagramService::RefreshBrowseList(std::chrono::milliseconds collect) {
    if (m_config.interfaces.empty())
        return {MailslotStatus::NoInterface, "no up IPv4 interface with a broadcast address"};
    if (MailslotResult bound = Listen(); !bound.ok())
        return bound;
    // However many workgroups the list holds, one refresh asks only a bounded few: the others
    // keep announcing on their own schedule.
    std::vector<std::string> workgroups{m_oemWorkgroup};
    {
        const std::lock_guard lock(m_mutex);
        for (std::string& group : m_state.browse.RecentWorkgroups(kRefreshedWorkgroups,
                                                                  std::chrono::steady_clock::now()))
            workgroups.push_back(std::move(group));
    }
    const std::string request = nb::BuildAnnouncementRequest(m_oemName);
    for (const std::string& group : workgroups)
        SendBrowserDatagram({group, nb::kWorkstationSuffix}, request);
    // Copies of this program in workgroups we have not heard of yet answer this one too.
    SendBrowserDatagram({std::string(nb::kMsBrowseName), nb::kMsBrowseSuffix}, request);
    std::this_thread::sleep_for(collect);
    return {};
}

std::vector<BrowseWorkgroup> LinuxDatagramService::BrowseSnapshot() {
    std::vector<BrowseWorkgroup> groups;
    {
        const std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        m_state.browse.Expire(now);
        groups = m_state.browse.Snapshot(now);
    }
    const bool ours = std::any_of(groups.begin(), groups.end(), [&](const BrowseWorkgroup& g) {
        return core::AsciiUpper(g.name) == m_oemWorkgroup;
    });
    if (!ours) {
        BrowseWorkgroup own;
        own.name = m_oemWorkgroup;
        const auto at = std::find_if(groups.begin(), groups.end(), [&](const BrowseWorkgroup& g) {
            return core::AsciiUpper(g.name) > m_oemWorkgroup;
        });
        groups.insert(at, std::move(own));
    }
    if (Beside())
        AddOwnComputer(groups);
    // The list holds what travelled, in the OEM code page; callers show it.
    const CodePage& page = *m_config.codePage;
    for (BrowseWorkgroup& group : groups) {
        group.name = page.OemToAnsi(group.name);
        group.master = page.OemToAnsi(group.master);
        for (BrowseComputer& computer : group.computers) {
            computer.name = page.OemToAnsi(computer.name);
            computer.comment = page.OemToAnsi(computer.comment);
        }
    }
    return groups;
}

} // namespace kestrola::platform
