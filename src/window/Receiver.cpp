#include "window/Receiver.h"

#include "messaging/DatagramCodec.h"
#include "settings/AppSettings.h"
#include "store/MessageBase.h"
#include "window/RecipientNetwork.h"
#include "window/Viewer.h"
#include "window/WindowOperations.h"

namespace kestrola::core {

Receiver::Receiver(MailslotChannel& channel, MessageBase& base, Viewer& viewer,
                   const AppSettings& settings, const platform::CodePage& codePage,
                   const RecipientNetwork& network, WindowOperations& window)
    : m_channel(channel), m_base(base), m_viewer(viewer), m_settings(settings),
      m_codePage(codePage), m_network(network), m_window(window),
      m_duplicates(settings.dublicateMessagesTimeOut) {}

ReceiveOutcome Receiver::Poll() {
    ReceiveOutcome outcome;
    m_duplicates.Tick();
    // A tick that arrives while a notice of this receiving work waits for the user (a failed
    // write of the base or the log) counts as busy too: it must not refill the record in use.
    if (m_viewer.Busy() || m_polling) {
        // Datagrams stay queued for a later tick.
        outcome.busy = true;
        return outcome;
    }
    const BusyScope polling(m_polling);
    // Messages that could not be written earlier go in first, before anything newer.
    const bool waited = m_base.PendingCount() != 0;
    if (waited)
        m_base.StorePending();
    if (m_channel.Receive(received) != MessageReceived) {
        if (waited)
            m_viewer.UpdateCounters();
        return outcome;
    }
    outcome.received = true;
    outcome.duplicate = m_duplicates.IsDuplicate(received);

    // A message the base cannot take now waits in memory; it is never dropped.
    std::uint64_t ticket = 0;
    const std::uint32_t index = m_base.Store(received, ticket);
    outcome.stored = index != 0;

    // The message is decoded on its own, whether it is shown or not, so that the log and the
    // personal/group decision see its own texts; the record on display changes only when the
    // new one is shown.
    MessageRecord decoded = received;
    DecodeDatagram(m_codePage, decoded);
    if (ShowOnArrival(m_settings.autoShowNewMSG, m_viewer.NothingShown())) {
        m_viewer.ShowStored(received, index, ticket);
        outcome.shown = true;
    }
    if (m_settings.history == 1)
        m_base.WriteHistory(decoded);
    m_viewer.UpdateCounters();

    outcome.personal = IsPersonal(m_codePage, decoded.to, m_network.LocalNameUpper());
    if (outcome.personal) {
        if (m_settings.enablePersonalSound == 1)
            m_window.PlaySoundFile(m_settings.personalSoundFile);
        if (m_settings.upWindowOnPersonal == 1)
            m_window.RaiseWindow();
    } else {
        if (m_settings.enableGroupSound == 1)
            m_window.PlaySoundFile(m_settings.groupSoundFile);
        if (m_settings.upWindowOnPopup == 1)
            m_window.RaiseWindow();
    }
    return outcome;
}

} // namespace kestrola::core
