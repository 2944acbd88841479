#include "window/TrayAttention.h"

#include "settings/AppSettings.h"
#include "store/MessageBase.h"
#include "window/ViewerTexts.h"

namespace kestrola::core {

TrayAttention::TrayAttention(MainView& view, const MessageBase& base, const AppSettings& settings)
    : m_view(view), m_base(base), m_settings(settings) {}

void TrayAttention::NotifyTray(TrayOperation operation, AttentionIcon icon,
                               const std::string& tip) {
    if (operation == TrayOperation::Add) {
        if (m_present)
            return;
        m_present = true;
    } else if (operation == TrayOperation::Delete) {
        if (!m_present)
            return;
        m_present = false;
    }
    m_view.NotifyTray(operation, icon, tip);
}

void TrayAttention::UpdateTrayTip(AttentionIcon icon) {
    NotifyTray(TrayOperation::Modify, icon, TrayTip(m_base.Count(), m_base.NewCount()));
}

void TrayAttention::ShowNewState() {
    if (m_settings.minimizeToTray == 1)
        UpdateTrayTip(Attention::NewState(m_base.NewCount()));
}

void TrayAttention::RefreshAttention() {
    const AttentionIcon icon =
        m_attention.RefreshAttention(m_base.NewCount(), m_settings.blinkTrayIcon);
    if (m_settings.minimizeToTray == 1)
        UpdateTrayTip(icon);
    m_view.SetWindowIcon(icon);
    // Desktops without a notification area still show that messages wait.
    const bool urgent = m_base.NewCount() > 0;
    if (urgent != m_urgent) {
        m_urgent = urgent;
        m_view.SetUrgent(urgent);
    }
}

void TrayAttention::OnTrayEvent(TrayEvent event) {
    switch (event) {
    case TrayEvent::LeftButtonDown:
        if (HiddenOrMinimized())
            RestoreWindow();
        else
            MinimizeWindow();
        break;
    case TrayEvent::RightButtonDown:
        m_view.ShowTrayMenu();
        break;
    case TrayEvent::Other:
        break;
    }
}

bool TrayAttention::HidesInTray() const {
    return m_settings.minimizeToTray == 1 && m_view.TrayAvailable();
}

bool TrayAttention::HiddenOrMinimized() const {
    return m_view.State() != WindowState::Normal;
}

void TrayAttention::MinimizeWindow() {
    m_view.ShowWindow(ShowCommand::Minimize);
    // Without a notification area a hidden window could never come back: it stays minimised
    // on the task bar instead.
    if (HidesInTray())
        m_view.ShowWindow(ShowCommand::Hide);
}

void TrayAttention::RestoreWindow() {
    if (!HiddenOrMinimized())
        return;
    m_view.ShowWindow(ShowCommand::ShowMinimized);
    m_view.ShowWindow(ShowCommand::ShowNormal);
}

void TrayAttention::RaiseWindow() {
    if (HiddenOrMinimized()) {
        RestoreWindow();
        return;
    }
    m_view.ShowWindow(ShowCommand::Restore);
    m_view.SetForeground();
}

void TrayAttention::OnSystemMinimize() {
    if (HidesInTray())
        m_view.ShowWindow(ShowCommand::Hide);
}

} // namespace kestrola::core
