#pragma once

#include "platform/CodePage.h"
#include "platform/Mailslots.h"
#include "platform/netbios/AnnouncementSchedule.h"
#include "platform/netbios/BrowseList.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/MailslotRegistry.h"
#include "platform/netbios/ReceiveDecision.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace kestrola::platform {

/// What the network provider needs of the datagram service: the browse list and a way to
/// refresh it.
class BrowseSource {
public:
    virtual ~BrowseSource() = default;
    /// The interfaces browsing uses; none means there is no network to browse.
    virtual std::vector<NetworkInterface> Interfaces() const = 0;
    /// Our computer name and workgroup.
    virtual NetbiosIdentity Identity() const = 0;
    /// Asks every known workgroup to announce itself and collects the answers for `collect`.
    virtual MailslotResult RefreshBrowseList(std::chrono::milliseconds collect) = 0;
    /// The workgroups and computers heard of (ANSI names, ascending), our workgroup always
    /// among them.
    virtual std::vector<BrowseWorkgroup> BrowseSnapshot() = 0;
};

/// The NetBIOS datagram service (UDP 138) and a minimal name service (UDP 137) for one network
/// namespace. Binding the ports happens with the first local mailslot; from then on a receive
/// thread files every accepted mailslot write into the queue of the local mailslot it names
/// and answers name queries for our names. Writes work with or without the ports. While it
/// holds the ports it keeps the browse list from the browser announcements it hears, announces
/// this computer on Samba's schedule and answers AnnouncementRequests; when it is destroyed it
/// announces once more with server type 0. Sockets are only ever opened in the network
/// namespace the service was created in.
class LinuxDatagramService : public Mailslots, public BrowseSource {
public:
    /// What the service is built from; the process's service takes it from the system.
    struct Config {
        NetbiosIdentity identity;
        std::vector<NetworkInterface> interfaces;
        std::shared_ptr<CodePage> codePage;
        /// Time between name query tries and their number.
        std::chrono::milliseconds queryWait{250};
        int queryTries = 3;
        /// Whether this computer announces itself while the service holds the ports.
        bool announce = true;
        /// Longest random wait before answering an AnnouncementRequest.
        std::chrono::milliseconds answerDelayLimit{2000};
        /// The comment our announcements carry.
        std::string comment;
        /// Whether the service claims its names at start and tells of another host using them.
        bool registerNames = true;
    };

    explicit LinuxDatagramService(Config config);
    ~LinuxDatagramService() override;

    /// The configuration of this system: identity, interfaces (KESTROLA_INTERFACES) and code
    /// page.
    static Config SystemConfig();

    MailslotResult CreateMailslot(const std::string& path,
                                  std::unique_ptr<MailslotReader>& reader) override;
    MailslotResult WriteMailslot(const std::string& path, std::string_view bytes,
                                 std::size_t& written) override;
    MailslotResult ResolveName(const std::string& name, std::uint8_t suffix,
                               std::vector<ResolvedName>& answers) override;
    void ResolveAhead(const std::vector<std::string>& targets) override;
    void SetWaitHook(std::function<void()> hook) override;
    std::vector<std::string> TakeNotices() override;
    NetbiosIdentity Identity() const override { return m_config.identity; }
    std::vector<NetworkInterface> Interfaces() const override { return m_config.interfaces; }
    MailslotResult RefreshBrowseList(std::chrono::milliseconds collect) override;
    std::vector<BrowseWorkgroup> BrowseSnapshot() override;

    /// Binds UDP 137 and 138 unless held already; fails when they are taken, when there is no
    /// right to them, or when called from another network namespace than the service's own.
    MailslotResult Listen();
    /// Takes the ports before the process gives up its privileges, without starting to receive:
    /// UDP 137 and 138, or, when another NetBIOS service holds them, a raw socket that receives
    /// copies of the datagrams for this host ("beside" mode: then this service never answers a
    /// query nor announces). Listen() then receives on what was taken.
    MailslotResult Reserve();
    /// Whether the service receives beside another NetBIOS service.
    bool Beside() const { return m_rawSocket >= 0; }
    ReceivePath Receiving() const override;

    /// Adds a name that is sent to as a group without asking the network first.
    void AddKnownGroup(const std::string& name);
    /// Whether this service holds UDP 137 and 138.
    bool Bound() const { return m_datagramSocket >= 0; }

    /// What the receive thread saw; for diagnostics and tests.
    struct Statistics {
        std::uint64_t datagrams = 0; ///< packets read on the datagram port
        std::uint64_t refused = 0;   ///< malformed or not a mailslot write
        std::uint64_t notForUs = 0;  ///< for a name that is not ours
        std::uint64_t unclaimed = 0; ///< for a mailslot nobody created here
        std::uint64_t queriesAnswered = 0;
        std::uint64_t forgedSources = 0;     ///< queries from an address no answer may go to
        std::uint64_t nameConflicts = 0;     ///< another host holding or claiming our name
        std::uint64_t browserFrames = 0;     ///< announcements taken into the browse list
        std::uint64_t requestsHeard = 0;     ///< AnnouncementRequests for us that we answer
        std::uint64_t announcementsSent = 0; ///< our own announcements (per interface)
        std::uint64_t rawRead = 0;           ///< packets read on the raw socket (beside mode)
        std::uint64_t rawTaken = 0; ///< of those, port-138 datagrams for this host, handled
    };
    Statistics Stats() const;

private:
    struct CachedName {
        std::optional<ResolvedName> answer; ///< none: nobody answered
        std::chrono::steady_clock::time_point expires;
    };

    MailslotResult OpenPorts();
    MailslotResult Start();
    bool InHomeNamespace() const;
    void ReceiveLoop();
    int PollTimeout();
    void AnnounceIfDue();
    void SendHostAnnouncement(std::uint32_t serverType, std::chrono::seconds periodicity);
    int SendBrowserDatagram(const netbios::NetbiosName& destination, const std::string& frame);
    void HandleArrival(Arrival arrival, int ifindex);
    // In LinuxRawReceiver.cpp: one packet of the raw socket, IP header first, and this computer
    // in its workgroup of `groups` (beside another service, which announces it).
    void HandleRawPacket(const std::uint8_t* data, std::size_t size);
    void AddOwnComputer(std::vector<BrowseWorkgroup>& groups) const;
    void RegisterNames();
    void NoteConflict(std::uint32_t other);
    MailslotResult Query(const std::vector<netbios::NetbiosName>& names,
                         std::vector<std::vector<ResolvedName>>& answers, bool firstAnswerOnly);
    std::optional<CachedName> Cached(const std::string& key) const;
    void Remember(const std::string& key, const std::vector<ResolvedName>& answers);
    const NetworkInterface* InterfaceFor(std::uint32_t remote, std::uint32_t local,
                                         int ifindex) const;
    std::uint16_t NextId();

    Config m_config;
    std::string m_oemName;      // our computer name in the OEM code page, upper-cased
    std::string m_oemWorkgroup; // our workgroup likewise
    std::shared_ptr<MailslotRegistry> m_registry = std::make_shared<MailslotRegistry>();

    std::mutex m_bindMutex;
    int m_datagramSocket = -1;
    int m_nameSocket = -1;
    int m_wakeFd = -1;
    int m_rawSocket = -1;            // beside mode: copies of UDP 138 datagrams, IP header first
    MailslotResult m_reserveFailure; // why Reserve() took neither the ports nor a copy
    // Created with the service, so that it lives in the service's network even when a caller's
    // thread is elsewhere; queries and writes without the ports go out on it.
    int m_sendSocket = -1;
    int m_sendSocketError = 0;
    std::mutex m_sendMutex;
    std::thread m_thread;
    std::vector<int> m_ifindex; // per interface, for IP_PKTINFO
    dev_t m_homeNetnsDevice = 0;
    ino_t m_homeNetnsInode = 0;

    // The cache, known groups, statistics and what the receive thread decides by.
    mutable std::mutex m_mutex;
    std::map<std::string, CachedName> m_cache;
    std::vector<std::string> m_knownGroups;
    std::vector<std::string> m_notices; // for the user, not yet taken
    bool m_conflictTold = false;
    Statistics m_stats;
    ReceiverState m_state;
    std::mt19937 m_random;
    std::atomic<std::uint16_t> m_nextId;
    // Run while the thread that set it waits for name answers.
    std::function<void()> m_waitHook;
    std::thread::id m_waitHookThread;
};

} // namespace kestrola::platform
