#pragma once

#include "store/MessageBase.h"
#include "store/MessageRecord.h"
#include "window/MainView.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrola::platform {
class CodePage;
class Shell;
} // namespace kestrola::platform

namespace kestrola::core {

/// Raises the window's busy flag for a scope and puts back what it was, so a step that runs
/// inside another busy command (showing a record while sending) does not lower its flag.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~BusyScope() { m_flag = m_was; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

/// The viewer half of the main window: the record on display with its labels, the counters
/// and title, stepping through the base and deleting, the composer's length indicator, the
/// "click" menu's shell commands and the tree's selection. It also keeps the window's three
/// texts and its busy flag, which sending and receiving share.
class Viewer {
public:
    Viewer(MessageBase& base, const platform::CodePage& codePage, MainView& view,
           platform::Shell& shell);

    /// Run by UpdateCounters after the labels: the attention icons and the tray tip.
    std::function<void()> onCountersChanged;

    /// The record on display (the current record); Reply answers its sender.
    const MessageRecord& Shown() const { return m_shown; }
    /// The texts exchanged with the composer, the viewer and the recipient box.
    const WindowTexts& Texts() const { return m_texts; }
    void SetRecipient(std::string text) { m_texts.recipient = std::move(text); }
    void SetComposer(std::string text) { m_texts.composer = std::move(text); }
    /// Raised while a record is shown, a message is sent, or the viewer moves or deletes; a
    /// poll tick that finds it raised takes nothing in.
    bool Busy() const { return m_busy; }
    [[nodiscard]] BusyScope HoldBusy() { return BusyScope(m_busy); }
    /// The characters SelectedText took last.
    const std::string& Selection() const { return m_selection; }

    /// Reads the current record of the base and puts it on display; false when it cannot be
    /// read.
    bool ShowCurrent();
    /// Decodes `record` and puts it on display: read mark, From/To, time and the viewer text
    /// (which reaches its control with the next UpdateCounters).
    void ParseAndShow(MessageRecord& record);
    /// Puts a message that was just stored (or that waits to be, with `index` 0 and its
    /// `ticket`) on display; one that waits has no position until it is written.
    void ShowStored(const MessageRecord& record, std::uint32_t index, std::uint64_t ticket);
    /// True when no message is on display.
    bool NothingShown() const { return m_base.Current() == 0 && m_unsaved == 0; }
    /// True when the message on display still waits to be written to the base.
    bool ShowsUnsaved() const { return m_unsaved != 0; }
    /// Counters, position, title, then the attention icons, then the texts into the controls.
    void UpdateCounters();
    /// Shows the newer neighbour (marking the one left read); false when there is none.
    bool ShowNext();
    /// Shows the older neighbour (marking the one left read); false when there is none.
    bool ShowPrevious();
    /// Deletes the shown message at once and shows what takes its place.
    void DeleteShown();
    /// Recomputes the used length and writes "used/100" into the indicator.
    void UpdateLengthIndicator();
    /// Takes the focused message edit's selection into `selection`; false when the focus is
    /// elsewhere or nothing is selected.
    bool SelectedText();
    /// Opens the selection through the shell: "explore" when it starts with a backslash.
    void GoToUrl();
    /// Opens the selection through the shell with "open".
    void OpenSelectedFile();
    /// Carries out a standard edit command on the composer, whatever has the focus.
    void RunEditCommand(int command);
    /// Copies the viewer's selection (the "click" menu's "&Copy").
    void CopySelection();
    /// A selected tree item gave `recipient`: it goes into the recipient box (in capitals).
    void OnTreeSelection(const std::string& recipient);

    /// Controls into texts, and texts into controls.
    void TakeTexts() { m_view.TakeTexts(m_texts); }
    void PutTexts() { m_view.PutTexts(m_texts); }

private:
    /// Shows the record at `index` (read from the base) in place of an unsaved message.
    bool ShowStoredAt(std::uint32_t index);
    /// Empties the display (the base holds nothing to show).
    void ShowNothing();

    MessageBase& m_base;
    MessageRecord m_shown;
    WindowTexts m_texts;
    bool m_busy = false;
    std::string m_selection;
    /// The ticket of the message on display while it waits to be written, else 0.
    std::uint64_t m_unsaved = 0;
    const platform::CodePage& m_codePage;
    MainView& m_view;
    platform::Shell& m_shell;
};

/// A text with every line break as CR LF, as the program keeps texts (an edit control of the
/// window toolkit ends lines with LF alone).
std::string WithCrLf(std::string_view text);
/// A text with its CR LF pairs (and lone CRs) as LF, for an edit control of the toolkit.
std::string WithLf(std::string_view text);

} // namespace kestrola::core
