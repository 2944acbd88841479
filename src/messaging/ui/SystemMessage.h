#pragma once

#include "base/Reporting.h"
#include "settings/AppSettings.h"

#include <QString>
#include <string>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::ui {

/// Sets the colours of every notice's OK button (the main window's button colours).
void SetNoticeColours(const core::ButtonColorBlock& colours);
/// Lets every notice's OK button keep its own colours again.
void ClearNoticeColours();
/// The notice colours, or nullptr while none are set (the button keeps its own).
const core::ButtonColorBlock* NoticeColours();

/// Shows a "System message" notice with `message`, counting down `seconds` (0: no countdown),
/// and returns when it has closed: QDialog::Accepted for OK and the countdown, Rejected for Esc.
int RunNotice(platform::Shell& shell, const QString& message, int seconds);

/// Shows every reported failure in a notice; installed as the core's report sink while it
/// lives.
class SystemMessageSink : public core::ReportSink {
public:
    explicit SystemMessageSink(platform::Shell& shell);
    ~SystemMessageSink() override;
    SystemMessageSink(const SystemMessageSink&) = delete;
    SystemMessageSink& operator=(const SystemMessageSink&) = delete;

    /// The notice with string-table text `id`, no countdown.
    void ShowMessage(int id) override;
    /// The notice with `text`, no countdown.
    void ShowText(const std::string& text) override;

private:
    platform::Shell& m_shell;
    core::ReportSink* m_previous;
};

} // namespace kestrola::ui
