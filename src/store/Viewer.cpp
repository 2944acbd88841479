#include "store/Viewer.h"

#include "messaging/ComposeRules.h"
#include "messaging/DatagramCodec.h"
#include "platform/CodePage.h"
#include "platform/Shell.h"
#include "store/ViewerTexts.h"

namespace kestrola::core {

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

std::string WithLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FirstCharacters(const std::string& text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == characters)
                return text.substr(0, i);
            ++seen;
        }
    }
    return text;
}

Viewer::Viewer(MessageBase& base, const platform::CodePage& codePage, MainView& view,
               platform::Shell& shell)
    : m_base(base), m_codePage(codePage), m_view(view), m_shell(shell) {
    // The message on display gets its position once the base could take it.
    m_base.onStored = [this](std::uint64_t ticket, std::uint32_t index) {
        if (ticket == m_unsaved) {
            m_unsaved = 0;
            m_base.current = index;
        }
    };
}

void Viewer::ShowStored(const MessageRecord& record, std::uint32_t index, std::uint64_t ticket) {
    m_base.current = index;
    m_unsaved = index == 0 ? ticket : 0;
    shown = record;
    ParseAndShow(shown);
}

void Viewer::ShowNothing() {
    m_base.current = 0;
    // A composer text and a recipient being typed survive the emptied viewer.
    TakeTexts();
    m_view.SetControlText(kFromToLabel, "");
    m_view.SetControlText(kTimeLabel, "");
    texts.viewer.clear();
    UpdateCounters();
}

bool Viewer::ShowStoredAt(std::uint32_t index) {
    MessageRecord record;
    if (m_base.ReadRecord(index, record) != MessageBase::kRead)
        return false;
    ShowStored(record, index, 0);
    UpdateCounters();
    return true;
}

void Viewer::ParseAndShow(MessageRecord& record) {
    const BusyScope scope(busy);
    DecodeDatagram(m_codePage, record);
    const ShownFields fields = ShownFieldsOf(record);
    m_view.SetControlText(kReadMarkLabel, fields.readMark);
    m_view.SetControlText(kFromToLabel, fields.fromTo);
    m_view.SetControlText(kTimeLabel, fields.time);
    texts.viewer = fields.text;
}

void Viewer::UpdateCounters() {
    m_view.SetControlText(kCountersLabel, CountersText(m_base.count, m_base.newCount));
    m_view.SetControlText(kPositionLabel, PositionText(m_base.current, m_unsaved != 0));
    m_view.SetTitle(WindowTitle(m_base.newCount));
    if (onCountersChanged)
        onCountersChanged();
    PutTexts();
}

bool Viewer::ShowNext() {
    const BusyScope scope(busy);
    // A message that waits to be written is newer than every stored one.
    if (m_unsaved != 0 || !m_base.NextRecord(shown))
        return false;
    ParseAndShow(shown);
    UpdateCounters();
    return true;
}

bool Viewer::ShowPrevious() {
    const BusyScope scope(busy);
    if (m_unsaved != 0)
        return m_base.count > 0 && ShowStoredAt(m_base.count);
    if (!m_base.PreviousRecord(shown))
        return false;
    ParseAndShow(shown);
    UpdateCounters();
    return true;
}

void Viewer::DeleteShown() {
    const BusyScope scope(busy);
    if (m_unsaved != 0) {
        // The message on display was never written: deleting it means it never will be.
        m_base.DropPending(m_unsaved);
        m_unsaved = 0;
        if (m_base.count == 0 || !ShowStoredAt(m_base.count))
            ShowNothing();
        return;
    }
    if (m_base.count == 0 || m_base.current == 0)
        return;
    if (m_base.count == 1) {
        m_base.ClearBase();
        if (m_base.count == 0)
            ShowNothing();
        return;
    }
    if (m_base.MarkRead(m_base.current) == MessageBase::kMarkedRead)
        --m_base.newCount;
    m_base.DeleteRecord(m_base.current);
    // Also after a failed delete: show what the file holds at the position.
    m_base.ReadRecord(m_base.current, shown);
    ParseAndShow(shown);
    UpdateCounters();
}

void Viewer::UpdateLengthIndicator() {
    TakeTexts();
    usedLength = UsedLength(texts.recipient, texts.composer);
    m_view.SetControlText(kLengthIndicator, LengthIndicatorText(usedLength));
}

bool Viewer::SelectedText() {
    const EditSelection source = m_view.Selection();
    if (source.control != kComposerEdit && source.control != kViewerEdit)
        return false;
    selection.clear();
    if (source.start >= source.end)
        return false;
    TakeTexts();
    selection += source.text;
    return true;
}

void Viewer::GoToUrl() {
    if (!SelectedText())
        return;
    // A network path such as \\host\share opens as a folder.
    const char* verb = !selection.empty() && selection.front() == '\\' ? "explore" : "open";
    m_shell.Open(verb, selection);
}

void Viewer::OpenSelectedFile() {
    if (!SelectedText())
        return;
    m_shell.Open("open", selection);
}

void Viewer::RunEditCommand(int command) {
    m_view.RunEditCommand(kComposerEdit, command);
}

void Viewer::CopySelection() {
    m_view.RunEditCommand(kViewerEdit, kEditCopy);
}

void Viewer::OnTreeSelection(const std::string& recipient) {
    TakeTexts();
    texts.recipient = m_codePage.UpperCase(recipient);
    PutTexts();
    UpdateLengthIndicator();
}

} // namespace kestrola::core
