#include "window/Viewer.h"

#include "messaging/ComposeRules.h"
#include "messaging/DatagramCodec.h"
#include "platform/CodePage.h"
#include "platform/Shell.h"
#include "window/ViewerTexts.h"

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

Viewer::Viewer(MessageBase& base, const platform::CodePage& codePage, MainView& view,
               platform::Shell& shell)
    : m_base(base), m_codePage(codePage), m_view(view), m_shell(shell) {
    // The message on display gets its position once the base could take it.
    m_base.onStored = [this](std::uint64_t ticket, std::uint32_t index) {
        if (ticket == m_unsaved) {
            m_unsaved = 0;
            m_base.SetCurrent(index);
        }
    };
}

void Viewer::ShowStored(const MessageRecord& record, std::uint32_t index, std::uint64_t ticket) {
    m_base.SetCurrent(index);
    m_unsaved = index == 0 ? ticket : 0;
    m_shown = record;
    ParseAndShow(m_shown);
}

void Viewer::ShowNothing() {
    m_base.SetCurrent(0);
    // A composer text and a recipient being typed survive the emptied viewer.
    TakeTexts();
    m_view.SetControlText(kFromToLabel, "");
    m_view.SetControlText(kTimeLabel, "");
    m_texts.viewer.clear();
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

bool Viewer::ShowCurrent() {
    if (m_base.ReadRecord(m_base.Current(), m_shown) != MessageBase::kRead)
        return false;
    ParseAndShow(m_shown);
    return true;
}

void Viewer::ParseAndShow(MessageRecord& record) {
    const BusyScope scope(m_busy);
    DecodeDatagram(m_codePage, record);
    const ShownFields fields = ShownFieldsOf(record);
    m_view.SetControlText(kReadMarkLabel, fields.readMark);
    m_view.SetControlText(kFromToLabel, fields.fromTo);
    m_view.SetControlText(kTimeLabel, fields.time);
    m_texts.viewer = fields.text;
}

void Viewer::UpdateCounters() {
    m_view.SetControlText(kCountersLabel, CountersText(m_base.Count(), m_base.NewCount()));
    m_view.SetControlText(kPositionLabel, PositionText(m_base.Current(), m_unsaved != 0));
    m_view.SetTitle(WindowTitle(m_base.NewCount()));
    if (onCountersChanged)
        onCountersChanged();
    PutTexts();
}

bool Viewer::ShowNext() {
    const BusyScope scope(m_busy);
    // A message that waits to be written is newer than every stored one.
    if (m_unsaved != 0 || !m_base.NextRecord(m_shown))
        return false;
    ParseAndShow(m_shown);
    UpdateCounters();
    return true;
}

bool Viewer::ShowPrevious() {
    const BusyScope scope(m_busy);
    if (m_unsaved != 0)
        return m_base.Count() > 0 && ShowStoredAt(m_base.Count());
    if (!m_base.PreviousRecord(m_shown))
        return false;
    ParseAndShow(m_shown);
    UpdateCounters();
    return true;
}

void Viewer::DeleteShown() {
    const BusyScope scope(m_busy);
    if (m_unsaved != 0) {
        // The message on display was never written: deleting it means it never will be.
        m_base.DropPending(m_unsaved);
        m_unsaved = 0;
        if (m_base.Count() == 0 || !ShowStoredAt(m_base.Count()))
            ShowNothing();
        return;
    }
    if (m_base.Count() == 0 || m_base.Current() == 0)
        return;
    if (m_base.Count() == 1) {
        m_base.ClearBase();
        if (m_base.Count() == 0)
            ShowNothing();
        return;
    }
    m_base.MarkRead(m_base.Current());
    m_base.DeleteRecord(m_base.Current());
    // Also after a failed delete: show what the file holds at the position.
    m_base.ReadRecord(m_base.Current(), m_shown);
    ParseAndShow(m_shown);
    UpdateCounters();
}

void Viewer::UpdateLengthIndicator() {
    TakeTexts();
    m_view.SetControlText(kLengthIndicator,
                          LengthIndicatorText(UsedLength(m_texts.recipient, m_texts.composer)));
}

bool Viewer::SelectedText() {
    const EditSelection source = m_view.Selection();
    if (source.control != kComposerEdit && source.control != kViewerEdit)
        return false;
    m_selection.clear();
    if (source.start >= source.end)
        return false;
    TakeTexts();
    m_selection += source.text;
    return true;
}

void Viewer::GoToUrl() {
    if (!SelectedText())
        return;
    // A network path such as \\host\share opens as a folder.
    const char* verb = !m_selection.empty() && m_selection.front() == '\\' ? "explore" : "open";
    m_shell.Open(verb, m_selection);
}

void Viewer::OpenSelectedFile() {
    if (!SelectedText())
        return;
    m_shell.Open("open", m_selection);
}

void Viewer::RunEditCommand(int command) {
    m_view.RunEditCommand(kComposerEdit, command);
}

void Viewer::CopySelection() {
    m_view.RunEditCommand(kViewerEdit, kEditCopy);
}

void Viewer::OnTreeSelection(const std::string& recipient) {
    TakeTexts();
    m_texts.recipient = m_codePage.UpperCase(recipient);
    PutTexts();
    UpdateLengthIndicator();
}

} // namespace kestrola::core
