#pragma once

#include "window/Attention.h"
#include "window/MainView.h"

#include <cstdint>
#include <string>

namespace kestrola::core {

struct AppSettings;
class MessageBase;

/// The tray icon and the window's attention signals: the icon in the notification area with
/// its tip, the blinking while new messages wait, the urgency hint, and minimising, restoring
/// and raising the window.
class TrayAttention {
public:
    /// The tray icon's identifier and its callback message.
    static constexpr int kIconId = 100;
    static constexpr int kCallbackMessage = 0x464;

    /// Reads "MinimizeToTray" and "BlinkTrayIcon" from `settings` when they are used.
    TrayAttention(MainView& view, const MessageBase& base, const AppSettings& settings);

    /// Adds (once), changes or removes (once) the tray icon.
    void NotifyTray(TrayOperation operation, AttentionIcon icon, const std::string& tip);
    /// Changes the tray icon to `icon` with the counts in its tip.
    void UpdateTrayTip(AttentionIcon icon);
    /// The tray icon by the counts alone (no blinking), when there is one.
    void ShowNewState();
    /// The icon of this tick for the tray and the window, and the urgency hint.
    void RefreshAttention();
    /// Left click: restore a hidden or minimised window, else minimise it; right click: the
    /// "tray" menu.
    void OnTrayEvent(TrayEvent event);

    /// Minimises the window, and hides it when it lives in the tray.
    void MinimizeWindow();
    /// Brings a hidden or minimised window back.
    void RestoreWindow();
    /// Restores the window, or brings it to the front.
    void RaiseWindow();
    /// After the platform's own minimise command: hides the window when it lives in the tray.
    void OnSystemMinimize();

    /// True between a successful add and the delete.
    bool TrayPresent() const { return m_present; }
    /// Whether minimising hides the window: "MinimizeToTray" is 1 and the desktop has a
    /// notification area to bring it back from.
    bool HidesInTray() const;

private:
    bool HiddenOrMinimized() const;

    MainView& m_view;
    const MessageBase& m_base;
    const AppSettings& m_settings;
    bool m_present = false;
    bool m_urgent = false;
    Attention m_attention;
};

} // namespace kestrola::core
