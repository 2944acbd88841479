#include "platform/linux/LinuxDatagramService.h"

#include "platform/Platform.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
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
                      "capability (setcap cap_net_bind_service=+ep on the program)";
    return what + " cannot be bound: " + ErrnoText(error);
}

std::string CacheKey(const std::string& oemName, std::uint8_t suffix) {
    return nb::UpperAscii(oemName) + '#' + std::to_string(suffix);
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
    : m_config(std::move(config)), m_nextId(static_cast<std::uint16_t>(std::random_device{}())) {
    if (!m_config.codePage)
        m_config.codePage = CreateCodePage();
    const CodePage& page = *m_config.codePage;
    m_oemName = nb::UpperAscii(page.AnsiToOem(page.UpperCase(m_config.identity.computerName)));
    m_oemWorkgroup = nb::UpperAscii(page.AnsiToOem(page.UpperCase(m_config.identity.workgroup)));
    for (const NetworkInterface& itf : m_config.interfaces)
        m_ifindex.push_back(static_cast<int>(if_nametoindex(itf.name.c_str())));
    m_sendSocket = OpenSocket(0, m_sendSocketError);
}

LinuxDatagramService::~LinuxDatagramService() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) < 0)
            std::perror("kestrola: waking the receive thread");
        m_thread.join();
    }
    for (const int fd : {m_datagramSocket, m_nameSocket, m_wakeFd, m_sendSocket}) {
        if (fd >= 0)
            ::close(fd);
    }
}

MailslotResult LinuxDatagramService::Bind() {
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
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        error = errno;
        ::close(datagram);
        ::close(name);
        return {MailslotStatus::Failed, "eventfd failed: " + ErrnoText(error)};
    }
    m_datagramSocket = datagram;
    m_nameSocket = name;
    m_wakeFd = wake;
    m_thread = std::thread([this] { ReceiveLoop(); });
    return {};
}

MailslotResult LinuxDatagramService::CreateMailslot(const std::string& path,
                                                    std::unique_ptr<MailslotReader>& reader) {
    nb::MailslotPath parts;
    if (const std::string_view problem = nb::ParseMailslotPath(path, parts); !problem.empty())
        return {MailslotStatus::InvalidName, path + ": " + std::string(problem)};
    if (parts.server != ".")
        return {MailslotStatus::InvalidName, path + ": a local mailslot path starts with \\\\.\\"};
    {
        const std::lock_guard lock(m_bindMutex);
        if (m_datagramSocket < 0) {
            MailslotResult bound = Bind();
            if (!bound.ok())
                return bound;
        }
    }
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
    pollfd fds[3] = {
        {m_datagramSocket, POLLIN, 0}, {m_nameSocket, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("kestrola: the receive thread stops");
            return;
        }
        if (fds[2].revents != 0)
            return;
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
        if (!nb::AcceptsDestination(parsed.datagram.type, parsed.datagram.destination, m_oemName,
                                    m_oemWorkgroup)) {
            ++m_stats.notForUs;
            return;
        }
    }
    const nb::MailslotDatagram& d = parsed.datagram;
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

std::shared_ptr<Mailslots> CreateMailslots() {
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

} // namespace kestrola::platform
