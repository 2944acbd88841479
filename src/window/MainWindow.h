#pragma once

#include "messaging/MailslotChannel.h"
#include "settings/AppSettings.h"
#include "store/MessageBase.h"
#include "store/RecentRecipients.h"
#include "window/MainView.h"
#include "window/Receiver.h"
#include "window/RecipientNetwork.h"
#include "window/Sender.h"
#include "window/TrayAttention.h"
#include "window/Viewer.h"
#include "window/WindowOperations.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {
class Clock;
class CodePage;
class DesktopNotifications;
class Mailslots;
class Shell;
class Sound;
} // namespace kestrola::platform

namespace kestrola::core {

class ProfileStore;
class SystemColors;

/// The platform objects and the store the main window works with.
struct MainWindowServices {
    ProfileStore& store;
    const SystemColors& colors;
    const platform::CodePage& codePage;
    const platform::Clock& clock;
    platform::Mailslots& mailslots;
    platform::Shell& shell;
    platform::Sound& sound;
    RecipientNetwork& network;
    /// Makes the message base for the file names of the settings; empty for the plain one.
    std::function<std::unique_ptr<MessageBase>(const std::string& baseFileName,
                                               const std::string& historyFileName,
                                               const platform::Clock& clock)>
        makeBase;
    /// The desktop's notifications; nullptr for none.
    platform::DesktopNotifications* notifications = nullptr;
};

/// The poll timer's period.
inline constexpr int kPollMilliseconds = 500;
/// How many ticks a window started minimised ("RunMinimized") waits on the task bar for a
/// notification area to appear (started with the session, the program may come before the
/// panel that holds it): 30 seconds.
inline constexpr int kTrayWaitTicks = 60;

/// The main window without its widgets: it owns the base, the channel, the settings and the
/// pipelines, runs the start-up and shut-down steps in order, and answers every command and
/// event the window layer passes on. The window layer only shows what it is told.
class MainWindow : public WindowOperations {
public:
    /// Reads every setting and, on a first run, asks the update question and shows the About
    /// box (through `view`, before the window exists).
    MainWindow(const MainWindowServices& services, MainView& view);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    /// The initialisation steps after the window has been created (collapsed). False when it
    /// asked for the end of the run (no provider, no mailslot, unreadable first record); the
    /// later steps have run all the same.
    bool Initialise();
    /// The destruction steps: recent recipients, service control, tray icon, timer, settings.
    /// Runs once; later calls do nothing.
    void Destroy();
    /// Writes the settings and the recent recipients to the store as Destroy does, and the run
    /// goes on (the desktop session is being saved; a logout may still be cancelled).
    void SaveForSession();

    /// One tick of the poll timer. A message stored while the window was hidden, minimised or
    /// not active also gets a desktop notification ("DesktopNotification" on).
    ReceiveOutcome OnPollTimer();
    /// A click on the desktop notification of the message at `position`: that message is
    /// shown (the one left is marked read, as by Next) and the window comes up.
    void ShowNotifiedMessage(std::uint32_t position);
    /// A button, menu or edit command.
    void OnCommand(int id);
    /// The close box, Alt+F4 or the cancel command: with "NoClose" on it minimises into the
    /// tray; where no tray icon offers Exit, and with "NoClose" 0, it runs Exit.
    void OnClose();
    /// The Esc key, which is always consumed.
    void OnEscapeKey();
    /// After the platform's minimise command.
    void OnSystemMinimize();
    /// The tray icon's mouse event.
    void OnTrayEvent(TrayEvent event);
    /// The window expanded or collapsed.
    void OnExpansionChanged(bool nowExpanded) { m_expanded = nowExpanded; }
    /// The composer's text or the recipient box changed.
    void OnTextsEdited();
    /// A tree item's selection made `recipient` the recipient (the tree applies its own rule:
    /// nothing while a scan runs, not the shell tree's first root item, 31 characters).
    void OnTreeSelection(const std::string& recipient);

    /// "New": expand, scan if needed, empty composer and recipient, focus the composer.
    void NewMessage();
    /// Empties the composer.
    void ClearComposer();
    /// Asks (when "ConfirmationOnExit" is on) and ends the run.
    void ExitApplication();
    /// Ends the run as the Exit command does, without its question (a quit request of the
    /// system or the desktop session).
    void EndWithoutQuestion();
    /// Moves the window into the topmost band or out of it.
    void SetTopmost(bool topmost);

    // WindowOperations
    bool SetExpanded(bool expand) override;
    void ScanIfNeeded() override;
    void MinimizeWindow() override;
    void RaiseWindow() override;
    void PlaySoundFile(const std::string& name) override;

    const AppSettings& Settings() const { return m_settings; }
    MessageBase& Base() { return *m_base; }
    Viewer& GetViewer() { return m_viewer; }
    TrayAttention& Tray() { return m_tray; }
    Sender& GetSender() { return m_sender; }
    Receiver& GetReceiver() { return m_receiver; }
    MailslotChannel& Channel() { return m_channel; }
    const RecentRecipients& Recents() const { return m_recents; }
    bool EndRequested() const { return m_endRequested; }
    bool Destroyed() const { return m_destroyed; }
    bool PollTimerRunning() const { return m_pollTimer; }
    bool Expanded() const { return m_expanded; }

private:
    void RequestEnd();
    /// At the end: stores the messages still waiting for the base, or shows them.
    void ReportUnstored();
    /// Writes "LastSended", but only once Initialise has read it: a run that ends before (a
    /// quit during the first run's question) must not replace the stored list with nothing.
    void SaveRecents();
    /// The desktop notification of the message just stored: its sender and first line.
    void NotifyDesktop();

    MainWindowServices m_services;
    MainView& m_view;
    AppSettings m_settings;
    std::unique_ptr<MessageBase> m_base;
    MailslotChannel m_channel;
    std::vector<std::string> m_ignoreAllowWords;
    std::vector<std::string> m_ignoreAllowTwits;
    std::vector<std::string> m_personalizedSounds;
    RecentRecipients m_recents;
    Viewer m_viewer;
    TrayAttention m_tray;
    Sender m_sender;
    Receiver m_receiver;
    bool m_pollTimer = false;
    bool m_firstTickDone = false;
    int m_trayWaitTicks = 0; ///< ticks left to move a window started minimised into the tray
    bool m_expanded = false;
    bool m_recentsLoaded = false;
    bool m_endRequested = false;
    bool m_destroyed = false;
    /// Held by the window alone: a notification clicked after its end finds it gone.
    std::shared_ptr<MainWindow*> m_self = std::make_shared<MainWindow*>(this);
};

/// The look of the window's styled buttons (and of the notices' OK buttons) by `settings`.
ButtonLook MainButtonLook(const AppSettings& settings);

/// The tool tip of a main-window control; empty for none.
std::string_view MainToolTip(int control);

} // namespace kestrola::core
