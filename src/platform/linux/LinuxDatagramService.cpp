#include "platform/linux/LinuxDatagramService.h"

#include "platform/Platform.h"
#include "platform/ReceiveDecision.h"
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
#include <utility>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

// The cache keeps no answer longer than ten minutes.
constexpr std::chrono::seconds kCacheLimit{600};
// A name nobody answered is not asked for again so soon: the send goes as a broadcast, which
// still reaches the computer should it have come up meanwhile.
constexpr std::chrono::seconds kNobodyCacheTime{30};
constexpr std::chrono::milliseconds kSecondAnswerWait{20};
constexpr int kReceiveBuffer = 4 << 20;
// Workgroups besides ours that one refresh of the browse list asks to announce themselves.
constexpr std::size_t kRefreshedWorkgroups = 8;

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

MailslotResult LinuxDatagramService::Query(const std::vector<nb::NetbiosName>& names,
                                           std::vector<std::vector<ResolvedName>>& answers,
                                           bool firstAnswerOnly) {
    answers.assign(names.size(), {});
    const std::lock_guard lock(m_sendMutex);
    const int fd = m_sendSocket;
    if (fd < 0)
        return {MailslotStatus::Failed,
                "the socket for name queries failed: " + ErrnoText(m_sendSocketError)};
    std::vector<std::uint8_t> stale(2048);
    // Late answers to an earlier question are still waiting; they must not be taken for new.
    while (::recv(fd, stale.data(), stale.size(), MSG_DONTWAIT) >= 0) {
    }
    std::vector<std::uint8_t> buffer(2048);
    // Every name is asked at once, so that many names cost the wait of one.
    auto unanswered = [&] {
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (answers[i].empty())
                open.push_back(i);
        }
        return open;
    };
    for (int attempt = 0; attempt < m_config.queryTries; ++attempt) {
        const std::vector<std::size_t> open = unanswered();
        if (open.empty())
            break;
        std::map<std::uint16_t, std::size_t> asked; // query id -> name
        for (const std::size_t i : open) {
            const std::uint16_t id = NextId();
            asked[id] = i;
            const std::string query = nb::BuildNameQuery(id, names[i], true);
            for (const NetworkInterface& itf : m_config.interfaces) {
                const sockaddr_in to = SocketAddress(itf.broadcast, nb::kNameServicePort);
                ::sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
            }
        }
        std::size_t done = 0;
        auto deadline = std::chrono::steady_clock::now() + m_config.queryWait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            // In short slices when a hook keeps the caller's window painting meanwhile.
            const bool hooked = m_waitHook && std::this_thread::get_id() == m_waitHookThread;
            const int slice =
                static_cast<int>(hooked ? std::min<std::int64_t>(left.count(), 20) : left.count());
            const int ready = ::poll(&p, 1, slice);
            if (ready < 0)
                break;
            if (ready == 0) {
                if (hooked)
                    m_waitHook();
                continue;
            }
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                continue;
            const nb::NameServiceParse parsed =
                nb::ParseNameServicePacket({buffer.data(), static_cast<std::size_t>(n)});
            const nb::NameServicePacket& p2 = parsed.packet;
            const auto it = asked.find(p2.id);
            // Only a positive answer to one of these very questions counts.
            if (!parsed.ok() || !p2.response() || p2.opcode() != 0 || p2.rcode() != 0 ||
                it == asked.end() || p2.type != nb::kTypeNb ||
                !nb::SameName(p2.name, names[it->second]))
                continue;
            std::vector<ResolvedName>& got = answers[it->second];
            const bool first = got.empty();
            for (const nb::NameEntry& entry : p2.entries)
                got.push_back({entry.address, entry.group(), p2.ttl});
            done += first && !got.empty() ? 1 : 0;
            // A second host answering for a unique name answers right after the first; a
            // moment more tells a name in conflict.
            if (firstAnswerOnly && done == open.size())
                deadline = std::min(deadline, std::chrono::steady_clock::now() + kSecondAnswerWait);
        }
    }
    return {};
}

std::optional<LinuxDatagramService::CachedName>
LinuxDatagramService::Cached(const std::string& key) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_cache.find(key);
    if (it == m_cache.end() || it->second.expires <= std::chrono::steady_clock::now())
        return std::nullopt;
    return it->second;
}

void LinuxDatagramService::Remember(const std::string& key,
                                    const std::vector<ResolvedName>& answers) {
    // Nobody answering is remembered too, for a short time: asking again costs the wait.
    std::optional<ResolvedName> answer;
    std::chrono::seconds ttl = kNobodyCacheTime;
    if (!answers.empty()) {
        answer = answers.front();
        ttl = std::min<std::chrono::seconds>(std::chrono::seconds(answer->ttlSeconds), kCacheLimit);
    }
    const std::lock_guard lock(m_mutex);
    m_cache[key] = {answer, std::chrono::steady_clock::now() + ttl};
}

void LinuxDatagramService::SetWaitHook(std::function<void()> hook) {
    m_waitHook = std::move(hook);
    m_waitHookThread = std::this_thread::get_id();
}

void LinuxDatagramService::ResolveAhead(const std::vector<std::string>& targets) {
    if (m_config.interfaces.empty())
        return;
    std::vector<std::string> knownGroups;
    {
        const std::lock_guard lock(m_mutex);
        knownGroups = m_knownGroups;
    }
    const CodePage& page = *m_config.codePage;
    std::vector<nb::NetbiosName> names;
    std::vector<std::string> keys;
    for (const std::string& target : targets) {
        const std::string oem = nb::UpperAscii(page.AnsiToOem(page.UpperCase(target)));
        if (!nb::CheckTarget(oem).empty())
            continue;
        const nb::SendPlan plan = nb::PlanSend(oem, m_oemWorkgroup, knownGroups);
        std::string key = CacheKey(plan.destination.name, plan.destination.suffix);
        if (plan.route != nb::SendRoute::ResolveUnique || Cached(key) ||
            std::find(keys.begin(), keys.end(), key) != keys.end())
            continue;
        names.push_back(plan.destination);
        keys.push_back(std::move(key));
    }
    std::vector<std::vector<ResolvedName>> answers;
    if (names.empty() || !Query(names, answers, true).ok())
        return;
    for (std::size_t i = 0; i < names.size(); ++i)
        Remember(keys[i], answers[i]);
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
    std::vector<std::vector<ResolvedName>> all;
    MailslotResult result = Query({{oem, suffix}}, all, false);
    answers = std::move(all.front());
    return result;
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
    std::string conflict;
    if (plan.route == nb::SendRoute::ResolveUnique) {
        const std::string key = CacheKey(plan.destination.name, plan.destination.suffix);
        std::optional<ResolvedName> known;
        if (const std::optional<CachedName> cached = Cached(key)) {
            known = cached->answer;
        } else {
            std::vector<std::vector<ResolvedName>> answers;
            MailslotResult asked = Query({plan.destination}, answers, true);
            if (!asked.ok())
                return asked;
            Remember(key, answers.front());
            if (!answers.front().empty())
                known = answers.front().front();
            for (const ResolvedName& other : answers.front()) {
                if (!other.group && !known->group && other.address != known->address) {
                    conflict = "two computers answer for " + parts.server + " (" +
                               AddressText(known->address) + " first, then " +
                               AddressText(other.address) + "): sent to the first";
                    break;
                }
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
    return {MailslotStatus::Ok, conflict};
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

void LinuxDatagramService::NoteConflict(std::uint32_t other) {
    std::string text;
    {
        const std::lock_guard lock(m_mutex);
        ++m_stats.nameConflicts;
        if (m_conflictTold)
            return;
        m_conflictTold = true;
        text = "Another computer (" + AddressText(other) + ") uses the name " +
               m_config.identity.computerName + " too: messages to " +
               m_config.identity.computerName +
               " may reach either computer. Give one of them another name.";
        m_notices.push_back(text);
    }
    std::fprintf(stderr, "kestrola: %s\n", text.c_str());
}

std::vector<std::string> LinuxDatagramService::TakeNotices() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_notices, {});
}

void LinuxDatagramService::RegisterNames() {
    // As a broadcast node does: claim our unique names, and ask whether anybody answers for
    // ours (a copy of this program that does not defend its name still answers). Answers and
    // objections come back to the name port, where the receive thread hears them. The name
    // socket may broadcast only for these few packets.
    const int on = 1;
    const int off = 0;
    ::setsockopt(m_nameSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    for (const NetworkInterface& itf : m_config.interfaces) {
        const sockaddr_in to = SocketAddress(itf.broadcast, nb::kNameServicePort);
        std::vector<std::string> packets;
        for (const std::uint8_t suffix : {nb::kWorkstationSuffix, nb::kMessengerSuffix})
            packets.push_back(nb::BuildRegistrationRequest(NextId(), {m_oemName, suffix},
                                                           kAnswerTtlSeconds, {0, itf.address}));
        packets.push_back(nb::BuildNameQuery(NextId(), {m_oemName, nb::kWorkstationSuffix}, true));
        for (const std::string& packet : packets)
            ::sendto(m_nameSocket, packet.data(), packet.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    ::setsockopt(m_nameSocket, SOL_SOCKET, SO_BROADCAST, &off, sizeof off);
}

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
