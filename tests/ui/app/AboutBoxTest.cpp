#include "app/ui/AboutBox.h"

#include "UiTestSupport.h"
#include "base/Product.h"
#include "controls/DialogTemplate.h"
#include "controls/LinkLabel.h"
#include "fakes/RecordingShell.h"
#include "window/AboutInfo.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using platform::testing::RecordingShell;

TEST(AboutBox, ShowsTheBuildAndOpensLinksAndTheUpgradePage) {
    RecordingShell shell;
    const std::string upgrade(core::kUpgradePageUrl);
    testing::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<AboutBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("About Kestrola NET"));
        EXPECT_EQ(FindControl(box, AboutBox::kBuildLine), box->BuildLabel());
        EXPECT_EQ(box->BuildLabel()->text(), QStringLiteral("Kestrola NET Build : 1188"));
        EXPECT_EQ(FindControl(box, AboutBox::kSupportMail), box->MailLink());
        QTest::mouseClick(box->MailLink(), Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_TRUE(box->MailLink()->Visited());
        EXPECT_FALSE(box->SiteLink()->Visited());
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_FALSE(box->close()) << "the close box opens the page too";
        QTest::mouseClick(box->UpgradeButton(), Qt::LeftButton);
        EXPECT_TRUE(box->isVisible()) << "only OK closes";
        QTest::mouseClick(box->OkButton(), Qt::LeftButton);
    });
    AboutBox box(shell);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    const std::pair<std::string, std::string> open[] = {
        {"open", std::string(core::kSupportMailUrl)},
        {"open", upgrade},
        {"open", upgrade},
        {"open", upgrade}};
    EXPECT_EQ(shell.calls, std::vector(std::begin(open), std::end(open)));
}

} // namespace
} // namespace kestrola::ui
