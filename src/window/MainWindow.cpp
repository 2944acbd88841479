#include "window/MainWindow.h"

#include "base/Reporting.h"
#include "base/StartupTrace.h"
#include "base/StatusTexts.h"
#include "messaging/DatagramCodec.h"
#include "platform/DesktopNotifications.h"
#include "platform/Sound.h"
#include "settings/FirstRun.h"
#include "settings/ProfileStore.h"
#include "settings/StringListSection.h"
#include "store/HistoryLog.h"
#include "window/AboutInfo.h"
#include "window/MenuResources.h"

#include <chrono>
#include <cstdio>

namespace kestrola::core {

namespace {

// How long the last attempt at the end waits for the base.
constexpr std::chrono::seconds kLastStoreChance{2};

AppSettings LoadedSettings(const MainWindowServices& services, MainView& view) {
    AppSettings settings(services.colors);
    FirstRunCallbacks firstRun;
    firstRun.askYesNo = [&view](std::string_view question) { return view.AskYesNo(question); };
    firstRun.showAboutBox = [&view] { view.ShowAboutBox(); };
    settings.LoadSettings(services.store, services.colors, firstRun, services.shell);
    return settings;
}

// Every button but the upgrade button takes the look of the settings.
constexpr int kStyledButtons[] = {kNewButton,    kReplyButton,  kPreviousButton, kNextButton,
                                  kDeleteButton, kExpandButton, kSendButton,     kAboutButton,
                                  kScanButton,   kClearButton};

} // namespace

MainWindow::MainWindow(const MainWindowServices& services, MainView& view)
    : m_services(services), m_view(view), m_settings(LoadedSettings(services, view)),
      m_base(services.makeBase
                 ? services.makeBase(m_settings.baseFileName, m_settings.historyFileName,
                                     services.clock)
                 : std::make_unique<MessageBase>(m_settings.baseFileName,
                                                 m_settings.historyFileName, services.clock)),
      m_channel(services.mailslots), m_recents(services.codePage),
      m_viewer(*m_base, services.codePage, view, services.shell), m_tray(view, *m_base, m_settings),
      m_sender(m_channel, *m_base, m_viewer, view, m_settings, services.codePage, m_recents,
               services.network, *this),
      m_receiver(m_channel, *m_base, m_viewer, m_settings, services.codePage, services.network,
                 *this) {
    m_viewer.onCountersChanged = [this] {
        m_tray.RefreshAttention();
        m_tray.ShowNewState();
    };
}

MainWindow::~MainWindow() = default;

void MainWindow::RequestEnd() {
    m_endRequested = true;
    m_viewer.TakeTexts();
    m_view.EndDialog();
}

bool MainWindow::Initialise() {
    m_services.network.TakeSettings(m_settings.fastScan, m_settings.messengerWarnings);
    m_services.network.StopMessengerService(0);
    if (!m_services.network.LookUpProvider())
        RequestEnd();
    m_services.network.InitTree();
    TraceStartup("  network provider and tree");
    if (m_settings.minimizeToTray == 1)
        m_tray.NotifyTray(TrayOperation::Add, AttentionIcon::Normal, std::string(kApplicationName));
    m_view.EnableToolTips(m_settings.IsOn(&AppSettings::toolTips));

    const ButtonLook look = MainButtonLook(m_settings);
    for (const int button : kStyledButtons)
        m_view.StyleButton(button, look);
    for (const int edit : {kComposerEdit, kViewerEdit})
        m_view.StyleEdit(edit, m_settings.backgroundTextColor, m_settings.textColor,
                         m_settings.font);

    m_viewer.UpdateLengthIndicator();
    TraceStartup("  tray, buttons and edits styled");

    // Read and kept; nothing chooses by them.
    LoadStringList(m_services.store, m_ignoreAllowWords, kIgnoreAllowWords);
    LoadStringList(m_services.store, m_ignoreAllowTwits, kIgnoreAllowTwits);
    LoadStringList(m_services.store, m_personalizedSounds, kPersonalizedSounds);
    std::vector<std::string> lastSended;
    LoadStringList(m_services.store, lastSended, kLastSended);
    m_recents.LoadRecentRecipients(lastSended);
    m_recentsLoaded = true;
    m_view.SetRecipientList(m_recents.SaveRecentRecipients());

    TraceStartup("  lists of the store");
    if (m_channel.Open()) {
        m_view.StartPollTimer(kPollMilliseconds);
        m_pollTimer = true;
    } else {
        RequestEnd();
    }

    TraceStartup("  channel open");
    m_base->LoadIndex();
    TraceStartup("  base indexed");
    if (m_base->Count() > 0)
        m_base->SetCurrent(1);
    if (m_base->Current() > 0) {
        if (!m_viewer.ShowCurrent())
            RequestEnd();
    }

    // "HotKey" stays a setting but registers nothing here: no action is bound to Ctrl+Tab,
    // and taking it system-wide would take it from every other program.
    SetTopmost(m_settings.IsOn(&AppSettings::alwaysOnTop));
    m_viewer.UpdateCounters();
    return !m_endRequested;
}

void MainWindow::Destroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    ReportUnstored();
    SaveRecents();
    m_services.network.StopMessengerService(1);
    m_tray.NotifyTray(TrayOperation::Delete, AttentionIcon::Normal, "");
    if (m_pollTimer) {
        m_view.KillPollTimer();
        m_pollTimer = false;
    }
    m_settings.SaveSettings(m_services.store);
}

void MainWindow::ReportUnstored() {
    // Messages still waiting for the base get a last, longer chance; whatever the base cannot
    // take even now is shown in full, so that the user can keep it by hand.
    if (m_base->StorePending(kLastStoreChance) == 0)
        return;
    std::string report = std::to_string(m_base->PendingCount()) +
                         " message(s) could not be stored in " + m_base->baseFileName + ":\n";
    for (MessageRecord record : m_base->PendingRecords()) {
        DecodeDatagram(m_services.codePage, record);
        report += FormatHistoryEntry(record.from, record.to, record.dateText, record.text);
    }
    std::fputs(report.c_str(), stderr);
    ShowSystemText(report);
}

void MainWindow::SaveForSession() {
    if (m_destroyed)
        return;
    SaveRecents();
    m_settings.SaveSettings(m_services.store);
}

void MainWindow::SaveRecents() {
    if (m_recentsLoaded)
        SaveStringList(m_services.store, m_recents.SaveRecentRecipients(), kLastSended);
}

ReceiveOutcome MainWindow::OnPollTimer() {
    if (!m_firstTickDone) {
        m_firstTickDone = true;
        if (m_settings.runMinimized == 1) {
            MinimizeWindow();
            if (m_settings.minimizeToTray == 1 && !m_tray.HidesInTray())
                m_trayWaitTicks = kTrayWaitTicks;
        }
    } else if (m_trayWaitTicks > 0) {
        // Once the notification area is there, the window still minimised goes into it; a
        // window the user has brought up stays.
        --m_trayWaitTicks;
        if (m_view.State() != WindowState::Minimized)
            m_trayWaitTicks = 0;
        else if (m_tray.HidesInTray()) {
            m_tray.OnSystemMinimize();
            m_trayWaitTicks = 0;
        }
    }
    m_tray.RefreshAttention();
    // Whether the user can see the window is judged before an arrival raises it.
    const bool unseen = m_view.State() != WindowState::Normal || !m_view.Active();
    const ReceiveOutcome outcome = m_receiver.Poll();
    if (outcome.stored && unseen)
        NotifyDesktop();
    // Once per episode of a full queue: who lost how many messages.
    if (const auto drops = m_channel.TakeDropEpisode(); !drops.empty())
        m_view.ShowPassiveNotice(DropEpisodeText(drops));
    for (const std::string& notice : m_services.mailslots.TakeNotices())
        m_view.ShowPassiveNotice(notice);
    return outcome;
}

void MainWindow::NotifyDesktop() {
    if (m_services.notifications == nullptr || m_settings.desktopNotification == 0)
        return;
    MessageRecord decoded = m_receiver.received;
    DecodeDatagram(m_services.codePage, decoded);
    const std::string firstLine = decoded.text.substr(0, decoded.text.find_first_of("\r\n"));
    const std::weak_ptr<MainWindow*> window = m_self;
    const std::uint32_t position = m_base->Count();
    m_services.notifications->Show(decoded.from, firstLine, [window, position] {
        if (const auto alive = window.lock())
            (*alive)->ShowNotifiedMessage(position);
    });
}

void MainWindow::ShowNotifiedMessage(std::uint32_t position) {
    if (m_destroyed)
        return;
    // A message deleted since is not looked for: the window comes up on what it shows.
    if (position != m_base->Current() && position <= m_base->Count() && !m_viewer.Busy()) {
        const BusyScope scope = m_viewer.HoldBusy();
        // The position moves only with a record read, as the viewer's steps do.
        MessageRecord record;
        if (m_base->ReadRecord(position, record) == MessageBase::kRead) {
            if (m_base->Current() > 0)
                m_base->MarkRead(m_base->Current());
            m_viewer.ShowStored(record, position, 0);
        }
        m_viewer.UpdateCounters();
    }
    RaiseWindow();
}

void MainWindow::OnCommand(int id) {
    switch (id) {
    case kNewButton:
    case kSendNew:
        NewMessage();
        break;
    case kReplyButton:
    case kReplyTo:
        m_sender.ReplyToShown();
        break;
    case kPreviousButton:
        m_viewer.ShowPrevious();
        break;
    case kNextButton:
        m_viewer.ShowNext();
        break;
    case kDeleteButton:
        m_viewer.DeleteShown();
        break;
    case kExpandButton:
        // The window has switched already; see whether the tree wants a scan.
        ScanIfNeeded();
        break;
    case kSendButton:
        m_sender.SendComposed();
        break;
    case kAboutButton:
    case kTrayMenuAbout:
        m_view.ShowAboutBox();
        break;
    case kScanButton:
        m_services.network.StartScan();
        break;
    case kClearButton:
        ClearComposer();
        break;
    case kUpgradeButton:
        OpenUpgradePage(m_services.shell);
        break;
    case kGoToUrl:
        m_viewer.GoToUrl();
        break;
    case kOpenFile:
        m_viewer.OpenSelectedFile();
        break;
    case kCopy:
        m_viewer.CopySelection();
        break;
    case kEditCopy:
    case kEditCut:
    case kEditPaste:
    case kEditUndo:
        m_viewer.RunEditCommand(id);
        break;
    case kTrayMenuRestore:
        m_tray.RestoreWindow();
        break;
    case kTrayMenuMinimize:
        MinimizeWindow();
        break;
    case kTrayMenuSendMessage:
        m_tray.RestoreWindow();
        NewMessage();
        break;
    case kTrayMenuExit:
        ExitApplication();
        break;
    default:
        break;
    }
}

void MainWindow::OnClose() {
    // Without a tray icon, whose menu holds Exit, a close that only minimised would leave no
    // way to end the program.
    if (m_settings.noClose != 0 && m_tray.HidesInTray())
        MinimizeWindow();
    else
        ExitApplication();
}

void MainWindow::OnEscapeKey() {
    if (m_settings.minimizeOnESC == 1)
        MinimizeWindow();
}

void MainWindow::OnSystemMinimize() {
    m_tray.OnSystemMinimize();
}

void MainWindow::OnTrayEvent(TrayEvent event) {
    m_tray.OnTrayEvent(event);
}

void MainWindow::OnTextsEdited() {
    m_viewer.UpdateLengthIndicator();
}

void MainWindow::OnTreeSelection(const std::string& recipient) {
    m_viewer.OnTreeSelection(recipient);
}

void MainWindow::NewMessage() {
    SetExpanded(true);
    ScanIfNeeded();
    ClearComposer();
    m_viewer.SetRecipient({});
    m_view.SetFocus(kComposerEdit);
    m_viewer.PutTexts();
    m_viewer.UpdateLengthIndicator();
}

void MainWindow::ClearComposer() {
    m_viewer.SetComposer({});
    m_viewer.PutTexts();
    m_viewer.UpdateLengthIndicator();
}

void MainWindow::ExitApplication() {
    const std::string_view question = LoadString(kExitQuestion);
    if (m_settings.confirmationOnExit != 0 && !m_view.AskYesNo(question))
        return;
    EndWithoutQuestion();
}

void MainWindow::EndWithoutQuestion() {
    m_viewer.TakeTexts();
    m_view.EndDialog();
}

void MainWindow::SetTopmost(bool topmost) {
    m_view.SetTopmost(topmost);
}

bool MainWindow::SetExpanded(bool expand) {
    return m_view.SetExpanded(expand);
}

void MainWindow::ScanIfNeeded() {
    if (m_expanded && (m_settings.checkNetworkIfReply == 0 || m_services.network.HasScanned() == 0))
        m_services.network.StartScan();
}

void MainWindow::MinimizeWindow() {
    m_tray.MinimizeWindow();
}

void MainWindow::RaiseWindow() {
    m_tray.RaiseWindow();
}

void MainWindow::PlaySoundFile(const std::string& name) {
    m_services.sound.PlaySoundFile(name);
}

ButtonLook MainButtonLook(const AppSettings& settings) {
    ButtonLook look;
    look.flat = settings.IsOn(&AppSettings::flatButtons);
    look.colours = {settings.buttonInactiveBgColor, settings.buttonActiveBgColor,
                    settings.buttonInactiveFgColor, settings.buttonActiveFgColor,
                    settings.buttonFocusColor};
    look.showText = true;
    return look;
}

std::string_view MainToolTip(int control) {
    switch (control) {
    case kNewButton:
        return "New message";
    case kReplyButton:
        return "Reply to the message shown";
    case kPreviousButton:
        return "Previous (older) message";
    case kNextButton:
        return "Next (newer) message";
    case kDeleteButton:
        return "Delete the message shown";
    case kExpandButton:
        return "Show or hide the composer and the network";
    case kSendButton:
        return "Send the message";
    case kAboutButton:
        return "About Kestrola NET";
    case kScanButton:
        return "Scan the network";
    case kClearButton:
        return "Clear the message text";
    case kUpgradeButton:
        return "Upgrade";
    case kCountersLabel:
        return "Messages: all/new";
    case kPositionLabel:
        return "Number of the message shown";
    case kLengthIndicator:
        return "Characters used of 100 (recipient and text)";
    default:
        return {};
    }
}

} // namespace kestrola::core
