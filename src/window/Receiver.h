#pragma once

#include "messaging/MailslotChannel.h"
#include "messaging/ReceiveRules.h"
#include "store/MessageRecord.h"

namespace kestrola::platform {
class CodePage;
}

namespace kestrola::core {

struct AppSettings;
class MessageBase;
class Viewer;
class RecipientNetwork;
class WindowOperations;

/// What one poll took in and what became of it.
struct ReceiveOutcome {
    bool busy = false;      ///< the window was busy: nothing was taken
    bool received = false;  ///< a datagram was taken from the mailslot
    bool stored = false;    ///< it was appended to the base
    bool shown = false;     ///< it was put on display
    bool personal = false;  ///< addressed to this computer (else a group message)
    bool duplicate = false; ///< it repeats the previous datagram (computed, not acted on)
};

/// The receiving half of the poll tick: at most one datagram per tick into the base, shown or
/// left waiting, logged, and announced by sound and by raising the window.
class Receiver {
public:
    Receiver(MailslotChannel& channel, MessageBase& base, Viewer& viewer,
             const AppSettings& settings, const platform::CodePage& codePage,
             const RecipientNetwork& network, WindowOperations& window);

    /// One tick's receiving work, after the window's own duties.
    ReceiveOutcome Poll();

    /// The record the channel fills; shown records are copied from it.
    MessageRecord received;

private:
    MailslotChannel& m_channel;
    MessageBase& m_base;
    Viewer& m_viewer;
    const AppSettings& m_settings;
    const platform::CodePage& m_codePage;
    const RecipientNetwork& m_network;
    WindowOperations& m_window;
    DuplicateDetector m_duplicates;
    bool m_polling = false;
};

} // namespace kestrola::core
