#include "app/ui/MainDialog.h"

#include "app/ui/AboutBox.h"
#include "base/StartupTrace.h"
#include "base/StatusTexts.h"
#include "controls/CEditEx.h"
#include "controls/Conversions.h"
#include "controls/DialogTemplate.h"
#include "controls/FlatButton.h"
#include "controls/Resources.h"
#include "messaging/ComposeRules.h"
#include "messaging/ui/SystemMessage.h"
#include "network/NetworkScanner.h"
#include "network/ui/QtUiDispatcher.h"
#include "network/ui/RecipientTree.h"
#include "resources/IconResources.h"
#include "window/MenuResources.h"
#include "window/Viewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <QValidator>
#include <cstdio>

namespace kestrola::ui {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) {
    return text.toStdString();
}

// The recipient box keeps everything it holds in capitals.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// QPlainTextEdit separates paragraphs with U+2029 in selections.
QString PlainSelection(const QString& selected) {
    QString text = selected;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

int CodePoints(const QString& text, int utf16Position) {
    return QStringView(text).left(utf16Position).toUcs4().size();
}

} // namespace

MainDialog::MainDialog(const core::MainWindowServices& services, core::NetworkScanner* scanner)
    : ExpandingDialog(nullptr, core::kMarkerFrame, core::kExpandButton, true),
      m_shell(services.shell) {
    InitResources();
    core::TraceStartup("  resources");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kestrola NET"));
    setWindowIcon(Icon(core::kNormalIcon));
    BuildControls();
    core::TraceStartup("  controls built");
    if (scanner != nullptr) {
        // The scan thread reaches the tree only through blocking hand-overs to this thread.
        // The tree's events go to the scanner from now on.
        scanner->SetPanel(m_network, std::make_shared<QtUiDispatcher>());
    }
    qApp->installEventFilter(this);
    m_core = std::make_unique<core::MainWindow>(services, *this);
    // A send waits for name answers on this thread: meanwhile the window paints and timers
    // run (the poll tick finds the window busy), but no click or key is taken.
    services.mailslots.SetWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    // The notices' OK buttons wear the buttons' colours from the start: the initialisation's
    // first steps may raise a notice (no network) before the buttons are styled.
    const core::ButtonLook look = core::MainButtonLook(m_core->Settings());
    SetNoticeColours(look.colours);
}

MainDialog::~MainDialog() {
    qApp->removeEventFilter(this);
    Destroy();
    DetachNetwork();
    // The controls are deleted after the core: they must not call back into it meanwhile.
    for (QObject* control :
         std::initializer_list<QObject*>{m_network, m_composer, m_viewer, m_recipient})
        control->blockSignals(true);
}

void MainDialog::DetachNetwork() {
    m_network->SetEvents(nullptr);
}

void MainDialog::Destroy() {
    if (m_core)
        m_core->Destroy();
}

const QIcon& MainDialog::Icon(int id) {
    auto found = m_icons.find(id);
    if (found == m_icons.end())
        found = m_icons.emplace(id, LoadIconResource(id)).first;
    return found->second;
}

void MainDialog::BuildControls() {
    DialogTemplate dialog(this, QApplication::font());
    dialog.SetSize(396, 226);

    // Created first so that it lies under everything; it is hidden at the first collapse.
    dialog.Place(new QWidget(this), core::kMarkerFrame, 2, 2, 220, 136);

    struct ButtonSpec {
        int id;
        int icon;
        const char* caption;
        int x, y, width, height;
    };
    // The collapsed window keeps the first six; the rest lie outside the marker.
    static constexpr ButtonSpec kButtons[] = {
        {core::kNewButton, 263, "New", 4, 4, 38, 16},
        {core::kReplyButton, 264, "Reply", 44, 4, 40, 16},
        {core::kPreviousButton, 267, "", 92, 4, 18, 16},
        {core::kNextButton, 269, "", 112, 4, 18, 16},
        {core::kDeleteButton, 271, "", 136, 4, 18, 16},
        {core::kExpandButton, 266, "", 200, 4, 18, 16},
        {core::kScanButton, 268, "", 228, 4, 18, 16},
        {core::kAboutButton, 281, "", 374, 4, 18, 16},
        {core::kUpgradeButton, 279, "Upgrade", 330, 143, 62, 16},
        {core::kSendButton, 265, "Send", 336, 163, 56, 18},
        {core::kClearButton, 272, "Clear", 336, 185, 56, 16},
    };

    auto label = [&](int id, const QString& text, int x, int y, int width, int height) {
        auto* control = dialog.Place(new QLabel(text, this), id, x, y, width, height);
        if (id != 0)
            m_labels[id] = control;
        return control;
    };

    for (const ButtonSpec& spec : kButtons) {
        if (spec.id == core::kScanButton)
            break;
        auto* button = dialog.Place(new FlatButton(QString::fromLatin1(spec.caption), this),
                                    spec.id, spec.x, spec.y, spec.width, spec.height);
        button->SetIcon(spec.icon);
        m_buttons[spec.id] = button;
    }

    label(0, QStringLiteral("From/To:"), 4, 24, 32, 9);
    label(core::kFromToLabel, QString(), 38, 24, 164, 9);
    QLabel* mark = label(core::kReadMarkLabel, QStringLiteral(" "), 206, 23, 12, 10);
    mark->setAlignment(Qt::AlignCenter);
    QFont bold = mark->font();
    bold.setBold(true);
    mark->setFont(bold);
    label(0, QStringLiteral("Time:"), 4, 35, 32, 9);
    label(core::kTimeLabel, QString(), 38, 35, 100, 9);
    label(core::kCountersLabel, QStringLiteral("0/0"), 142, 35, 42, 9)
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label(core::kPositionLabel, QStringLiteral("0"), 188, 35, 30, 9)
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_viewer = dialog.Place(new CEditEx(this), core::kViewerEdit, 4, 47, 214, 88);
    m_viewer->setReadOnly(true);
    m_viewer->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_viewer->contextMenuId = core::kClickMenu;
    m_viewer->doubleClickMenuId = core::kClickMenu;

    // The network panel to the right of the viewer.
    for (const ButtonSpec& spec : kButtons) {
        if (spec.id != core::kScanButton && spec.id != core::kAboutButton)
            continue;
        auto* button = dialog.Place(new FlatButton(QString::fromLatin1(spec.caption), this),
                                    spec.id, spec.x, spec.y, spec.width, spec.height);
        button->SetIcon(spec.icon);
        m_buttons[spec.id] = button;
    }
    // The recipient tree with its status and counter labels below it.
    m_network = dialog.Place(new RecipientTree(this), core::kTreeControl, 228, 23, 164, 114);

    // The composer row below.
    label(0, QStringLiteral("To:"), 4, 147, 14, 9);
    m_recipient = dialog.Place(new QComboBox(this), core::kRecipientBox, 20, 144, 110, 14);
    m_recipient->setEditable(true);
    m_recipient->setInsertPolicy(QComboBox::NoInsert);
    m_recipient->lineEdit()->setMaxLength(core::kRecipientLimit);
    m_recipient->setValidator(new UpperCaseValidator(m_recipient));
    m_recipient->setMaxVisibleItems(10);
    m_sendToAll = dialog.Place(new QCheckBox(QStringLiteral("Send to All Network"), this),
                               core::kSendToAllCheck, 136, 145, 96, 12);
    m_sendToAll->setEnabled(false);
    for (const ButtonSpec& spec : kButtons) {
        if (spec.id != core::kUpgradeButton)
            continue;
        auto* button = dialog.Place(new FlatButton(QString::fromLatin1(spec.caption), this),
                                    spec.id, spec.x, spec.y, spec.width, spec.height);
        button->SetIcon(spec.icon);
        m_buttons[spec.id] = button;
    }
    m_composer = dialog.Place(new CEditEx(this), core::kComposerEdit, 4, 163, 326, 59);
    m_composer->setTabChangesFocus(true);
    for (const ButtonSpec& spec : kButtons) {
        if (spec.id != core::kSendButton && spec.id != core::kClearButton)
            continue;
        auto* button = dialog.Place(new FlatButton(QString::fromLatin1(spec.caption), this),
                                    spec.id, spec.x, spec.y, spec.width, spec.height);
        button->SetIcon(spec.icon);
        m_buttons[spec.id] = button;
    }
    label(core::kLengthIndicator, QStringLiteral("100/100"), 336, 210, 56, 9)
        ->setAlignment(Qt::AlignCenter);

    for (auto& [id, control] : m_labels)
        control->setTextFormat(Qt::PlainText);

    connect(m_composer, &QPlainTextEdit::textChanged, this, [this] {
        // The composer holds at most 16384 characters.
        if (m_composer->document()->characterCount() - 1 > core::kComposerLimit) {
            QTextCursor cut(m_composer->document());
            cut.setPosition(core::kComposerLimit);
            cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
        }
        OnEdited();
    });
    connect(m_recipient, &QComboBox::editTextChanged, this, [this] { OnEdited(); });
    connect(m_viewer, &CEditEx::CommandChosen, this, [this](int id) { m_core->OnCommand(id); });
    connect(m_composer, &CEditEx::CommandChosen, this, [this](int id) { m_core->OnCommand(id); });
    connect(m_network, &RecipientTree::recipientChosen, this, [this](const QString& recipient) {
        if (m_core)
            m_core->OnTreeSelection(S(recipient));
    });
}

FlatButton* MainDialog::Button(int id) const {
    const auto found = m_buttons.find(id);
    return found == m_buttons.end() ? nullptr : found->second;
}

QLabel* MainDialog::Label(int id) const {
    if (QLabel* network = m_network->Label(id))
        return network;
    const auto found = m_labels.find(id);
    return found == m_labels.end() ? nullptr : found->second;
}

QTreeWidget* MainDialog::Tree() const {
    return m_network->Tree();
}

bool MainDialog::Topmost() const {
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void MainDialog::OnInitDialog() {
    ExpandingDialog::OnInitDialog();
    m_core->Initialise();
}

void MainDialog::OnCommand(int id) {
    m_core->OnCommand(id);
}

void MainDialog::ExpansionChanged(bool nowExpanded) {
    // "Send to All Network" has no behaviour: expanding does not enable it.
    m_sendToAll->setEnabled(false);
    m_core->OnExpansionChanged(nowExpanded);
}

void MainDialog::OnEdited() {
    if (!m_writingTexts && m_core)
        m_core->OnTextsEdited();
}

void MainDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!m_finished)
        m_core->OnClose();
}

void MainDialog::reject() {
    if (!m_finished)
        m_core->OnClose();
}

void MainDialog::accept() {
    // Enter does nothing.
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    ExpandingDialog::keyPressEvent(event);
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return ExpandingDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return ExpandingDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        // Esc never closes the window. A held key minimises once: its repeats would minimise
        // the window again as soon as a message brings it up.
        if (!key->isAutoRepeat())
            m_core->OnEscapeKey();
        return true;
    }
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
        (widget == m_recipient || widget == m_recipient->lineEdit())) {
        // The down-arrow key opens the recipient list.
        m_recipient->showPopup();
        return true;
    }
    return ExpandingDialog::eventFilter(watched, event);
}

void MainDialog::timerEvent(QTimerEvent* event) {
    if (m_pollTimerId != 0 && event->timerId() == m_pollTimerId) {
        m_core->OnPollTimer();
        return;
    }
    ExpandingDialog::timerEvent(event);
}

void MainDialog::changeEvent(QEvent* event) {
    ExpandingDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_showCommands != 0 || !isMinimized())
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (change->oldState().testFlag(Qt::WindowMinimized))
        return;
    // The platform's minimise has been carried out; then the window may go into the tray.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized() && m_core)
            m_core->OnSystemMinimize();
    });
}

void MainDialog::paintEvent(QPaintEvent* event) {
    if (!isMinimized()) {
        ExpandingDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QPixmap icon = Icon(core::kNormalIcon).pixmap(32, 32);
    const int iconWidth = icon.width() / static_cast<int>(icon.devicePixelRatio());
    const int iconHeight = icon.height() / static_cast<int>(icon.devicePixelRatio());
    painter.drawPixmap((width() - iconWidth + 1) / 2, (height() - iconHeight + 1) / 2, icon);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    for (const int id : {core::kNewButton, core::kReplyButton}) {
        if (FlatButton* button = Button(id))
            button->CancelHover();
    }
    ExpandingDialog::contextMenuEvent(event);
}

bool MainDialog::AskYesNo(std::string_view question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kestrola NET"), Q(question),
                    QMessageBox::Yes | QMessageBox::No, isVisible() ? this : nullptr);
    return box.exec() == QMessageBox::Yes;
}

void MainDialog::ShowAboutBox() {
    ui::ShowAboutBox(m_shell);
}

void MainDialog::RunNotice(int textId, int seconds) {
    ui::RunNotice(m_shell, Q(core::LoadString(textId)), seconds);
}

void MainDialog::TakeTexts(core::WindowTexts& texts) {
    // The viewer is read-only: its text is what was last written into it.
    texts.composer = core::WithCrLf(S(m_composer->toPlainText()));
    texts.recipient = S(m_recipient->currentText());
}

void MainDialog::PutTexts(const core::WindowTexts& texts) {
    const core::WindowTexts copy = texts;
    m_writingTexts = true;
    const QString composer = Q(core::WithLf(copy.composer));
    const bool composerChanged = composer != m_composer->toPlainText();
    if (composerChanged)
        m_composer->setPlainText(composer);
    const QString viewer = Q(core::WithLf(copy.viewer));
    if (viewer != m_viewer->toPlainText())
        m_viewer->setPlainText(viewer);
    const QString recipient = Q(copy.recipient);
    const bool recipientChanged = recipient != m_recipient->currentText();
    if (recipientChanged)
        m_recipient->setEditText(recipient);
    m_writingTexts = false;
    if (composerChanged || recipientChanged)
        OnEdited();
}

void MainDialog::SetControlText(int control, const std::string& text) {
    if (QLabel* label = Label(control))
        label->setText(Q(text));
}

void MainDialog::SetTitle(const std::string& title) {
    setWindowTitle(Q(title));
}

void MainDialog::SetRecipientList(const std::vector<std::string>& entries) {
    const QString typed = m_recipient->currentText();
    const bool wasWriting = m_writingTexts;
    m_writingTexts = true;
    m_recipient->clear();
    for (const std::string& entry : entries)
        m_recipient->addItem(Q(entry));
    m_recipient->setCurrentIndex(-1);
    m_recipient->setEditText(typed);
    m_writingTexts = wasWriting;
}

void MainDialog::SetFocus(int control) {
    if (QWidget* widget = FindControl(this, control))
        widget->setFocus(Qt::OtherFocusReason);
}

void MainDialog::MoveCaretToEnd(int control) {
    auto* edit = qobject_cast<CEditEx*>(FindControl(this, control));
    if (edit == nullptr)
        return;
    edit->moveCursor(QTextCursor::End);
    edit->ensureCursorVisible();
}

core::EditSelection MainDialog::Selection() const {
    core::EditSelection selection;
    const QWidget* focus = QApplication::focusWidget();
    const CEditEx* source = nullptr;
    if (focus == m_composer) {
        source = m_composer;
        selection.control = core::kComposerEdit;
    } else if (focus == m_viewer) {
        source = m_viewer;
        selection.control = core::kViewerEdit;
    } else {
        return selection;
    }
    const QTextCursor cursor = source->textCursor();
    const QString all = source->toPlainText();
    selection.start = CodePoints(all, cursor.selectionStart());
    selection.end = CodePoints(all, cursor.selectionEnd());
    selection.text = core::WithCrLf(S(PlainSelection(cursor.selectedText())));
    return selection;
}

void MainDialog::RunEditCommand(int control, int command) {
    CEditEx* edit = control == core::kViewerEdit ? m_viewer : m_composer;
    switch (command) {
    case core::kEditCopy:
        edit->copy();
        break;
    case core::kEditCut:
        edit->cut();
        break;
    case core::kEditPaste:
        edit->paste();
        break;
    case core::kEditUndo:
        edit->undo();
        break;
    default:
        break;
    }
}

void MainDialog::EnableToolTips(bool enable) {
    for (QWidget* child : findChildren<QWidget*>()) {
        const std::string_view tip = core::MainToolTip(ControlId(child));
        if (!tip.empty())
            child->setToolTip(enable ? Q(tip) : QString());
    }
}

void MainDialog::StyleButton(int control, const core::ButtonLook& look) {
    FlatButton* button = Button(control);
    if (button == nullptr)
        return;
    button->SetFlat(look.flat);
    button->SetColours(look.colours, true);
    button->SetShowText(look.showText);
}

void MainDialog::StyleEdit(int control, core::ColorRef background, core::ColorRef text,
                           const core::LogFont& font) {
    auto* edit = qobject_cast<CEditEx*>(FindControl(this, control));
    if (edit == nullptr)
        return;
    edit->SetBackgroundColour(ToQColor(background));
    edit->SetTextColour(ToQColor(text));
    edit->SetTextFont(&font);
}

core::WindowState MainDialog::State() const {
    if (!isVisible())
        return core::WindowState::Hidden;
    if (isMinimized())
        return core::WindowState::Minimized;
    return core::WindowState::Normal;
}

bool MainDialog::Active() const {
    return isActiveWindow();
}

void MainDialog::ShowWindow(core::ShowCommand command) {
    ++m_showCommands;
    switch (command) {
    case core::ShowCommand::Minimize:
        showMinimized();
        break;
    case core::ShowCommand::Hide:
        hide();
        break;
    case core::ShowCommand::ShowMinimized:
        // From the tray the window comes straight back in its normal state (the next
        // command); a visible window is minimised.
        if (isVisible())
            showMinimized();
        break;
    case core::ShowCommand::ShowNormal:
        showNormal();
        raise();
        activateWindow();
        break;
    case core::ShowCommand::Restore:
        if (isMinimized() || !isVisible())
            showNormal();
        break;
    }
    --m_showCommands;
}

void MainDialog::SetForeground() {
    raise();
    activateWindow();
}

void MainDialog::SetTopmost(bool topmost) {
    if (Topmost() == topmost)
        return;
    if (!isVisible()) {
        setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        return;
    }
    // A change of window flags re-creates the window; not from inside its own show.
    QTimer::singleShot(0, this, [this, topmost] {
        if (Topmost() == topmost)
            return;
        const bool visible = isVisible();
        ++m_showCommands;
        setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        if (visible)
            show();
        --m_showCommands;
    });
}

bool MainDialog::SetExpanded(bool expand) {
    return ExpandingDialog::SetExpanded(expand);
}

void MainDialog::SetWindowIcon(core::AttentionIcon icon) {
    const int id = static_cast<int>(icon);
    if (id == m_windowIconId)
        return;
    m_windowIconId = id;
    setWindowIcon(Icon(id));
}

void MainDialog::SetUrgent(bool urgent) {
    m_urgent = urgent;
    // The desktop drops the hint by itself once the window is activated.
    if (urgent)
        QApplication::alert(this, 0);
}

void MainDialog::StartPollTimer(int milliseconds) {
    if (m_pollTimerId == 0)
        m_pollTimerId = startTimer(milliseconds);
}

void MainDialog::KillPollTimer() {
    if (m_pollTimerId != 0)
        killTimer(m_pollTimerId);
    m_pollTimerId = 0;
}

void MainDialog::EndDialog() {
    if (m_ending)
        return;
    m_ending = true;
    // The window closes once the work under way (initialisation, a command) has returned.
    QTimer::singleShot(0, this, [this] {
        m_finished = true;
        done(QDialog::Accepted);
        emit RunFinished();
    });
}

bool MainDialog::TrayAvailable() const {
    if (trayAvailableOverride)
        return *trayAvailableOverride;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainDialog::NotifyTray(core::TrayOperation operation, core::AttentionIcon icon,
                            const std::string& tip) {
    const int id = static_cast<int>(icon);
    switch (operation) {
    case core::TrayOperation::Add:
        if (m_tray == nullptr) {
            m_tray = new QSystemTrayIcon(this);
            connect(m_tray, &QSystemTrayIcon::activated, this,
                    [this](QSystemTrayIcon::ActivationReason reason) {
                        if (reason == QSystemTrayIcon::Trigger)
                            m_core->OnTrayEvent(core::TrayEvent::LeftButtonDown);
                        else if (reason == QSystemTrayIcon::Context)
                            m_core->OnTrayEvent(core::TrayEvent::RightButtonDown);
                        else
                            m_core->OnTrayEvent(core::TrayEvent::Other);
                    });
        }
        m_tray->setIcon(Icon(id));
        m_tray->setToolTip(Q(tip));
        m_tray->show();
        m_trayIconId = id;
        break;
    case core::TrayOperation::Modify:
        if (m_tray == nullptr)
            return; // the platform ignores a change before any add
        if (id != m_trayIconId) {
            m_tray->setIcon(Icon(id));
            m_trayIconId = id;
        }
        if (Q(tip) != m_tray->toolTip())
            m_tray->setToolTip(Q(tip));
        break;
    case core::TrayOperation::Delete:
        if (m_tray != nullptr) {
            m_tray->hide();
            delete m_tray;
        }
        m_trayIconId = 0;
        break;
    }
}

void MainDialog::ShowPassiveNotice(const std::string& text) {
    // The standard error keeps it for logs; the tray shows it to the person at the desk.
    std::fprintf(stderr, "kestrola: %s\n", text.c_str());
    if (m_tray != nullptr && m_tray->isVisible())
        m_tray->showMessage(windowTitle(), Q(text), QSystemTrayIcon::Information, 15000);
}

void MainDialog::ShowTrayMenu() {
    const core::MenuResource* resource = core::LoadMenuResource(core::kTrayMenuResource);
    if (resource == nullptr)
        return;
    QMenu menu;
    for (const auto& item : resource->items) {
        if (item.id == 0) {
            menu.addSeparator();
            continue;
        }
        menu.addAction(Q(item.text))->setData(item.id);
    }
    if (isVisible())
        activateWindow();
    if (QAction* chosen = menu.exec(QCursor::pos()))
        m_core->OnCommand(chosen->data().toInt());
}

} // namespace kestrola::ui
