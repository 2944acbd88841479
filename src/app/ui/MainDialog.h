#pragma once

#include "app/ui/ExpandingDialog.h"
#include "window/MainView.h"
#include "window/MainWindow.h"

#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;

class QTreeWidget;
class QTreeWidgetItem;
class QCheckBox;

namespace kestrola::platform {
class Shell;
}

namespace kestrola::core {
class NetworkScanner;
}

namespace kestrola::ui {

class CEditEx;
class RecipientTree;
class FlatButton;

/// The program's main window: the widgets of dialog 102 and the tray icon. Every rule lives in
/// the Qt-free core::MainWindow it owns; this class passes events on and shows what it is told.
class MainDialog : public ExpandingDialog, public core::MainView {
    Q_OBJECT

public:
    /// Builds the window's controls and the core, which reads the settings (and, on a first
    /// run, asks the update question and shows the About box).
    /// With `scanner`, the recipient tree is the scanner's panel; without, the tree stays as
    /// it is filled by hand.
    explicit MainDialog(const core::MainWindowServices& services,
                        core::NetworkScanner* scanner = nullptr);
    ~MainDialog() override;

    core::MainWindow& Core() { return *m_core; }
    /// The window's destruction steps (settings saved); runs once, also from the destructor.
    void Destroy();
    /// Stops asking the network scanner about tree selections (before the scanner goes).
    void DetachNetwork();

    FlatButton* Button(int id) const;
    CEditEx* ViewerEdit() const { return m_viewer; }
    CEditEx* ComposerEdit() const { return m_composer; }
    QComboBox* RecipientBox() const { return m_recipient; }
    QLabel* Label(int id) const;
    QTreeWidget* Tree() const;
    RecipientTree* Network() const { return m_network; }
    QSystemTrayIcon* TrayIcon() const { return m_tray; }
    /// The icon resource the tray icon shows (0 without a tray icon) and the window's icon.
    int TrayIconId() const { return m_trayIconId; }
    int WindowIconId() const { return m_windowIconId; }
    bool Urgent() const { return m_urgent; }
    bool Topmost() const;
    /// True once the run has been asked to end.
    bool EndRequested() const { return m_ending; }

    /// Tests stand in for the desktop's notification area with this (nothing: ask Qt).
    std::optional<bool> trayAvailableOverride;

    // core::MainView
    bool AskYesNo(std::string_view question) override;
    void ShowAboutBox() override;
    void RunNotice(int textId, int seconds) override;
    void TakeTexts(core::WindowTexts& texts) override;
    void PutTexts(const core::WindowTexts& texts) override;
    void SetControlText(int control, const std::string& text) override;
    void SetTitle(const std::string& title) override;
    void SetRecipientList(const std::vector<std::string>& entries) override;
    void SetFocus(int control) override;
    void MoveCaretToEnd(int control) override;
    core::EditSelection Selection() const override;
    void RunEditCommand(int control, int command) override;
    void EnableToolTips(bool enable) override;
    void StyleButton(int control, const core::ButtonLook& look) override;
    void StyleEdit(int control, core::ColorRef background, core::ColorRef text,
                   const core::LogFont& font) override;
    core::WindowState State() const override;
    bool Active() const override;
    void ShowWindow(core::ShowCommand command) override;
    void SetForeground() override;
    void SetTopmost(bool topmost) override;
    bool SetExpanded(bool expand) override;
    void SetWindowIcon(core::AttentionIcon icon) override;
    void SetUrgent(bool urgent) override;
    void StartPollTimer(int milliseconds) override;
    void KillPollTimer() override;
    void EndDialog() override;
    bool TrayAvailable() const override;
    void NotifyTray(core::TrayOperation operation, core::AttentionIcon icon,
                    const std::string& tip) override;
    void ShowTrayMenu() override;
    void ShowPassiveNotice(const std::string& text) override;

    /// Runs the "tray" menu's command `id` as if it had been chosen.
    void RunCommand(int id) { m_core->OnCommand(id); }

signals:
    /// The run has ended (the window is hidden and its work is done).
    void RunFinished();

protected:
    void OnInitDialog() override;
    void OnCommand(int id) override;
    void ExpansionChanged(bool nowExpanded) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    const QIcon& Icon(int id);
    void OnEdited();

    platform::Shell& m_shell;
    std::unique_ptr<core::MainWindow> m_core;
    std::map<int, FlatButton*> m_buttons;
    std::map<int, QLabel*> m_labels;
    std::map<int, QIcon> m_icons;
    CEditEx* m_viewer = nullptr;
    CEditEx* m_composer = nullptr;
    QComboBox* m_recipient = nullptr;
    RecipientTree* m_network = nullptr;
    QCheckBox* m_sendToAll = nullptr;
    QPointer<QSystemTrayIcon> m_tray;
    int m_trayIconId = 0;
    int m_windowIconId = 0;
    int m_pollTimerId = 0;
    int m_showCommands = 0; // inside ShowWindow: state changes are our own
    bool m_writingTexts = false;
    bool m_urgent = false;
    bool m_ending = false;
    bool m_finished = false;
};

} // namespace kestrola::ui
