#pragma once

#include "platform/Mailslots.h"
#include "store/MessageRecord.h"

#include <cstddef>
#include <memory>
#include <string>

namespace kestrola::core {

/// What `MailslotChannel::Receive` found.
enum ReceiveResult : int {
    ReceiveFailed = 0,
    NothingReceived = 1,
    MessageReceived = 2,
};

/// Bytes of the receive buffer.
constexpr std::size_t kReceiveBufferBytes = 1024;

/// The program's network endpoint: the local mailslot "\\.\mailslot\MESSNGR" on which
/// messages arrive, and one write per send to "\\TARGET\mailslot\messngr". Failures are
/// reported through ShowSystemMessage.
class MailslotChannel {
public:
    explicit MailslotChannel(platform::Mailslots& mailslots) : m_mailslots(mailslots) {}
    ~MailslotChannel() { Close(); }
    MailslotChannel(const MailslotChannel&) = delete;
    MailslotChannel& operator=(const MailslotChannel&) = delete;

    /// Creates the local mailslot; false (after message 1285) when it cannot be created.
    bool Open();
    /// Takes at most one waiting datagram into `record` (at most 110 bytes kept). Never
    /// blocks. `origin` and `whole` (the bytes as read, up to 1024) are filled when given.
    ReceiveResult Receive(MessageRecord& record, platform::DatagramOrigin* origin = nullptr,
                          std::string* whole = nullptr);
    /// Writes `length` bytes as one datagram to the messenger mailslot of `target`; true only
    /// when all of them went out. Works whether or not the channel is open.
    bool Send(const std::string& target, const char* bytes, std::size_t length);
    /// Resolves the names of a coming series of sends at once (see Mailslots::ResolveAhead).
    void ResolveAhead(const std::vector<std::string>& targets) {
        m_mailslots.ResolveAhead(targets);
    }
    /// See Mailslots::SetWaitHook.
    void SetWaitHook(std::function<void()> hook) { m_mailslots.SetWaitHook(std::move(hook)); }
    /// Closes the local mailslot when open.
    void Close();

    bool IsOpen() const { return m_open; }
    /// The local mailslot's counters (zero while closed).
    platform::MailslotCounters Counters() const;
    /// Drops per source of an episode that has just ended (see MailslotReader); empty
    /// otherwise. Called once per receive tick.
    std::vector<platform::SourceDrops> TakeDropEpisode();

private:
    platform::Mailslots& m_mailslots;
    std::unique_ptr<platform::MailslotReader> m_reader;
    bool m_open = false;
};

/// What the user is told of an episode of drops: how many messages of whom were lost.
std::string DropEpisodeText(const std::vector<platform::SourceDrops>& drops);

/// The local receiving mailslot.
inline constexpr const char* kLocalMailslot = "\\\\.\\mailslot\\MESSNGR";
/// What goes before and after the target in a remote mailslot path.
inline constexpr const char* kRemotePathPrefix = "\\\\";
inline constexpr const char* kRemotePathSuffix = "\\mailslot\\messngr";

} // namespace kestrola::core
