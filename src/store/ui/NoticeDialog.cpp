#include "store/ui/NoticeDialog.h"

#include "base/Product.h"
#include "controls/DialogTemplate.h"
#include "controls/FlatButton.h"
#include "controls/Resources.h"
#include "platform/Shell.h"
#include "resources/IconResources.h"
#include "window/AboutInfo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimerEvent>

namespace kestrola::ui {

namespace {

// The template, in dialog units.
constexpr int kWidth = 200;
constexpr int kHeight = 56;
constexpr int kTextLeft = 34;
constexpr int kTextWidth = 159;
constexpr int kOkWidth = 100;

} // namespace

NoticeDialog::NoticeDialog(platform::Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_shell(shell) {
    setWindowTitle(QStringLiteral("System message"));
    setModal(true);
    DialogTemplate layout(this, QApplication::font());
    layout.SetSize(kWidth, kHeight);

    m_icon = layout.Place(new QLabel(this), 0, 7, 8, 21, 20);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setPixmap(LoadImageResource(core::kNoticeIcon, {}, devicePixelRatioF()));

    m_text = layout.Place(new QLabel(this), kMessageText, kTextLeft, 8, kTextWidth, 20);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setTextFormat(Qt::PlainText);

    m_ok = layout.Place(new FlatButton(QStringLiteral("OK"), this), kOkButton,
                        (kWidth - kOkWidth) / 2, 35, kOkWidth, 14);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &NoticeDialog::OnOk);
}

NoticeDialog::~NoticeDialog() {
    StopTimer();
}

void NoticeDialog::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void NoticeDialog::InitDialog() {
    m_text->setText(m_message);
    // A text longer than the line widens the notice rather than being cut.
    const int needed = m_text->fontMetrics().horizontalAdvance(m_message) + 8;
    if (needed > m_text->width()) {
        const int grow = needed - m_text->width();
        resize(width() + grow, height());
        m_text->resize(needed, m_text->height());
        m_ok->move(m_ok->x() + grow / 2, m_ok->y());
    }

    m_ok->SetFlat(false);
    if (m_colours != nullptr)
        m_ok->SetColours(*m_colours, false);

    m_timer = 0;
    if (m_countdown.Start()) {
        m_timer = startTimer(1000);
        WriteCountdownText();
    }
    m_ok->setFocus();
}

void NoticeDialog::WriteCountdownText() {
    m_ok->setText(QString::fromStdString(m_countdown.Text()));
}

void NoticeDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer || m_timer == 0) {
        QDialog::timerEvent(event);
        return;
    }
    const bool closeNow = m_countdown.Tick();
    WriteCountdownText();
    if (closeNow)
        OnOk();
}

void NoticeDialog::OnOk() {
    StopTimer();
    accept();
}

void NoticeDialog::StopTimer() {
    if (m_timer != 0) {
        killTimer(m_timer);
        m_timer = 0;
        m_countdown.Stop();
    }
}

void NoticeDialog::done(int result) {
    // Esc ends the notice as well; the countdown ends with it.
    StopTimer();
    QDialog::done(result);
}

void NoticeDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        // The help file beside the program; the notice stays whatever the shell answers.
        m_shell.Open("open",
                     core::HelpFilePath(QCoreApplication::applicationFilePath().toStdString()));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kestrola::ui
