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

using platform::testing::RecordingShell;

const QString kUrl = QStringLiteral("https://www.kestrola.example/?inref=kestrola-net");

class LinkLabelTest : public ::testing::Test {
protected:
    LinkLabel* Make(const QString& text) {
        auto* label = new LinkLabel(shell, text, &host);
        label->setGeometry(10, 10, 260, 30);
        return label;
    }
    void Show() { ASSERT_TRUE(testing::ShowAndActivate(&host)); }
    static void Click(LinkLabel* label) {
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, label->height() / 2));
    }

    // Clicks the label, reads the error box that follows and closes it with its OK button.
    QString ClickAndReadError(LinkLabel* label) {
        QString shown;
        testing::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            shown = box->text();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        Click(label);
        return shown;
    }

    RecordingShell shell;
    QWidget host;
};

TEST_F(LinkLabelTest, AttachTakesTheUrlFromTheTextOrShowsTheUrl) {
    LinkLabel* named = Make(QStringLiteral("www.kestrola.example"));
    named->Attach();
    EXPECT_EQ(named->Url(), QStringLiteral("www.kestrola.example"));
    EXPECT_EQ(named->toolTip(), named->Url());
    EXPECT_EQ(named->cursor().shape(), Qt::ArrowCursor);

    LinkLabel* empty = Make(QString());
    empty->SetUrl(kUrl);
    empty->Attach();
    EXPECT_EQ(empty->text(), kUrl);
    EXPECT_EQ(empty->toolTip(), kUrl);

    named->SetUrl(kUrl);
    EXPECT_EQ(named->toolTip(), kUrl);
    EXPECT_EQ(named->text(), QStringLiteral("www.kestrola.example"));
}

TEST_F(LinkLabelTest, FitsItselfToItsTextByAlignment) {
    const QString text = QStringLiteral("support@kestrola.example");
    for (const Qt::Alignment alignment :
         {Qt::AlignLeft | Qt::AlignTop, Qt::AlignRight | Qt::AlignTop,
          Qt::AlignHCenter | Qt::AlignVCenter}) {
        LinkLabel* label = Make(text);
        label->setAlignment(alignment);
        label->Attach();
        const QSize size = label->fontMetrics().size(Qt::TextSingleLine, text);
        const QRect fitted = ToQRect(core::FitToText(
            {10, 10, 270, 40}, {size.width(), size.height()},
            {(alignment & Qt::AlignVCenter) != 0, (alignment & Qt::AlignHCenter) != 0,
             (alignment & Qt::AlignRight) != 0}));
        EXPECT_EQ(label->geometry(), fitted) << alignment;
        EXPECT_LE(label->width(), size.width() + 1);
    }
    LinkLabel* fixed = Make(text);
    fixed->SetFitToText(false);
    fixed->Attach();
    EXPECT_EQ(fixed->geometry(), QRect(10, 10, 260, 30));
}

TEST_F(LinkLabelTest, ClickOpensTheUrlAndTurnsVisited) {
    LinkLabel* label = Make(QStringLiteral("www.kestrola.example"));
    label->SetUrl(kUrl);
    label->Attach();
    Show();
    const QImage before = testing::Grab(label);
    EXPECT_TRUE(testing::AnyPixel(before, label->rect(), ToQColor(core::kLinkColour)));

    Click(label);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].first, "open");
    EXPECT_EQ(QString::fromStdString(shell.calls[0].second), kUrl);
    EXPECT_TRUE(shell.browserRuns.empty());
    EXPECT_TRUE(label->Visited());
    // The underline is drawn solid in the text colour.
    const QImage after = testing::Grab(label);
    EXPECT_TRUE(testing::AnyPixel(after, label->rect(), ToQColor(core::kVisitedColour)));
    EXPECT_FALSE(testing::AnyPixel(after, label->rect(), ToQColor(core::kLinkColour)));
}

TEST_F(LinkLabelTest, FailedOpenFallsBackToTheBrowser) {
    LinkLabel* label = Make(QStringLiteral("www.kestrola.example"));
    label->SetUrl(kUrl);
    label->Attach();
    Show();
    shell.result = 31;
    shell.browserResult = 42;
    Click(label);
    EXPECT_EQ(shell.calls.size(), 1u);
    ASSERT_EQ(shell.browserRuns.size(), 1u);
    EXPECT_EQ(QString::fromStdString(shell.browserRuns[0]), kUrl);
    EXPECT_TRUE(label->Visited());
}

TEST_F(LinkLabelTest, FailureReportsTheLastAttemptsCodeAndClearsVisited) {
    LinkLabel* label = Make(QStringLiteral("www.kestrola.example"));
    label->SetUrl(kUrl);
    label->Attach();
    Show();
    label->SetVisited(true);

    struct Case {
        int opener;
        std::optional<int> browser;
        const char* text;
    };
    const Case cases[] = {
        {2, std::nullopt, "The specified file was not found."},
        {31, 8, "There was not enough memory to complete the operation."},
        {32, 26, "A sharing violation occurred. "},
        {0, 4, "Unknown Error (4) occurred."},
    };
    for (const auto& c : cases) {
        shell.result = c.opener;
        shell.browserResult = c.browser;
        const QString shown = ClickAndReadError(label);
        EXPECT_EQ(shown, QStringLiteral("Unable to open hyperlink:\n\n") + c.text);
        EXPECT_FALSE(label->Visited());
    }
    EXPECT_EQ(shell.calls.size(), std::size(cases));
    EXPECT_EQ(shell.browserRuns.size(), std::size(cases));
}

} // namespace
} // namespace kestrola::ui
