#pragma once

#include "platform/Mailslots.h"
#include "platform/netbios/AnnouncementSchedule.h"
#include "platform/netbios/BrowseList.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrola::platform {

/// One datagram as the receive thread read it.
struct Arrival {
    std::uint16_t port = 0;   ///< where it arrived: the name (137) or datagram (138) port
    std::uint32_t source = 0; ///< IPv4, host byte order
    std::uint16_t sourcePort = 0;
    std::uint32_t destination = 0;  ///< the address it was sent to; 0 when unknown
    std::uint32_t localAddress = 0; ///< our address on the interface it came in on
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

/// What the receive thread keeps between datagrams and decides by.
struct ReceiverState {
    std::string oemName;      ///< our computer name in the OEM code page, upper-cased
    std::string oemWorkgroup; ///< our workgroup likewise
    std::vector<NetworkInterface> interfaces;
    BrowseList browse;
    AnnouncementSchedule schedule;
};

/// What to do with one datagram: the receive thread does it (files, sends), and counts.
struct ReceiveDecision {
    struct Filing {
        std::string mailslot; ///< the leaf name ("MESSNGR")
        std::string data;
        DatagramOrigin origin;
    };
    struct Answer {
        std::string packet;
        std::uint32_t to = 0; ///< never a broadcast, multicast or zero address
        std::uint16_t toPort = 0;
    };

    bool malformed = false; ///< not a packet of its port
    bool notForUs = false;  ///< a mailslot write for a name that is not ours
    bool forged = false;    ///< a query from an address no answer may go to
    bool listed = false;    ///< an announcement taken into the browse list
    bool requested = false; ///< an AnnouncementRequest that brings our announcement closer
    /// Another host that holds or claims one of our unique names: it answered a query for it,
    /// objected to our registration, or asked to register it (and is answered no).
    std::uint32_t conflict = 0;
    std::optional<Filing> filing;
    std::optional<Answer> answer;
};

/// How long our name answers say the name holds.
inline constexpr std::uint32_t kAnswerTtlSeconds = 259200;

/// Whether an answer may go back to this source. A query from no address, from a broadcast or
/// multicast address or from port 0 is forged or broken: answering it would reach every host.
bool AnswerableSource(std::uint32_t address, std::uint16_t port,
                      const std::vector<NetworkInterface>& interfaces);

/// Decides what one datagram means at `now`, updating the browse list and the announcement
/// schedule of `state`; `answerDelay` is the random wait an AnnouncementRequest gets. No I/O:
/// the same state and datagrams always give the same decisions.
ReceiveDecision DecideArrival(ReceiverState& state, const Arrival& arrival,
                              std::chrono::steady_clock::time_point now,
                              std::chrono::milliseconds answerDelay);

} // namespace kestrola::platform
