#include "messaging/ui/SystemMessage.h"

#include "base/StatusTexts.h"
#include "store/ui/NoticeDialog.h"

#include <optional>

namespace kestrola::ui {

namespace {

std::optional<core::ButtonColorBlock> g_noticeColours;

} // namespace

void SetNoticeColours(const core::ButtonColorBlock& colours) {
    g_noticeColours = colours;
}

void ClearNoticeColours() {
    g_noticeColours.reset();
}

const core::ButtonColorBlock* NoticeColours() {
    return g_noticeColours ? &*g_noticeColours : nullptr;
}

int RunNotice(platform::Shell& shell, const QString& message, int seconds) {
    NoticeDialog notice(shell);
    notice.SetMessage(message);
    notice.SetColours(NoticeColours());
    notice.SetSeconds(seconds);
    return notice.exec();
}

SystemMessageSink::SystemMessageSink(platform::Shell& shell)
    : m_shell(shell), m_previous(core::InstallReportSink(this)) {}

SystemMessageSink::~SystemMessageSink() {
    core::InstallReportSink(m_previous);
}

void SystemMessageSink::ShowMessage(int id) {
    const std::string_view text = core::LoadString(id);
    RunNotice(m_shell, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), 0);
}

void SystemMessageSink::ShowText(const std::string& text) {
    RunNotice(m_shell, QString::fromStdString(text), 0);
}

} // namespace kestrola::ui
