// The name-service client of the datagram service: asking who holds a name (with its cache of
// answers) and sending mailslot writes to what the answers name. Runs on the caller's thread.
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

namespace kestrola::platform {

namespace nb = netbios;

namespace {

// The cache keeps no answer longer than ten minutes.
constexpr std::chrono::seconds kCacheLimit{600};
// A name nobody answered is not asked for again so soon: the send goes as a broadcast, which
// still reaches the computer should it have come up meanwhile.
constexpr std::chrono::seconds kNobodyCacheTime{30};
constexpr std::chrono::milliseconds kSecondAnswerWait{20};

std::string CacheKey(const std::string& oemName, std::uint8_t suffix) {
    return core::AsciiUpper(oemName) + '#' + std::to_string(suffix);
}

} // namespace

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
        const std::string oem = core::AsciiUpper(page.AnsiToOem(page.UpperCase(target)));
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
    const std::string oem = core::AsciiUpper(page.AnsiToOem(page.UpperCase(name)));
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
    const std::string target = core::AsciiUpper(page.AnsiToOem(page.UpperCase(parts.server)));
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
    datagram.mailslot = std::string(nb::kMailslotPrefix) + core::AsciiUpper(parts.mailslot);
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

} // namespace kestrola::platform
