#pragma once

#include "platform/CodePage.h"
#include "platform/MailslotRegistry.h"
#include "platform/Mailslots.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrola::platform {

/// The NetBIOS datagram service (UDP 138) and a minimal name service (UDP 137) for one network
/// namespace. Binding the ports happens with the first local mailslot; from then on a receive
/// thread files every accepted mailslot write into the queue of the local mailslot it names
/// and answers name queries for our names. Writes work with or without the ports.
class LinuxDatagramService : public Mailslots {
public:
    /// What the service is built from; the process's service takes it from the system.
    struct Config {
        NetbiosIdentity identity;
        std::vector<NetworkInterface> interfaces;
        std::shared_ptr<CodePage> codePage;
        /// Time between name query tries and their number.
        std::chrono::milliseconds queryWait{250};
        int queryTries = 3;
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
    NetbiosIdentity Identity() const override { return m_config.identity; }
    std::vector<NetworkInterface> Interfaces() const override { return m_config.interfaces; }

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
    };
    Statistics Stats() const;

private:
    struct CachedName {
        ResolvedName answer;
        std::chrono::steady_clock::time_point expires;
    };

    MailslotResult Bind();
    void ReceiveLoop();
    void HandleDatagram(const std::uint8_t* data, std::size_t size, std::uint32_t from,
                        std::uint16_t fromPort, std::uint32_t to);
    void HandleNameQuery(const std::uint8_t* data, std::size_t size, std::uint32_t from,
                         std::uint16_t fromPort, std::uint32_t to, int ifindex);
    MailslotResult Query(const std::string& oemName, std::uint8_t suffix,
                         std::vector<ResolvedName>& answers, bool firstAnswerOnly);
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
    // Created with the service, so that it lives in the service's network even when a caller's
    // thread is elsewhere; queries and writes without the ports go out on it.
    int m_sendSocket = -1;
    int m_sendSocketError = 0;
    std::mutex m_sendMutex;
    std::thread m_thread;
    std::vector<int> m_ifindex; // per interface, for IP_PKTINFO

    mutable std::mutex m_mutex; // the cache, known groups and statistics
    std::map<std::string, CachedName> m_cache;
    std::vector<std::string> m_knownGroups;
    Statistics m_stats;
    std::atomic<std::uint16_t> m_nextId;
};

} // namespace kestrola::platform
