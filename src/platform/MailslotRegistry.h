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
class MailslotRegistry : public std::enable_shared_from_this<MailslotRegistry> {
public:
    /// Messages a mailslot keeps; when full, the oldest waiting one is dropped and counted.
    static constexpr std::size_t kQueueBound = 256;

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
    };
    class Reader;

    static std::string Key(std::string_view name);

    mutable std::mutex m_mutex;
    std::map<std::string, Queue> m_queues;
    std::uint64_t m_unclaimed = 0;
};

} // namespace kestrola::platform
