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

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TEST(AboutBox, ShowsTheBuildAndTheLinks) {
    RecordingShell shell;
    AboutBox box(shell);
    ASSERT_TRUE(testing::ShowAndActivate(&box));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Kestrola NET"));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(box.BuildLabel()->text(), QStringLiteral("Kestrola NET Build : 1188"));
    EXPECT_EQ(FindControl(&box, AboutBox::kBuildLine), box.BuildLabel());
    EXPECT_EQ(FindControl(&box, AboutBox::kMakerSite), box.SiteLink());
    EXPECT_EQ(FindControl(&box, AboutBox::kSupportMail), box.MailLink());
    EXPECT_EQ(box.UpgradeButton()->text(), QStringLiteral("Click here to upgrade to Murmeli.NET"));
    EXPECT_EQ(box.SiteLink()->Url(), FromView(core::kMakerSiteUrl));
    EXPECT_EQ(box.SiteLink()->text(), FromView(core::kMakerSiteText));
    EXPECT_EQ(box.MailLink()->Url(), FromView(core::kSupportMailUrl));
    EXPECT_EQ(box.MailLink()->toolTip(), FromView(core::kSupportMailUrl));
    for (LinkLabel* link : {box.SiteLink(), box.MailLink()}) {
        EXPECT_TRUE(link->Underline());
        EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor);
        // Fitted to its text, centred in its line.
        EXPECT_LE(link->width(), link->fontMetrics().horizontalAdvance(link->text()) + 1);
    }
    box.accept();
}

TEST(AboutBox, EscapeOpensTheUpgradePageAndOnlyOkCloses) {
    RecordingShell shell;
    const std::string upgrade(core::kUpgradePageUrl);
    testing::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<AboutBox*>(modal);
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(box->isVisible());
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0], std::make_pair(std::string("open"), upgrade));

        EXPECT_FALSE(box->close()) << "the close box opens the page too";
        EXPECT_TRUE(box->isVisible());
        QTest::mouseClick(box->UpgradeButton(), Qt::LeftButton);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(shell.calls.size(), 3u);
        EXPECT_EQ(shell.calls.back().second, upgrade);

        QTest::mouseClick(box->OkButton(), Qt::LeftButton);
    });
    AboutBox box(shell);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(shell.calls.size(), 3u);
}

TEST(AboutBox, LinkClickOpensThroughTheShellAndTurnsVisited) {
    RecordingShell shell;
    AboutBox box(shell);
    ASSERT_TRUE(testing::ShowAndActivate(&box));
    QTest::mouseClick(box.MailLink(), Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].second, std::string(core::kSupportMailUrl));
    EXPECT_TRUE(box.MailLink()->Visited());
    EXPECT_FALSE(box.SiteLink()->Visited());
    box.accept();
}

TEST(AboutPicture, AboutBox) {
    RecordingShell shell;
    AboutBox box(shell);
    ASSERT_TRUE(testing::ShowAndActivate(&box));
    const QString path = testing::SavePicture(&box, QStringLiteral("about-box.png"));
    EXPECT_FALSE(QImage(path).isNull());
    box.accept();
}

} // namespace
} // namespace kestrola::ui
