// The socket core of the datagram service: the ports, the network namespace, the receive thread
// and what it does with each arrival. The name client, the name responder and the browser
// service are its other jobs, each in a file of its own (LinuxNameClient.cpp,
// LinuxNameResponder.cpp, LinuxBrowserService.cpp, LinuxRawReceiver.cpp for beside mode).
#include "platform/linux/LinuxDatagramService.h"

#include "base/Text.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/linux/LinuxNetworkProvider.h"
#include "platform/linux/LinuxRawReceiver.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotAddressing.h"
#include "platform/netbios/NameServicePacket.h"
#include "platform/netbios/ReceiveDecision.h"

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
#include <utility>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

constexpr int kReceiveBuffer = 4 << 20;

// A UDP socket bound to `port` on every address (0: an ephemeral port), with SO_BROADCAST when
// `broadcast`. No SO_REUSEADDR or SO_REUSEPORT: a port another NetBIOS service holds must stay
// its own.
int OpenSocket(std::uint16_t port, bool broadcast, int& error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    const int on = 1;
    if (broadcast)
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
    m_oemName = core::AsciiUpper(page.AnsiToOem(page.UpperCase(m_config.identity.computerName)));
    m_oemWorkgroup = core::AsciiUpper(page.AnsiToOem(page.UpperCase(m_config.identity.workgroup)));
    m_state.oemName = m_oemName;
    m_state.oemWorkgroup = m_oemWorkgroup;
    m_state.interfaces = m_config.interfaces;
    m_state.browse = BrowseList(m_oemWorkgroup);
    for (const NetworkInterface& itf : m_config.interfaces)
        m_ifindex.push_back(static_cast<int>(if_nametoindex(itf.name.c_str())));
    CurrentNetns(m_homeNetnsDevice, m_homeNetnsInode);
    m_sendSocket = OpenSocket(0, true, m_sendSocketError);
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
        goodbye = m_state.schedule.Running();
        m_state.schedule.Stop();
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
    const int datagram = OpenSocket(nb::kDatagramPort, true, error);
    if (datagram < 0) {
        return {error == EADDRINUSE ? MailslotStatus::NameTaken
                : error == EACCES   ? MailslotStatus::AccessDenied
                                    : MailslotStatus::Failed,
                BindProblem(nb::kDatagramPort, error)};
    }
    // A burst must wait in the kernel while the receive thread is not scheduled: a larger
    // buffer where the system allows it (forced with CAP_NET_ADMIN, else up to rmem_max).
    const int buffer = kReceiveBuffer;
    if (::setsockopt(datagram, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(datagram, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // The name port only ever answers one asker: the kernel refuses it any broadcast, so that no
    // forged source can turn an answer into one to every host.
    const int name = OpenSocket(nb::kNameServicePort, false, error);
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
            m_state.schedule.Start(std::chrono::steady_clock::now());
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
    m_knownGroups.push_back(core::AsciiUpper(page.AnsiToOem(page.UpperCase(name))));
}

LinuxDatagramService::Statistics LinuxDatagramService::Stats() const {
    const std::lock_guard lock(m_mutex);
    Statistics stats = m_stats;
    stats.unclaimed = m_registry->Unclaimed();
    return stats;
}

void LinuxDatagramService::ReceiveLoop() {
    // Beside another service its names are its own to claim and defend.
    if (m_config.registerNames && !Beside())
        RegisterNames();
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
                Arrival arrival;
                arrival.port = which == 0 ? nb::kDatagramPort : nb::kNameServicePort;
                arrival.source = ntohl(from.sin_addr.s_addr);
                arrival.sourcePort = ntohs(from.sin_port);
                arrival.destination = to;
                arrival.data = buffer.data();
                arrival.size = static_cast<std::size_t>(n);
                HandleArrival(arrival, ifindex);
            }
        }
    }
}

void LinuxDatagramService::HandleArrival(Arrival arrival, int ifindex) {
    if (arrival.port == nb::kNameServicePort) {
        const NetworkInterface* itf = InterfaceFor(arrival.source, arrival.destination, ifindex);
        arrival.localAddress = itf != nullptr ? itf->address : 0;
    }
    ReceiveDecision decision;
    {
        const auto limit = m_config.answerDelayLimit.count();
        std::uniform_int_distribution<std::int64_t> wait(0, limit > 0 ? limit : 0);
        const std::lock_guard lock(m_mutex);
        decision = DecideArrival(m_state, arrival, std::chrono::steady_clock::now(),
                                 std::chrono::milliseconds(wait(m_random)));
        if (arrival.port != nb::kNameServicePort)
            ++m_stats.datagrams;
        m_stats.refused += decision.malformed && arrival.port != nb::kNameServicePort;
        m_stats.notForUs += decision.notForUs;
        m_stats.forgedSources += decision.forged;
        m_stats.browserFrames += decision.listed;
        m_stats.requestsHeard += decision.requested;
    }
    if (decision.conflict != 0)
        NoteConflict(decision.conflict);
    if (decision.filing) {
        ReceiveDecision::Filing& f = *decision.filing;
        m_registry->File(f.mailslot, std::move(f.data), std::move(f.origin));
    }
    if (decision.answer) {
        const sockaddr_in back = SocketAddress(decision.answer->to, decision.answer->toPort);
        if (::sendto(m_nameSocket, decision.answer->packet.data(), decision.answer->packet.size(),
                     0, reinterpret_cast<const sockaddr*>(&back), sizeof back) > 0) {
            const std::lock_guard lock(m_mutex);
            ++m_stats.queriesAnswered;
        }
    }
}

} // namespace kestrola::platform
