#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {

/// How a mailslot operation ended.
enum class MailslotStatus {
    Ok,
    NameTaken,    ///< the local mailslot exists already, or its port is held by another program
    AccessDenied, ///< the system refused the port (a privileged port without the right)
    InvalidName,  ///< the path or the target is not a valid mailslot path or NetBIOS name
    NoInterface,  ///< no network interface to send on
    WriteFailed,  ///< the datagram could not be sent
    Failed,       ///< any other failure of the system
};

/// Result of a mailslot operation; `detail` says for people what failed and why.
struct MailslotResult {
    MailslotStatus status = MailslotStatus::Ok;
    std::string detail;
    bool ok() const { return status == MailslotStatus::Ok; }
};

/// Who this computer is on the network: the computer name as configured (at most 15
/// characters, case as given) and the workgroup.
struct NetbiosIdentity {
    std::string computerName;
    std::string workgroup;
};

/// An IPv4 interface used for sending and answering (addresses in host byte order).
struct NetworkInterface {
    std::string name;
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
    std::uint32_t broadcast = 0;
};

/// Where a received message came from; what the platform knows of it (zero where it does not).
struct DatagramOrigin {
    std::uint32_t sourceAddress = 0; ///< IPv4, host byte order
    std::uint16_t sourcePort = 0;
    std::uint32_t destinationAddress = 0; ///< the address it was sent to (unicast or broadcast)
    std::uint8_t type = 0;                ///< datagram message type (0x10 unique, 0x11 group)
    std::string sourceName;               ///< "PC1<00>"
    std::string destinationName;          ///< "WORKGROUP<00>"
    std::string mailslot;                 ///< the name as sent, "\MAILSLOT\MESSNGR"
    std::size_t length = 0;               ///< bytes of the whole message
};

/// Counters of a local mailslot.
struct MailslotCounters {
    std::uint64_t filed = 0;   ///< messages put into the queue since creation
    std::uint64_t dropped = 0; ///< messages pushed out because the queue was full
    std::uint32_t waiting = 0; ///< messages in the queue now
};

/// Messages of one source address pushed out of a full local mailslot; address 0 stands for
/// every source beyond the first `kMaxDropSources` of an episode.
struct SourceDrops {
    std::uint32_t address = 0;
    std::uint64_t dropped = 0;
};

/// A name answer of the network.
struct ResolvedName {
    std::uint32_t address = 0; ///< host byte order
    bool group = false;
    std::uint32_t ttlSeconds = 0;
};

/// How datagrams reach this process, for diagnostics.
struct ReceivePath {
    /// Another NetBIOS service holds the ports; copies of its datagrams come in through a raw
    /// socket, and this process answers nothing.
    bool beside = false;
    std::uint64_t rawRead = 0;  ///< packets the raw socket's filter let through
    std::uint64_t rawTaken = 0; ///< of those, datagrams for this host that were handled
};

/// The receiving end of a local mailslot; closed when destroyed.
class MailslotReader {
public:
    virtual ~MailslotReader() = default;
    /// Size of the next waiting message (0 when none) and the number waiting; false when the
    /// state cannot be had. Never blocks.
    virtual bool GetInfo(std::uint32_t& nextSize, std::uint32_t& count) = 0;
    /// Takes the next message: copies at most `capacity` bytes of it (the rest is discarded)
    /// and sets `got`; fills `origin` when given. False when nothing waits or reading failed.
    virtual bool Read(void* buffer, std::size_t capacity, std::size_t& got,
                      DatagramOrigin* origin) = 0;
    /// Counters since creation.
    virtual MailslotCounters Counters() const = 0;
    /// The messages dropped per source during the latest episode of drops, once the episode has
    /// ended: a call that finds no drop since the call before ends it. Empty otherwise, and for
    /// mailslots that never drop. Called on every receive tick, it tells of each episode once.
    virtual std::vector<SourceDrops> TakeDropEpisode() { return {}; }
};

/// Local and remote mailslots: create a local one by path ("\\.\mailslot\NAME"), write one
/// message to a remote one ("\\TARGET\mailslot\NAME", TARGET a computer, a workgroup or "*").
class Mailslots {
public:
    virtual ~Mailslots() = default;
    /// Creates the local mailslot at `path`; on success `reader` receives its messages.
    virtual MailslotResult CreateMailslot(const std::string& path,
                                          std::unique_ptr<MailslotReader>& reader) = 0;
    /// Writes `bytes` as one message to the mailslot at `path`; `written` is the number of
    /// bytes that went out (0 on failure).
    virtual MailslotResult WriteMailslot(const std::string& path, std::string_view bytes,
                                         std::size_t& written) = 0;
    /// Asks the network who holds `name` with `suffix`; the answers go to `answers` (none when
    /// nobody answered, which is not a failure).
    virtual MailslotResult ResolveName(const std::string& name, std::uint8_t suffix,
                                       std::vector<ResolvedName>& answers) = 0;
    /// Asks the network for every target of a coming series of writes at once and keeps the
    /// answers (and the lack of one) for those writes; a write then asks for nothing.
    virtual void ResolveAhead(const std::vector<std::string>& targets) { (void)targets; }
    /// Run now and then, on the calling thread only, while that thread waits for answers to
    /// name queries (the window keeps painting); empty for none.
    virtual void SetWaitHook(std::function<void()> hook) { (void)hook; }
    /// What the network layer has to tell the user (a name in conflict), each text once.
    virtual std::vector<std::string> TakeNotices() { return {}; }
    /// Our computer name and workgroup.
    virtual NetbiosIdentity Identity() const = 0;
    /// The interfaces datagrams go out on.
    virtual std::vector<NetworkInterface> Interfaces() const = 0;
    /// How datagrams reach this process; nothing special where the platform keeps no record.
    virtual ReceivePath Receiving() const { return {}; }
};

/// "\\.\mailslot\" and "\mailslot\" as the program spells them in paths.
constexpr std::string_view kLocalMailslotPrefix = "\\\\.\\mailslot\\";

/// Dotted form of a host-order IPv4 address.
std::string AddressText(std::uint32_t address);

} // namespace kestrola::platform
