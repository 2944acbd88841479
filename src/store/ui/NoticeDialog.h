#pragma once

#include "settings/AppSettings.h"
#include "store/NoticeCountdown.h"

#include <QDialog>
#include <QString>

class QLabel;

namespace kestrola::platform {
class Shell;
}

namespace kestrola::ui {

class FlatButton;

/// The program's own message box, "System message": an icon, one centred line and an OK button
/// in the raised look. With a countdown the button shows the seconds left and the notice
/// closes by itself at 0.
class NoticeDialog : public QDialog {
    Q_OBJECT

public:
    /// Control numbers of the notice's template.
    enum Control : int { kMessageText = 1251, kOkButton = 1116 };

    explicit NoticeDialog(platform::Shell& shell, QWidget* parent = nullptr);
    ~NoticeDialog() override;

    /// The text of the notice's one line; set before showing.
    void SetMessage(const QString& message) { m_message = message; }
    /// The colours of the OK button (nullptr: the button's own); set before showing.
    void SetColours(const core::ButtonColorBlock* colours) { m_colours = colours; }
    /// Seconds until the notice closes by itself; 0 or below for none. Set before showing.
    void SetSeconds(int seconds) { m_countdown = core::NoticeCountdown(seconds); }

    /// Seconds left of the countdown.
    int Seconds() const { return m_countdown.Seconds(); }
    /// True while the one-second timer runs.
    bool TimerRunning() const { return m_timer != 0; }
    FlatButton* OkButton() const { return m_ok; }
    QLabel* MessageLabel() const { return m_text; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InitDialog();
    void WriteCountdownText();
    void OnOk();
    void StopTimer();

    platform::Shell& m_shell;
    core::NoticeCountdown m_countdown{0};
    int m_timer = 0;
    const core::ButtonColorBlock* m_colours = nullptr;
    QString m_message;
    bool m_initialised = false;
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    FlatButton* m_ok = nullptr;
};

} // namespace kestrola::ui
