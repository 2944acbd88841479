// Beside another NetBIOS service: copies of the datagrams it receives, through a raw socket.

#include "platform/linux/LinuxRawReceiver.h"

#include "base/Text.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxDatagramService.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/Ipv4UdpPacket.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <linux/capability.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrola::platform {

namespace nb = netbios;

namespace {

// The kernel hands a raw IPv4 socket the packet from its IP header on. Pass UDP (protocol at
// byte 9) that is not a fragment (flags and offset at byte 6) and goes to port 138 (two bytes
// after the variable-length IP header); drop everything else before it is queued.
constexpr std::array<sock_filter, 9> kPort138Filter = {{
    BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_UDP, 0, 6),
    BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
    BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x3FFF, 4, 0),
    BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
    BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, nb::kDatagramPort, 0, 1),
    BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
    BPF_STMT(BPF_RET | BPF_K, 0),
}};

} // namespace

int OpenRawReceiver(int& error) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    sock_fprog program{static_cast<unsigned short>(kPort138Filter.size()),
                       const_cast<sock_filter*>(kPort138Filter.data())};
    if (::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    // What arrived before the filter was attached is not wanted.
    std::array<char, 2048> discard;
    while (::recv(fd, discard.data(), discard.size(), MSG_DONTWAIT) >= 0) {
    }
    return fd;
}

bool NetbiosPortsInUse() {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // the column titles
    while (std::getline(table, line)) {
        // "  sl  local_address rem_address ...": the local address is 0100007F:008A.
        const std::size_t colon = line.find(':', line.find(':') + 1);
        if (colon == std::string::npos)
            continue;
        const unsigned long port = std::strtoul(line.substr(colon + 1, 4).c_str(), nullptr, 16);
        if (port == nb::kDatagramPort || port == 137)
            return true;
    }
    return false;
}

std::vector<std::string> BesideModeNotes() {
    std::vector<std::string> notes{
        "UDP ports 137 and 138 are held by another NetBIOS service (such as Samba's nmbd): "
        "running beside it. It answers for this computer's names and announces it; this "
        "program receives copies of the datagrams for this computer and answers nothing."};
    if (std::string name = NameBesideNote(ReadIdentitySources()); !name.empty())
        notes.push_back(std::move(name));
    return notes;
}

std::vector<std::string> BesideNotes() {
    return NetbiosPortsInUse() ? BesideModeNotes() : std::vector<std::string>{};
}

bool DropCapabilities(std::string& problem) {
    // The system call itself rather than a library: one library less to load at every start.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capset, &header, none) != 0) {
        problem = std::string("dropping the capabilities failed: ") + std::strerror(errno);
        return false;
    }
    // Ambient capabilities would come back in programs started from here; a kernel without
    // them (EINVAL) has none to clear.
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
        problem = std::string("clearing the ambient capabilities failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void LinuxDatagramService::HandleRawPacket(const std::uint8_t* data, std::size_t size) {
    const nb::Ipv4UdpParse parsed = nb::ParseIpv4Udp({data, size});
    const nb::Ipv4UdpPacket& p = parsed.packet;
    bool ours = false;
    // Unicast to one of our addresses, or a broadcast on one of our interfaces.
    for (const NetworkInterface& itf : m_config.interfaces)
        ours = ours || p.destination == itf.address || p.destination == itf.broadcast;
    ours = ours || p.destination == INADDR_BROADCAST;
    {
        const std::lock_guard lock(m_mutex);
        ++m_stats.rawRead;
        if (!parsed.ok() || p.destinationPort != nb::kDatagramPort || !ours)
            return;
        ++m_stats.rawTaken;
    }
    Arrival arrival;
    arrival.port = nb::kDatagramPort;
    arrival.source = p.source;
    arrival.sourcePort = p.sourcePort;
    arrival.destination = p.destination;
    arrival.data = p.payload.data();
    arrival.size = p.payload.size();
    HandleArrival(arrival, 0);
}

void LinuxDatagramService::AddOwnComputer(std::vector<BrowseWorkgroup>& groups) const {
    // The other service announces this computer on its own schedule (up to twelve minutes
    // apart, and not in answer to our requests); the list shows it before that is heard.
    for (BrowseWorkgroup& group : groups) {
        if (core::AsciiUpper(group.name) != m_oemWorkgroup)
            continue;
        const auto at = std::find_if(
            group.computers.begin(), group.computers.end(),
            [&](const BrowseComputer& c) { return core::AsciiUpper(c.name) >= m_oemName; });
        if (at != group.computers.end() && core::AsciiUpper(at->name) == m_oemName)
            return;
        const std::uint32_t address =
            m_config.interfaces.empty() ? 0 : m_config.interfaces.front().address;
        group.computers.insert(at, {m_oemName, {}, nb::kServerTypeWorkstation, address});
        return;
    }
}

ReceivePath LinuxDatagramService::Receiving() const {
    const std::lock_guard lock(m_mutex);
    return {Beside(), m_stats.rawRead, m_stats.rawTaken};
}

} // namespace kestrola::platform
