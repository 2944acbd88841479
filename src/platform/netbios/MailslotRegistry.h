#pragma once

#include "platform/Mailslots.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrola::platform {

/// The local mailslots of one computer: each a bounded queue of whole messages, found by name
/// ignoring ASCII case. Safe to use from a receiving thread and a reading thread at once.
///
/// One host must not push out the others' messages: a source address holds at most
/// `kSourceShare` waiting messages (its oldest goes for a new one), and a full queue drops the
/// oldest message of the source holding the most. Drops are counted per source address.
class MailslotRegistry : public std::enable_shared_from_this<MailslotRegistry> {
public:
    /// Messages a mailslot keeps.
    static constexpr std::size_t kQueueBound = 256;
    /// Messages one source address may have waiting in a mailslot.
    static constexpr std::size_t kSourceShare = kQueueBound / 4;
    /// Sources an episode of drops names one by one; the rest are counted together.
    static constexpr std::size_t kMaxDropSources = 16;

    /// Creates the mailslot `name` and a reader for it (the reader removes it when destroyed);
    /// nullptr when a mailslot of that name exists.
    std::unique_ptr<MailslotReader> Create(std::string_view name);
    /// Puts a message into the mailslot `name`; false when there is no such mailslot.
    bool File(std::string_view name, std::string message, DatagramOrigin origin);
    /// Whether a mailslot of that name exists.
    bool Has(std::string_view name) const;
    /// Messages for mailslots that do not exist here.
    std::uint64_t Unclaimed() const;

private:
    struct Message {
        std::string bytes;
        DatagramOrigin origin;
    };
    struct Queue {
        std::deque<Message> messages;
        MailslotCounters counters;
        std::map<std::uint32_t, std::size_t> held;      ///< waiting messages per source
        std::map<std::uint32_t, std::uint64_t> episode; ///< drops per source, not yet told
        bool droppedSinceLook = false;
    };
    class Reader;

    static std::string Key(std::string_view name);
    static void DropFor(Queue& queue, std::uint32_t source);
    static void Forget(Queue& queue, const Message& message);

    mutable std::mutex m_mutex;
    std::map<std::string, Queue> m_queues;
    std::uint64_t m_unclaimed = 0;
};

} // namespace kestrola::platform
