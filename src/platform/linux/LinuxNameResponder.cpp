// The name-service responder's own steps: claiming our names at start and telling the user of
// a host that uses them (answering queries is a receive decision, see ReceiveDecision).
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
#include <utility>

namespace kestrola::platform {

namespace nb = netbios;

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

} // namespace kestrola::platform
