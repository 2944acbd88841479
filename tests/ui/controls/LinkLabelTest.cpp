#include "controls/LinkLabel.h"

#include "UiTestSupport.h"
#include "controls/Conversions.h"
#include "controls/Hyperlink.h"
#include "fakes/RecordingShell.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

const QString kUrl = QStringLiteral("https://www.kestrola.example/?inref=kestrola-net");
const QString kText = QStringLiteral("www.kestrola.example");

class LinkLabelTest : public ::testing::Test {
protected:
    LinkLabel* Make(const QString& text) {
        auto* label = new LinkLabel(shell, text, &host);
        label->setGeometry(10, 10, 260, 30);
        return label;
    }

    platform::testing::RecordingShell shell;
    QWidget host;
};

TEST_F(LinkLabelTest, AttachTakesTheUrlFromTheTextAndFitsTheLabelByAlignment) {
    LinkLabel* named = Make(kText);
    named->Attach();
    EXPECT_EQ(named->Url(), kText);
    EXPECT_EQ(named->toolTip(), kText);
    named->SetUrl(kUrl);
    EXPECT_EQ(named->toolTip(), kUrl);
    EXPECT_EQ(named->text(), kText);
    LinkLabel* empty = Make(QString());
    empty->SetUrl(kUrl);
    empty->Attach();
    EXPECT_EQ(empty->text(), kUrl);

    LinkLabel* centred = Make(kText); // fitted to its text around the alignment's anchor
    centred->setAlignment(Qt::AlignCenter);
    centred->Attach();
    const QSize size = centred->fontMetrics().size(Qt::TextSingleLine, kText);
    EXPECT_EQ(centred->geometry(),
              ToQRect(core::FitToText({10, 10, 270, 40}, {size.width(), size.height()},
                                      {true, true, false})));
    LinkLabel* fixed = Make(kText);
    fixed->SetFitToText(false);
    fixed->Attach();
    EXPECT_EQ(fixed->geometry(), QRect(10, 10, 260, 30));
}

TEST_F(LinkLabelTest, ClickOpensTheUrlOrReportsTheLastAttemptsCode) {
    LinkLabel* label = Make(kText);
    label->SetUrl(kUrl);
    label->Attach();
    ASSERT_TRUE(testing::ShowAndActivate(&host));
    EXPECT_TRUE(
        testing::AnyPixel(testing::Grab(label), label->rect(), ToQColor(core::kLinkColour)));
    const struct {
        int opener;
        std::optional<int> browser;
        const char* error; // nullptr: opened, and visited
    } cases[] = {
        {42, std::nullopt, nullptr},
        {31, 42, nullptr}, // the browser after a failed opener
        {2, std::nullopt, "The specified file was not found."},
        {31, 8, "There was not enough memory to complete the operation."},
        {0, 4, "Unknown Error (4) occurred."},
    };
    for (const auto& c : cases) {
        shell.calls.clear();
        shell.browserRuns.clear();
        shell.result = c.opener;
        shell.browserResult = c.browser;
        label->SetVisited(c.error != nullptr);
        QString shown;
        if (c.error != nullptr) {
            testing::WhenModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                shown = box->text();
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            });
        }
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, label->height() / 2));
        ASSERT_EQ(shell.calls.size(), 1u) << c.opener;
        EXPECT_EQ(QString::fromStdString(shell.calls[0].second), kUrl);
        EXPECT_EQ(shell.browserRuns.size(), c.opener > 32 ? 0u : 1u) << c.opener;
        EXPECT_EQ(label->Visited(), c.error == nullptr) << c.opener;
        EXPECT_EQ(shown,
                  c.error ? QStringLiteral("Unable to open hyperlink:\n\n") + c.error : QString());
    }
    // The visited colour replaces the link colour.
    label->SetVisited(true);
    const QImage visited = testing::Grab(label);
    EXPECT_TRUE(testing::AnyPixel(visited, label->rect(), ToQColor(core::kVisitedColour)));
    EXPECT_FALSE(testing::AnyPixel(visited, label->rect(), ToQColor(core::kLinkColour)));
}

} // namespace
} // namespace kestrola::ui
