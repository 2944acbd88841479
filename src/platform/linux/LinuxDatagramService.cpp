#include "platform/linux/LinuxDatagramService.h"

#include "platform/Platform.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/linux/LinuxNetworkProvider.h"
#include "platform/linux/LinuxRawReceiver.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"
#include "platform/netbios/NameServicePacket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

// Our answers say how long a name holds; the cache keeps no answer longer than ten minutes.
constexpr std::uint32_t kAnswerTtlSeconds = 259200;
constexpr std::chrono::seconds kCacheLimit{600};

sockaddr_in SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// A UDP socket with SO_BROADCAST, bound to `port` on every address (0: an ephemeral port).
// No SO_REUSEADDR or SO_REUSEPORT: a port another NetBIOS service holds must stay its own.
int OpenSocket(std::uint16_t port, int& error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    const sockaddr_in sa = SocketAddress(INADDR_ANY, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::uint16_t LocalPort(int fd) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

std::string BindProblem(std::uint16_t port, int error) {
    const std::string what =
        "UDP port " + std::to_string(port) +
        (port == nb::kDatagramPort ? " (NetBIOS datagram service)" : " (NetBIOS name service)");
    if (error == EADDRINUSE)
        return what + " is already in use: another NetBIOS service, such as Samba's nmbd, holds "
                      "it (stop it, or run Kestrola NET where no other NetBIOS service runs)";
    if (error == EACCES)
        return what + " cannot be bound: ports below 1024 need root or the cap_net_bind_service "
                      "capability (setcap cap_net_bind_service,cap_net_raw=+ep on the program)";
    return what + " cannot be bound: " + ErrnoText(error);
}

std::string CacheKey(const std::string& oemName, std::uint8_t suffix) {
    return nb::UpperAscii(oemName) + '#' + std::to_string(suffix);
}

// The network namespace of the calling thread, as the device and inode of its handle.
bool CurrentNetns(dev_t& device, ino_t& inode) {
    struct stat st {};
    if (::stat("/proc/thread-self/ns/net", &st) != 0)
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

} // namespace

LinuxDatagramService::Config LinuxDatagramService::SystemConfig() {
    Config config;
    config.identity = ReadNetbiosIdentity();
    const char* only = std::getenv("KESTROLA_INTERFACES");
    std::vector<std::string> notes;
    config.interfaces = ListInterfaces(only != nullptr ? only : "", notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    config.codePage = CreateCodePage();
    return config;
}

LinuxDatagramService::LinuxDatagramService(Config config)
    : m_config(std::move(config)), m_random(std::random_device{}()),
      m_nextId(static_cast<std::uint16_t>(std::random_device{}())) {
    if (!m_config.codePage)
        m_config.codePage = CreateCodePage();
    const CodePage& page = *m_config.codePage;
    m_oemName = nb::UpperAscii(page.AnsiToOem(page.UpperCase(m_config.identity.computerName)));
    m_oemWorkgroup = nb::UpperAscii(page.AnsiToOem(page.UpperCase(m_config.identity.workgroup)));
    for (const NetworkInterface& itf : m_config.interfaces)
        m_ifindex.push_back(static_cast<int>(if_nametoindex(itf.name.c_str())));
    CurrentNetns(m_homeNetnsDevice, m_homeNetnsInode);
    m_sendSocket = OpenSocket(0, m_sendSocketError);
}

bool LinuxDatagramService::InHomeNamespace() const {
    dev_t device = 0;
    ino_t inode = 0;
    // Without /proc the question cannot be asked; the service then trusts its caller.
    if (!CurrentNetns(device, inode))
        return true;
    return device == m_homeNetnsDevice && inode == m_homeNetnsInode;
}

LinuxDatagramService::~LinuxDatagramService() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) < 0)
            std::perror("kestrola: waking the receive thread");
        m_thread.join();
    }
    bool goodbye = false;
    {
        const std::lock_guard lock(m_mutex);
        goodbye = m_schedule.Running();
        m_schedule.Stop();
    }
    // Server type 0 tells the others' browse lists that this computer is gone.
    if (goodbye)
        SendHostAnnouncement(0, std::chrono::seconds{0});
    for (const int fd : {m_datagramSocket, m_nameSocket, m_wakeFd, m_sendSocket, m_rawSocket}) {
        if (fd >= 0)
            ::close(fd);
    }
}

MailslotResult LinuxDatagramService::OpenPorts() {
    if (!InHomeNamespace())
        return {MailslotStatus::Failed,
                "the datagram service cannot bind from another network namespace than its own"};
    int error = 0;
    const int datagram = OpenSocket(nb::kDatagramPort, error);
    if (datagram < 0) {
        return {error == EADDRINUSE ? MailslotStatus::NameTaken
                : error == EACCES   ? MailslotStatus::AccessDenied
                                    : MailslotStatus::Failed,
                BindProblem(nb::kDatagramPort, error)};
    }
    const int name = OpenSocket(nb::kNameServicePort, error);
    if (name < 0) {
        ::close(datagram);
        return {error == EADDRINUSE ? MailslotStatus::NameTaken
                : error == EACCES   ? MailslotStatus::AccessDenied
                                    : MailslotStatus::Failed,
                BindProblem(nb::kNameServicePort, error)};
    }
    m_datagramSocket = datagram;
    m_nameSocket = name;
    return {};
}

MailslotResult LinuxDatagramService::Start() {
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return {MailslotStatus::Failed, "eventfd failed: " + ErrnoText(errno)};
    m_wakeFd = wake;
    // Beside another service it announces this computer; we never do.
    if (m_config.announce && !m_config.interfaces.empty() && !Beside()) {
        // The first announcement goes out before the caller learns that the ports are ours.
        {
            const std::lock_guard lock(m_mutex);
            m_schedule.Start(std::chrono::steady_clock::now());
        }
        AnnounceIfDue();
    }
    m_thread = std::thread([this] { ReceiveLoop(); });
    return {};
}

MailslotResult LinuxDatagramService::Reserve() {
    const std::lock_guard lock(m_bindMutex);
    if (m_datagramSocket >= 0 || m_rawSocket >= 0)
        return {};
    MailslotResult opened = OpenPorts();
    if (opened.status == MailslotStatus::NameTaken) {
        int error = 0;
        m_rawSocket = OpenRawReceiver(error);
        if (m_rawSocket >= 0)
            return {};
        opened.detail +=
            "; receiving beside it needs a raw socket, which was refused: " + ErrnoText(error) +
            " (it needs root or the cap_net_raw capability)";
    }
    m_reserveFailure = opened;
    return opened;
}

MailslotResult LinuxDatagramService::Listen() {
    const std::lock_guard lock(m_bindMutex);
    if (m_thread.joinable())
        return {};
    if (m_datagramSocket < 0 && m_rawSocket < 0) {
        // Once the rights are given up after Reserve(), a retry fails for want of them; the
        // reason that counts is the one Reserve() met.
        if (MailslotResult opened = OpenPorts(); !opened.ok())
            return m_reserveFailure.ok() ? opened : m_reserveFailure;
    }
    return Start();
}

MailslotResult LinuxDatagramService::CreateMailslot(const std::string& path,
                                                    std::unique_ptr<MailslotReader>& reader) {
    nb::MailslotPath parts;
    if (const std::string_view problem = nb::ParseMailslotPath(path, parts); !problem.empty())
        return {MailslotStatus::InvalidName, path + ": " + std::string(problem)};
    if (parts.server != ".")
        return {MailslotStatus::InvalidName, path + ": a local mailslot path starts with \\\\.\\"};
    if (MailslotResult bound = Listen(); !bound.ok())
        return bound;
    reader = m_registry->Create(parts.mailslot);
    if (!reader)
        return {MailslotStatus::NameTaken, "the mailslot " + path + " exists already"};
    return {};
}

void LinuxDatagramService::AddKnownGroup(const std::string& name) {
    const CodePage& page = *m_config.codePage;
    const std::lock_guard lock(m_mutex);
    m_knownGroups.push_back(nb::UpperAscii(page.AnsiToOem(page.UpperCase(name))));
}

LinuxDatagramService::Statistics LinuxDatagramService::Stats() const {
    const std::lock_guard lock(m_mutex);
    Statistics stats = m_stats;
    stats.unclaimed = m_registry->Unclaimed();
    return stats;
}

std::uint16_t LinuxDatagramService::NextId() {
    return m_nextId.fetch_add(1);
}

const NetworkInterface* LinuxDatagramService::InterfaceFor(std::uint32_t remote,
                                                           std::uint32_t local, int ifindex) const {
    const auto& all = m_config.interfaces;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (ifindex > 0 && m_ifindex[i] == ifindex)
            return &all[i];
    }
    for (const NetworkInterface& itf : all) {
        if (local != 0 && (itf.address == local || itf.broadcast == local))
            return &itf;
    }
    for (const NetworkInterface& itf : all) {
        if ((itf.address & itf.netmask) == (remote & itf.netmask))
            return &itf;
    }
    return all.empty() ? nullptr : &all.front();
}

MailslotResult LinuxDatagramService::Query(const std::string& oemName, std::uint8_t suffix,
                                           std::vector<ResolvedName>& answers,
                                           bool firstAnswerOnly) {
    const std::lock_guard lock(m_sendMutex);
    const int fd = m_sendSocket;
    if (fd < 0)
        return {MailslotStatus::Failed,
                "the socket for name queries failed: " + ErrnoText(m_sendSocketError)};
    std::vector<std::uint8_t> stale(2048);
    // Late answers to an earlier question are still waiting; they must not be taken for new.
    while (::recv(fd, stale.data(), stale.size(), MSG_DONTWAIT) >= 0) {
    }
    const nb::NetbiosName name{oemName, suffix};
    std::vector<std::uint8_t> buffer(2048);
    for (int attempt = 0; attempt < m_config.queryTries && answers.empty(); ++attempt) {
        const std::uint16_t id = NextId();
        const std::string query = nb::BuildNameQuery(id, name, true);
        for (const NetworkInterface& itf : m_config.interfaces) {
            const sockaddr_in to = SocketAddress(itf.broadcast, nb::kNameServicePort);
            ::sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
        }
        const auto deadline = std::chrono::steady_clock::now() + m_config.queryWait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                continue;
            const nb::NameServiceParse parsed =
                nb::ParseNameServicePacket({buffer.data(), static_cast<std::size_t>(n)});
            const nb::NameServicePacket& p2 = parsed.packet;
            // Only a positive answer to this very question counts.
            if (!parsed.ok() || !p2.response() || p2.opcode() != 0 || p2.rcode() != 0 ||
                p2.id != id || p2.type != nb::kTypeNb || !nb::SameName(p2.name, name))
                continue;
            for (const nb::NameEntry& entry : p2.entries)
                answers.push_back({entry.address, entry.group(), p2.ttl});
            if (firstAnswerOnly && !answers.empty())
                break;
        }
    }
    return {};
}

MailslotResult LinuxDatagramService::ResolveName(const std::string& name, std::uint8_t suffix,
                                                 std::vector<ResolvedName>& answers) {
    answers.clear();
    const CodePage& page = *m_config.codePage;
    const std::string oem = nb::UpperAscii(page.AnsiToOem(page.UpperCase(name)));
    if (const std::string_view problem = nb::CheckName(oem); !problem.empty())
        return {MailslotStatus::InvalidName, "\"" + name + "\": " + std::string(problem)};
    if (m_config.interfaces.empty())
        return {MailslotStatus::NoInterface, "no up IPv4 interface with a broadcast address"};
    return Query(oem, suffix, answers, false);
}

MailslotResult LinuxDatagramService::WriteMailslot(const std::string& path, std::string_view bytes,
                                                   std::size_t& written) {
    written = 0;
    nb::MailslotPath parts;
    if (const std::string_view problem = nb::ParseMailslotPath(path, parts); !problem.empty())
        return {MailslotStatus::InvalidName, path + ": " + std::string(problem)};
    const CodePage& page = *m_config.codePage;
    const std::string target = nb::UpperAscii(page.AnsiToOem(page.UpperCase(parts.server)));
    if (const std::string_view problem = nb::CheckTarget(target); !problem.empty())
        return {MailslotStatus::InvalidName,
                "cannot send to \"" + parts.server + "\": " + std::string(problem)};
    if (m_config.interfaces.empty())
        return {MailslotStatus::NoInterface,
                "no up IPv4 interface with a broadcast address to send on"};
    if (bytes.size() > nb::kMaxMailslotData)
        return {MailslotStatus::WriteFailed,
                "a message of " + std::to_string(bytes.size()) +
                    " bytes is longer than the 424 bytes a mailslot write can carry"};

    std::vector<std::string> knownGroups;
    {
        const std::lock_guard lock(m_mutex);
        knownGroups = m_knownGroups;
    }
    const nb::SendPlan plan = nb::PlanSend(target, m_oemWorkgroup, knownGroups);
    std::uint32_t unicast = 0;
    if (plan.route == nb::SendRoute::ResolveUnique) {
        const std::string key = CacheKey(plan.destination.name, plan.destination.suffix);
        std::optional<ResolvedName> known;
        {
            const std::lock_guard lock(m_mutex);
            const auto it = m_cache.find(key);
            if (it != m_cache.end() && it->second.expires > std::chrono::steady_clock::now())
                known = it->second.answer;
        }
        if (!known) {
            std::vector<ResolvedName> answers;
            MailslotResult asked =
                Query(plan.destination.name, plan.destination.suffix, answers, true);
            if (!asked.ok())
                return asked;
            if (!answers.empty()) {
                known = answers.front();
                const auto ttl = std::min<std::chrono::seconds>(
                    std::chrono::seconds(known->ttlSeconds), kCacheLimit);
                const std::lock_guard lock(m_mutex);
                m_cache[key] = {*known, std::chrono::steady_clock::now() + ttl};
            }
        }
        // A group answer, or none at all, leaves the broadcast as the best effort.
        if (known && !known->group)
            unicast = known->address;
    }

    std::unique_lock sendLock(m_sendMutex, std::defer_lock);
    int fd = m_datagramSocket;
    if (fd < 0) {
        sendLock.lock();
        fd = m_sendSocket;
        if (fd < 0)
            return {MailslotStatus::Failed,
                    "the socket for sending failed: " + ErrnoText(m_sendSocketError)};
    }
    nb::MailslotDatagram datagram;
    datagram.id = NextId();
    datagram.sourcePort = LocalPort(fd);
    datagram.source = {m_oemName, nb::kWorkstationSuffix};
    datagram.destination = plan.destination;
    datagram.mailslot = std::string(nb::kMailslotPrefix) + nb::UpperAscii(parts.mailslot);
    datagram.data = std::string(bytes);

    int sent = 0;
    int lastError = 0;
    auto sendTo = [&](std::uint32_t address, std::uint32_t sourceIp) {
        datagram.sourceIp = sourceIp;
        const std::string packet = nb::BuildMailslotDatagram(datagram);
        const sockaddr_in to = SocketAddress(address, nb::kDatagramPort);
        const ssize_t n = ::sendto(fd, packet.data(), packet.size(), 0,
                                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (n == static_cast<ssize_t>(packet.size()))
            ++sent;
        else
            lastError = n < 0 ? errno : EMSGSIZE;
    };
    if (unicast != 0) {
        datagram.type = nb::kDirectUnique;
        const NetworkInterface* itf = InterfaceFor(unicast, 0, 0);
        sendTo(unicast, itf->address);
    } else {
        datagram.type = nb::kDirectGroup;
        for (const NetworkInterface& itf : m_config.interfaces)
            sendTo(itf.broadcast, itf.address);
    }
    if (sent == 0)
        return {MailslotStatus::WriteFailed,
                "sending to \"" + parts.server + "\" failed: " + ErrnoText(lastError)};
    written = bytes.size();
    return {};
}

void LinuxDatagramService::ReceiveLoop() {
    std::vector<std::uint8_t> buffer(65536);
    alignas(cmsghdr) char control[256];
    // Beside another service the raw socket takes the datagram port's place (poll skips -1).
    pollfd fds[3] = {{Beside() ? m_rawSocket : m_datagramSocket, POLLIN, 0},
                     {m_nameSocket, POLLIN, 0},
                     {m_wakeFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 3, PollTimeout());
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("kestrola: the receive thread stops");
            return;
        }
        if (fds[2].revents != 0)
            return;
        AnnounceIfDue();
        for (int which = 0; which < 2; ++which) {
            if (fds[which].revents == 0)
                continue;
            // Drain what waits, so that one wake-up serves a burst.
            for (;;) {
                sockaddr_in from{};
                iovec io{buffer.data(), buffer.size()};
                msghdr msg{};
                msg.msg_name = &from;
                msg.msg_namelen = sizeof from;
                msg.msg_iov = &io;
                msg.msg_iovlen = 1;
                msg.msg_control = control;
                msg.msg_controllen = sizeof control;
                const ssize_t n = ::recvmsg(fds[which].fd, &msg, MSG_DONTWAIT);
                if (n < 0)
                    break;
                std::uint32_t to = 0;
                int ifindex = 0;
                for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
                    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                        in_pktinfo info{};
                        std::memcpy(&info, CMSG_DATA(c), sizeof info);
                        to = ntohl(info.ipi_addr.s_addr);
                        ifindex = info.ipi_ifindex;
                    }
                }
                if ((msg.msg_flags & MSG_TRUNC) != 0)
                    continue;
                if (which == 0 && Beside()) {
                    HandleRawPacket(buffer.data(), static_cast<std::size_t>(n));
                    continue;
                }
                const std::uint32_t source = ntohl(from.sin_addr.s_addr);
                const std::uint16_t port = ntohs(from.sin_port);
                if (which == 0)
                    HandleDatagram(buffer.data(), static_cast<std::size_t>(n), source, port, to);
                else
                    HandleNameQuery(buffer.data(), static_cast<std::size_t>(n), source, port, to,
                                    ifindex);
            }
        }
    }
}

void LinuxDatagramService::HandleDatagram(const std::uint8_t* data, std::size_t size,
                                          std::uint32_t from, std::uint16_t fromPort,
                                          std::uint32_t to) {
    const nb::DatagramParse parsed = nb::ParseMailslotDatagram({data, size});
    {
        const std::lock_guard lock(m_mutex);
        ++m_stats.datagrams;
        if (!parsed.ok()) {
            ++m_stats.refused;
            return;
        }
    }
    const nb::MailslotDatagram& d = parsed.datagram;
    HandleBrowserFrame(d, from);
    {
        const std::lock_guard lock(m_mutex);
        if (!nb::AcceptsDestination(d.type, d.destination, m_oemName, m_oemWorkgroup)) {
            ++m_stats.notForUs;
            return;
        }
    }
    DatagramOrigin origin;
    origin.sourceAddress = from;
    origin.sourcePort = fromPort;
    origin.destinationAddress = to;
    origin.type = d.type;
    origin.sourceName = nb::NameForDisplay(d.source);
    origin.destinationName = nb::NameForDisplay(d.destination);
    origin.mailslot = d.mailslot;
    origin.length = d.data.size();
    m_registry->File(nb::MailslotLeaf(d.mailslot), d.data, std::move(origin));
}

void LinuxDatagramService::HandleNameQuery(const std::uint8_t* data, std::size_t size,
                                           std::uint32_t from, std::uint16_t fromPort,
                                           std::uint32_t to, int ifindex) {
    const nb::NameServiceParse parsed = nb::ParseNameServicePacket({data, size});
    const nb::NameServicePacket& p = parsed.packet;
    if (!parsed.ok() || p.response() || p.opcode() != 0 || p.type != nb::kTypeNb)
        return;
    bool group = false;
    if (nb::SameName(p.name, {m_oemName, nb::kWorkstationSuffix}) ||
        nb::SameName(p.name, {m_oemName, nb::kMessengerSuffix})) {
        group = false;
    } else if (nb::SameName(p.name, {m_oemWorkgroup, nb::kWorkstationSuffix})) {
        group = true;
    } else {
        return; // never a negative answer
    }
    const NetworkInterface* itf = InterfaceFor(from, to, ifindex);
    if (itf == nullptr)
        return;
    const std::string answer = nb::BuildPositiveResponse(
        p.id, p.name, kAnswerTtlSeconds,
        {{static_cast<std::uint16_t>(group ? nb::kGroupNameFlag : 0), itf->address}});
    const sockaddr_in back = SocketAddress(from, fromPort);
    if (::sendto(m_nameSocket, answer.data(), answer.size(), 0,
                 reinterpret_cast<const sockaddr*>(&back), sizeof back) > 0) {
        const std::lock_guard lock(m_mutex);
        ++m_stats.queriesAnswered;
    }
}

int LinuxDatagramService::PollTimeout() {
    const std::lock_guard lock(m_mutex);
    if (!m_schedule.Running())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        m_schedule.Next() - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
}

void LinuxDatagramService::AnnounceIfDue() {
    std::chrono::seconds periodicity{0};
    {
        const std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        if (!m_schedule.Due(now))
            return;
        periodicity = m_schedule.Announce(now);
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

void LinuxDatagramService::HandleBrowserFrame(const nb::MailslotDatagram& d, std::uint32_t from) {
    const std::string leaf = nb::UpperAscii(nb::MailslotLeaf(d.mailslot));
    const bool lanman = leaf == "LANMAN";
    if (!lanman && leaf != "BROWSE")
        return;
    const nb::BrowserFrameParse parsed = lanman ? nb::ParseLanmanFrame(nb::AsBytes(d.data))
                                                : nb::ParseBrowserFrame(nb::AsBytes(d.data));
    if (!parsed.ok() || parsed.kind == nb::BrowserFrameKind::Other)
        return;
    const auto now = std::chrono::steady_clock::now();
    const std::string destination = nb::UpperAscii(d.destination.name);
    const bool msBrowse =
        d.destination.name == nb::kMsBrowseName && d.destination.suffix == nb::kMsBrowseSuffix;
    const std::lock_guard lock(m_mutex);
    if (parsed.kind == nb::BrowserFrameKind::AnnouncementRequest) {
        // Our workgroup asks its members to announce; a request to the segment's browser name
        // comes from a copy of this program that is looking for every workgroup. Our own
        // requests come back to us and are no question to us.
        if (lanman || !m_schedule.Running() || nb::UpperAscii(d.source.name) == m_oemName ||
            !(destination == m_oemWorkgroup || msBrowse))
            return;
        const auto limit = m_config.answerDelayLimit.count();
        std::uniform_int_distribution<std::int64_t> wait(0, limit > 0 ? limit : 0);
        m_schedule.Requested(now, std::chrono::milliseconds(wait(m_random)));
        ++m_stats.requestsHeard;
        return;
    }
    const nb::Announcement& a = parsed.announcement;
    BrowseComputer computer{a.name, a.comment, a.serverType, from};
    switch (a.opcode) {
    case nb::kHostAnnouncement:
        // The workgroup is the name the announcement was sent to.
        if (!nb::CheckName(d.destination.name).empty())
            return;
        m_browse.HostAnnounced(d.destination.name, computer, a.periodicityMs, now);
        break;
    case nb::kLocalMasterAnnouncement:
        if (d.destination.suffix != nb::kBrowserElectionSuffix ||
            !nb::CheckName(d.destination.name).empty())
            return;
        m_browse.HostAnnounced(d.destination.name, computer, a.periodicityMs, now);
        break;
    case nb::kDomainAnnouncement:
        if (!msBrowse)
            return;
        m_browse.WorkgroupAnnounced(a.name, a.comment, a.periodicityMs, now);
        break;
    default:
        return;
    }
    ++m_stats.browserFrames;
}

MailslotResult LinuxDatagramService::RefreshBrowseList(std::chrono::milliseconds collect) {
    if (m_config.interfaces.empty())
        return {MailslotStatus::NoInterface, "no up IPv4 interface with a broadcast address"};
    if (MailslotResult bound = Listen(); !bound.ok())
        return bound;
    std::vector<std::string> workgroups{m_oemWorkgroup};
    {
        const std::lock_guard lock(m_mutex);
        for (const BrowseWorkgroup& group : m_browse.Snapshot(std::chrono::steady_clock::now())) {
            if (nb::UpperAscii(group.name) != m_oemWorkgroup)
                workgroups.push_back(group.name);
        }
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
        m_browse.Expire(now);
        groups = m_browse.Snapshot(now);
    }
    const bool ours = std::any_of(groups.begin(), groups.end(), [&](const BrowseWorkgroup& g) {
        return nb::UpperAscii(g.name) == m_oemWorkgroup;
    });
    if (!ours) {
        BrowseWorkgroup own;
        own.name = m_oemWorkgroup;
        const auto at = std::find_if(groups.begin(), groups.end(), [&](const BrowseWorkgroup& g) {
            return nb::UpperAscii(g.name) > m_oemWorkgroup;
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

namespace {

std::shared_ptr<LinuxDatagramService> SystemDatagramService() {
    // One service per process: it is the only owner of UDP 137 and 138.
    static std::mutex mutex;
    static std::weak_ptr<LinuxDatagramService> current;
    const std::lock_guard lock(mutex);
    std::shared_ptr<LinuxDatagramService> service = current.lock();
    if (!service) {
        service = std::make_shared<LinuxDatagramService>(LinuxDatagramService::SystemConfig());
        current = service;
    }
    return service;
}

} // namespace

std::shared_ptr<Mailslots> CreateMailslots() {
    return SystemDatagramService();
}

std::shared_ptr<Mailslots> CreateListeningMailslots(std::vector<std::string>& notes) {
    const std::shared_ptr<LinuxDatagramService> service = SystemDatagramService();
    // A failure shows again, with its reason, when the first local mailslot is created.
    service->Reserve();
    if (service->Beside())
        notes = BesideModeNotes();
    if (std::string problem; !DropCapabilities(problem))
        notes.push_back(problem);
    return service;
}

std::shared_ptr<NetworkProvider> CreateNetworkProvider(std::chrono::milliseconds collect) {
    return std::make_shared<LinuxNetworkProvider>(SystemDatagramService(), collect);
}

} // namespace kestrola::platform
