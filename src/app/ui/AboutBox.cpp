#include "app/ui/AboutBox.h"

#include "controls/DialogTemplate.h"
#include "controls/LinkLabel.h"
#include "controls/Resources.h"
#include "resources/IconResources.h"
#include "settings/FirstRun.h"
#include "window/AboutInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace kestrola::ui {

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AboutBox::AboutBox(platform::Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_shell(shell) {
    setWindowTitle(QStringLiteral("About Kestrola NET"));
    DialogTemplate layout(this, QApplication::font());
    layout.SetSize(176, 225);

    auto* picture = layout.Place(new QLabel(this), 0, 22, 2, 133, 43);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(LoadImageResource(core::kAboutBitmap, picture->size(), devicePixelRatioF()));

    auto* maker =
        layout.Place(new QLabel(QStringLiteral("Made by Ovrin software"), this), 0, 4, 46, 168, 12);
    maker->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_ok = layout.Place(new QPushButton(QStringLiteral("OK"), this), kOk, 14, 65, 148, 15);
    m_ok->setDefault(true);

    m_build = layout.Place(new QLabel(QStringLiteral("Kestrola NET Build : 0"), this), kBuildLine,
                           16, 87, 146, 12);
    m_build->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_site = layout.Place(new LinkLabel(shell, FromView(core::kMakerSiteText), this), kMakerSite,
                          16, 102, 146, 12);
    m_mail = layout.Place(new LinkLabel(shell, FromView(core::kSupportMailText), this),
                          kSupportMail, 16, 118, 146, 12);

    m_upgrade =
        layout.Place(new QPushButton(QStringLiteral("Click here to upgrade to Murmeli.NET"), this),
                     kUpgrade, 14, 136, 148, 15);
    m_upgrade->setAutoDefault(false);

    auto* notice = layout.Place(
        new QLabel(
            QStringLiteral("Kestrola NET sends and receives pop-up messages between the computers "
                           "of your local network. Messages travel unencrypted; do not send "
                           "passwords with it. The program is provided as is, without warranty of "
                           "any kind."),
            this),
        0, 14, 161, 148, 58);
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The links take their place and text as the dialog's controls are attached.
    for (LinkLabel* link : {m_site, m_mail}) {
        link->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        link->Attach();
    }

    m_site->SetUrl(FromView(core::kMakerSiteUrl));
    m_site->SetUnderline(true);
    m_site->setCursor(LinkCursor());
    m_mail->SetUrl(FromView(core::kSupportMailUrl));
    m_mail->SetUnderline(true);
    m_mail->setCursor(LinkCursor());
    m_build->setText(QString::fromStdString(core::BuildLine()));

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_upgrade, &QPushButton::clicked, this, [this] { core::OpenUpgradePage(m_shell); });
}

void AboutBox::reject() {
    core::OpenUpgradePage(m_shell);
}

void ShowAboutBox(platform::Shell& shell) {
    AboutBox box(shell);
    box.exec();
}

} // namespace kestrola::ui
