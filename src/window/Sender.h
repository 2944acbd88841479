#pragma once

#include <string>
#include <vector>

namespace kestrola::platform {
class CodePage;
}

namespace kestrola::core {

struct AppSettings;
class MailslotChannel;
class MainView;
class MessageBase;
class RecentRecipients;
class Viewer;
class RecipientNetwork;
class WindowOperations;

/// What a send command did.
struct SendOutcome {
    int refusedWith = 0;                 ///< the input check that failed (1325, 1292, 1293), or 0
    std::vector<std::string> recipients; ///< the names sent to, in order
    int succeeded = 0;                   ///< sends that went out whole
};

/// The composing side of the main window: the send command with its checks and after-send
/// options, the per-recipient send with its bookkeeping, and the reply command.
class Sender {
public:
    Sender(MailslotChannel& channel, MessageBase& base, Viewer& viewer, MainView& view,
           const AppSettings& settings, const platform::CodePage& codePage,
           RecentRecipients& recents, RecipientNetwork& network, WindowOperations& window);

    /// The send command: checks length, recipient and text in that order, sends to the typed
    /// name or to every checked tree item, then applies the after-send options.
    SendOutcome SendComposed();
    /// Sends one datagram to `recipient` and does its bookkeeping (recent recipients, sent
    /// copy, history); true when the whole datagram went out.
    bool SendToRecipient(const std::string& recipient, const std::string& text);
    /// The reply command: the shown message's sender becomes the recipient and its text is
    /// quoted into the composer.
    void ReplyToShown();

private:
    MailslotChannel& m_channel;
    MessageBase& m_base;
    Viewer& m_viewer;
    MainView& m_view;
    const AppSettings& m_settings;
    const platform::CodePage& m_codePage;
    RecentRecipients& m_recents;
    RecipientNetwork& m_network;
    WindowOperations& m_window;
};

} // namespace kestrola::core
