#pragma once

#include "settings/AppSettings.h"
#include "settings/SystemColors.h"
#include "window/Attention.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

struct LogFont;

/// The main window's dialog resource.
inline constexpr int kMainDialog = 102;

/// Controls of the main window, numbered as its template numbers them.
enum MainControl : int {
    kNewButton = 1000,
    kExpandButton = 1005,
    kViewerEdit = 1008,
    kComposerEdit = 1009,
    kReplyButton = 1010,
    kSendButton = 1013,
    kPreviousButton = 1016,
    kNextButton = 1017,
    kDeleteButton = 1019,
    kUpgradeButton = 1020,
    kClearButton = 1023,
    kMarkerFrame = 1025,
    kRecipientBox = 1112,
    kTreeControl = 1119,
    kReadMarkLabel = 1122,
    kCountersLabel = 1123,
    kPositionLabel = 1124,
    kFromToLabel = 1125,
    kTimeLabel = 1126,
    kAboutButton = 1137,
    kScanButton = 1145,
    // 1218 to 1220: the network panel's labels (NetworkPanel.h).
    kSendToAllCheck = 1259,
    kLengthIndicator = 1304,
};

/// The standard edit commands, carried out on the composer.
enum EditCommand : int {
    kEditCopy = 57634,
    kEditCut = 57635,
    kEditPaste = 57637,
    kEditUndo = 57643,
};

/// The three texts the window exchanges with its controls.
struct WindowTexts {
    std::string composer;  ///< control 1009, at most 16384 characters
    std::string viewer;    ///< control 1008, at most 16384 characters
    std::string recipient; ///< control 1112, at most 32 characters
};

/// Where the window stands.
enum class WindowState { Normal, Minimized, Hidden };

/// Window show commands, named as the desktop platform names them.
enum class ShowCommand {
    Minimize,      ///< minimise (SW_MINIMIZE)
    Hide,          ///< hide; only a tray icon is left (SW_HIDE)
    ShowMinimized, ///< show as a minimised window (SW_SHOWMINIMIZED)
    ShowNormal,    ///< show in its normal size and place (SW_SHOWNORMAL)
    Restore,       ///< bring back from minimised and activate (SW_RESTORE)
};

/// Requests to the notification area.
enum class TrayOperation { Add, Modify, Delete };

/// What the tray icon reports.
enum class TrayEvent { LeftButtonDown, RightButtonDown, Other };

/// The selection of the focused message edit: the control (kComposerEdit, kViewerEdit, or 0
/// when the focus is elsewhere), the character positions (`end` excluded) and the selected
/// characters (line breaks as CR LF).
struct EditSelection {
    int control = 0;
    int start = 0;
    int end = 0;
    std::string text;
};

/// How one flat button is drawn.
struct ButtonLook {
    bool flat = true;
    ButtonColorBlock colours;
    bool showText = true;
};

/// The main window as its rules see it: the window layer implements this for the real dialog,
/// tests for a recording one. Nothing here decides anything; it only shows and reports.
class MainView {
public:
    virtual ~MainView() = default;

    /// Asks `question` with Yes and No under the caption "Kestrola NET"; true for Yes.
    virtual bool AskYesNo(std::string_view question) = 0;
    /// Shows the About box modally.
    virtual void ShowAboutBox() = 0;
    /// Shows string `textId` in the notice with a countdown of `seconds` and the buttons'
    /// colours; returns when it has closed.
    virtual void RunNotice(int textId, int seconds) = 0;

    /// Copies the controls' contents into `texts` (the three texts only).
    virtual void TakeTexts(WindowTexts& texts) = 0;
    /// Writes `texts` into their controls.
    virtual void PutTexts(const WindowTexts& texts) = 0;
    /// Sets the text of a label (read mark, counters, position, From/To, time, length).
    virtual void SetControlText(int control, const std::string& text) = 0;
    /// Sets the window title.
    virtual void SetTitle(const std::string& title) = 0;
    /// Replaces the recipient box's list with `entries`, in order.
    virtual void SetRecipientList(const std::vector<std::string>& entries) = 0;
    /// Gives `control` the keyboard focus.
    virtual void SetFocus(int control) = 0;
    /// Puts the caret of edit `control` at the end of its text, scrolled into view.
    virtual void MoveCaretToEnd(int control) = 0;
    /// The focused message edit and its selection.
    virtual EditSelection Selection() const = 0;
    /// Carries out a standard edit command (kEditCopy, ...) on edit `control`.
    virtual void RunEditCommand(int control, int command) = 0;

    /// Switches the tool tips of the window's controls on or off.
    virtual void EnableToolTips(bool enable) = 0;
    /// Draws button `control` with `look`.
    virtual void StyleButton(int control, const ButtonLook& look) = 0;
    /// Gives edit `control` its colours and font.
    virtual void StyleEdit(int control, ColorRef background, ColorRef text,
                           const LogFont& font) = 0;

    /// Where the window stands now.
    virtual WindowState State() const = 0;
    /// True when the window is the desktop's active window (it takes the keyboard).
    virtual bool Active() const = 0;
    /// Changes the window's state.
    virtual void ShowWindow(ShowCommand command) = 0;
    /// Makes the window the foreground window.
    virtual void SetForeground() = 0;
    /// Moves the window into the topmost band or out of it.
    virtual void SetTopmost(bool topmost) = 0;
    /// Expands (true) or collapses the window; true when it is now in that state.
    virtual bool SetExpanded(bool expand) = 0;
    /// Sets the window's own icon.
    virtual void SetWindowIcon(AttentionIcon icon) = 0;
    /// Asks the desktop to draw attention to the window (or stops asking).
    virtual void SetUrgent(bool urgent) = 0;
    /// Starts the poll timer with `milliseconds` between ticks.
    virtual void StartPollTimer(int milliseconds) = 0;
    /// Stops the poll timer.
    virtual void KillPollTimer() = 0;
    /// Ends the window's run; the program ends when the window's work is done.
    virtual void EndDialog() = 0;

    /// True when the desktop has a notification area.
    virtual bool TrayAvailable() const = 0;
    /// Adds, changes or removes the tray icon.
    virtual void NotifyTray(TrayOperation operation, AttentionIcon icon,
                            const std::string& tip) = 0;
    /// Opens the "tray" menu at the mouse; its choice comes back as a command.
    virtual void ShowTrayMenu() = 0;
    /// Tells the user something that needs no answer, the least intrusive way that is still
    /// seen: a notification of the tray icon that goes by itself; and on the standard error.
    virtual void ShowPassiveNotice(const std::string& text) = 0;
};

} // namespace kestrola::core
