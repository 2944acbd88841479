#include "messaging/Receiver.h"

#include "app/AppSettings.h"
#include "app/WindowOperations.h"
#include "messaging/DatagramCodec.h"
#include "store/MessageBase.h"
#include "store/Viewer.h"

namespace kestrola::core {

Receiver::Receiver(MailslotChannel& channel, MessageBase& base, Viewer& viewer,
                   const AppSettings& settings, const platform::CodePage& codePage,
                   WindowOperations& window)
    : m_channel(channel), m_base(base), m_viewer(viewer), m_settings(settings),
      m_codePage(codePage), m_window(window), m_duplicates(settings.dublicateMessagesTimeOut) {}

ReceiveOutcome Receiver::Poll() {
    ReceiveOutcome outcome;
    m_duplicates.Tick();
    // A tick that arrives while a notice of this receiving work waits for the user (a failed
    // write of the base or the log) counts as busy too: it must not refill the record in use.
    if (m_viewer.busy || m_polling) {
        // Datagrams stay queued for a later tick.
        outcome.busy = true;
        return outcome;
    }
    const BusyScope polling(m_polling);
    if (m_channel.Receive(received) != MessageReceived)
        return outcome;
    outcome.received = true;
    outcome.duplicate = m_duplicates.IsDuplicate(received);

    outcome.stored = m_base.AppendRecord(received);
    if (outcome.stored) {
        ++m_base.newCount;
        ++m_base.count;
    }

    // The message is decoded on its own, whether it is shown or not, so that the log and the
    // personal/group decision see its own texts; the record on display changes only when the
    // new one is shown.
    MessageRecord decoded = received;
    DecodeDatagram(m_codePage, decoded);
    const std::uint32_t position =
        PositionToShowOnArrival(m_settings.autoShowNewMSG, m_base.count, m_base.current);
    if (position != 0) {
        m_base.current = position;
        m_viewer.shown = received;
        m_viewer.ParseAndShow(m_viewer.shown);
        outcome.shown = true;
    }
    if (m_settings.history == 1)
        m_base.WriteHistory(decoded);
    m_viewer.UpdateCounters();

    outcome.personal = IsPersonal(m_codePage, decoded.to, m_window.LocalNameUpper());
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
