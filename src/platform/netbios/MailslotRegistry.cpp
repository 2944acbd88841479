#include "platform/netbios/MailslotRegistry.h"

#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace kestrola::platform {

std::string AddressText(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

class MailslotRegistry::Reader : public MailslotReader {
public:
    Reader(std::shared_ptr<MailslotRegistry> registry, std::string key)
        : m_registry(std::move(registry)), m_key(std::move(key)) {}
    ~Reader() override {
        const std::lock_guard lock(m_registry->m_mutex);
        m_registry->m_queues.erase(m_key);
    }

    bool GetInfo(std::uint32_t& nextSize, std::uint32_t& count) override {
        const std::lock_guard lock(m_registry->m_mutex);
        const auto it = m_registry->m_queues.find(m_key);
        if (it == m_registry->m_queues.end())
            return false;
        const auto& messages = it->second.messages;
        count = static_cast<std::uint32_t>(messages.size());
        nextSize = messages.empty() ? 0 : static_cast<std::uint32_t>(messages.front().bytes.size());
        return true;
    }

    bool Read(void* buffer, std::size_t capacity, std::size_t& got,
              DatagramOrigin* origin) override {
        got = 0;
        Message message;
        {
            const std::lock_guard lock(m_registry->m_mutex);
            const auto it = m_registry->m_queues.find(m_key);
            if (it == m_registry->m_queues.end() || it->second.messages.empty())
                return false;
            message = std::move(it->second.messages.front());
            it->second.messages.pop_front();
            Forget(it->second, message);
            it->second.counters.waiting = static_cast<std::uint32_t>(it->second.messages.size());
        }
        got = std::min(capacity, message.bytes.size());
        if (got > 0)
            std::memcpy(buffer, message.bytes.data(), got);
        if (origin != nullptr)
            *origin = std::move(message.origin);
        return true;
    }

    std::vector<SourceDrops> TakeDropEpisode() override {
        const std::lock_guard lock(m_registry->m_mutex);
        const auto it = m_registry->m_queues.find(m_key);
        if (it == m_registry->m_queues.end())
            return {};
        Queue& queue = it->second;
        if (queue.droppedSinceLook) {
            queue.droppedSinceLook = false; // the episode goes on
            return {};
        }
        std::vector<SourceDrops> told;
        for (const auto& [address, dropped] : queue.episode)
            told.push_back({address, dropped});
        queue.episode.clear();
        return told;
    }

    MailslotCounters Counters() const override {
        const std::lock_guard lock(m_registry->m_mutex);
        const auto it = m_registry->m_queues.find(m_key);
        return it == m_registry->m_queues.end() ? MailslotCounters{} : it->second.counters;
    }

private:
    std::shared_ptr<MailslotRegistry> m_registry;
    std::string m_key;
};

std::string MailslotRegistry::Key(std::string_view name) {
    return core::AsciiUpper(name);
}

std::unique_ptr<MailslotReader> MailslotRegistry::Create(std::string_view name) {
    std::string key = Key(name);
    {
        const std::lock_guard lock(m_mutex);
        if (!m_queues.try_emplace(key).second)
            return nullptr;
    }
    return std::make_unique<Reader>(shared_from_this(), std::move(key));
}

bool MailslotRegistry::File(std::string_view name, std::string message, DatagramOrigin origin) {
    const std::string key = Key(name);
    const std::lock_guard lock(m_mutex);
    const auto it = m_queues.find(key);
    if (it == m_queues.end()) {
        ++m_unclaimed;
        return false;
    }
    Queue& queue = it->second;
    // A reader that falls behind loses the oldest messages, never the newest; and a source that
    // sends more than its share loses its own.
    const std::uint32_t source = origin.sourceAddress;
    if (queue.held[source] >= kSourceShare) {
        DropFor(queue, source);
    } else if (queue.messages.size() >= kQueueBound) {
        const auto most =
            std::max_element(queue.held.begin(), queue.held.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        DropFor(queue, most->first);
    }
    ++queue.held[source];
    queue.messages.push_back({std::move(message), std::move(origin)});
    ++queue.counters.filed;
    queue.counters.waiting = static_cast<std::uint32_t>(queue.messages.size());
    return true;
}

void MailslotRegistry::Forget(Queue& queue, const Message& message) {
    const auto held = queue.held.find(message.origin.sourceAddress);
    if (held != queue.held.end() && --held->second == 0)
        queue.held.erase(held);
}

void MailslotRegistry::DropFor(Queue& queue, std::uint32_t source) {
    const auto oldest =
        std::find_if(queue.messages.begin(), queue.messages.end(),
                     [&](const Message& m) { return m.origin.sourceAddress == source; });
    if (oldest == queue.messages.end())
        return;
    Forget(queue, *oldest);
    queue.messages.erase(oldest);
    ++queue.counters.dropped;
    queue.droppedSinceLook = true;
    // A flood from forged addresses must not grow the tally without bound.
    const bool named = queue.episode.count(source) != 0 || queue.episode.size() < kMaxDropSources;
    ++queue.episode[named ? source : 0];
}

bool MailslotRegistry::Has(std::string_view name) const {
    const std::lock_guard lock(m_mutex);
    return m_queues.count(Key(name)) != 0;
}

std::uint64_t MailslotRegistry::Unclaimed() const {
    const std::lock_guard lock(m_mutex);
    return m_unclaimed;
}

} // namespace kestrola::platform
