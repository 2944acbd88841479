#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrola::platform {
class Shell;
}

namespace kestrola::ui {

class LinkLabel;

/// "About Kestrola NET": the program's build, links to the maker's site and support mailbox,
/// and the offer of the sibling product. Only OK closes it; Esc and the close box open the
/// upgrade page instead.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    /// Control numbers of the box's template.
    enum Control : int {
        kOk = 1,
        kUpgrade = 2,
        kBuildLine = 1260,
        kSupportMail = 1141,
        kMakerSite = 1142,
    };

    explicit AboutBox(platform::Shell& shell, QWidget* parent = nullptr);

    LinkLabel* SiteLink() const { return m_site; }
    LinkLabel* MailLink() const { return m_mail; }
    QLabel* BuildLabel() const { return m_build; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* UpgradeButton() const { return m_upgrade; }

    /// Esc and the close box: open the upgrade page, stay open.
    void reject() override;

private:
    platform::Shell& m_shell;
    QLabel* m_build = nullptr;
    LinkLabel* m_site = nullptr;
    LinkLabel* m_mail = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_upgrade = nullptr;
};

/// Shows the About box modally, without a parent, and returns when OK has closed it.
void ShowAboutBox(platform::Shell& shell);

} // namespace kestrola::ui
