#include "window/Sender.h"

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "messaging/ComposeRules.h"
#include "messaging/DatagramCodec.h"
#include "messaging/MailslotChannel.h"
#include "messaging/ReceiveRules.h"
#include "platform/CodePage.h"
#include "settings/AppSettings.h"
#include "store/MessageBase.h"
#include "store/RecentRecipients.h"
#include "window/MainView.h"
#include "window/RecipientNetwork.h"
#include "window/Viewer.h"
#include "window/WindowOperations.h"

namespace kestrola::core {

Sender::Sender(MailslotChannel& channel, MessageBase& base, Viewer& viewer, MainView& view,
               const AppSettings& settings, const platform::CodePage& codePage,
               RecentRecipients& recents, RecipientNetwork& network, WindowOperations& window)
    : m_channel(channel), m_base(base), m_viewer(viewer), m_view(view), m_settings(settings),
      m_codePage(codePage), m_recents(recents), m_network(network), m_window(window) {}

SendOutcome Sender::SendComposed() {
    SendOutcome outcome;
    m_viewer.TakeTexts();
    const WindowTexts& texts = m_viewer.Texts();
    m_viewer.UpdateLengthIndicator();
    std::vector<std::string> checked;
    m_network.CollectCheckedNames(checked);
    outcome.refusedWith = CheckSend(texts.recipient, texts.composer, !checked.empty());
    if (outcome.refusedWith != 0) {
        ShowSystemMessage(outcome.refusedWith);
        if (outcome.refusedWith == kTooManySymbols)
            m_viewer.UpdateLengthIndicator();
        else
            m_view.SetFocus(outcome.refusedWith == kEnterComputerName ? kRecipientBox
                                                                      : kComposerEdit);
        return outcome;
    }

    // The text is taken once: the sends below write the texts back into the controls.
    const std::string text = texts.composer;
    bool allSent = true;
    if (checked.empty()) {
        const std::string recipient = texts.recipient;
        outcome.recipients.push_back(recipient);
        allSent = SendToRecipient(recipient, text);
        outcome.succeeded += allSent ? 1 : 0;
    } else {
        // Raised for the whole series: while the names are asked for the window keeps
        // painting, and a poll tick meanwhile must take nothing in.
        const BusyScope sending = m_viewer.HoldBusy();
        m_channel.ResolveAhead(checked);
        for (const std::string& name : checked) {
            m_viewer.SetRecipient(name);
            outcome.recipients.push_back(name);
            const bool sent = SendToRecipient(name, text);
            outcome.succeeded += sent ? 1 : 0;
            allSent = allSent && sent;
        }
    }

    if (m_settings.clearSelected == 1)
        m_network.ClearChecks();
    if (m_settings.clearTextBox == 1)
        m_viewer.SetComposer({});
    m_viewer.PutTexts();
    if (allSent && m_settings.succesMessageTimeOut != 0)
        m_view.RunNotice(kSendSucceeded, m_settings.succesMessageTimeOut);
    if (m_settings.expandAfter == 1)
        m_window.SetExpanded(false);
    if (m_settings.minimiseAfterSend == 1)
        m_window.MinimizeWindow();
    if (m_settings.enableSendSound == 1)
        m_window.PlaySoundFile(m_settings.sendSoundFile);
    return outcome;
}

bool Sender::SendToRecipient(const std::string& recipient, const std::string& text) {
    const BusyScope scope = m_viewer.HoldBusy();
    const WindowTexts& texts = m_viewer.Texts();
    m_recents.AddRecentRecipient(recipient, m_settings.historyLenght);
    m_view.SetRecipientList(m_recents.SaveRecentRecipients());
    m_viewer.PutTexts();

    const std::string localName = m_network.LocalName();
    MessageRecord history;
    history.from = localName;
    history.to = recipient;
    history.text = text;

    m_viewer.SetRecipient(m_codePage.UpperCase(texts.recipient));
    MessageRecord sent;
    sent.SetBody(EncodeDatagram(m_codePage, localName, texts.recipient, text));
    // The path is formed from the name as given; the datagram carries it in upper case.
    const std::string datagram = sent.BodyBytes();
    const bool ok = m_channel.Send(recipient, datagram.data(), datagram.size());

    // A message to our own name is stored when it arrives, not as sent.
    if (m_settings.includeSendedInBase == 1 && texts.recipient != m_network.LocalNameUpper()) {
        sent.state = 1;
        std::uint64_t ticket = 0;
        const std::uint32_t index = m_base.Store(sent, ticket);
        m_viewer.TakeTexts();
        // The copy on display becomes the current record, so a reply answers what shows.
        if (ShowOnArrival(m_settings.autoShowNewMSG, m_viewer.NothingShown()))
            m_viewer.ShowStored(sent, index, ticket);
        m_viewer.UpdateCounters();
        m_viewer.PutTexts();
    }
    if (m_settings.history == 1)
        m_base.WriteHistory(history);
    return ok;
}

void Sender::ReplyToShown() {
    if (m_viewer.NothingShown())
        return;
    if (m_base.Current() != 0)
        m_base.MarkRead(m_base.Current());
    m_viewer.UpdateCounters();
    m_view.SetControlText(kReadMarkLabel, " ");
    m_viewer.TakeTexts();
    m_window.SetExpanded(true);
    m_window.ScanIfNeeded();
    m_viewer.SetRecipient(m_viewer.Shown().from);
    m_viewer.SetComposer(QuoteForReply(m_viewer.Texts().viewer, m_settings.excludeDoubleReply));
    m_view.SetFocus(kComposerEdit);
    m_viewer.PutTexts();
    m_viewer.UpdateLengthIndicator();
    m_view.MoveCaretToEnd(kComposerEdit);
}

} // namespace kestrola::core
