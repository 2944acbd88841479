#include "controls/CEditEx.h"

#include "UiTestSupport.h"
#include "window/MenuResources.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

QStringList ActionTexts(QWidget* popup) {
    QStringList texts;
    for (QAction* action : popup->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

class CEditExTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit.resize(320, 120);
        edit.setPlainText(QStringLiteral("hello world example"));
        ASSERT_TRUE(testing::ShowAndActivate(&edit));
    }
    // The middle of the word starting at `position`.
    QPoint PointOf(int position) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(position);
        return edit.cursorRect(cursor).center() + QPoint(4, 0);
    }

    CEditEx edit;
};

TEST_F(CEditExTest, ColourSettersReturnThePreviousColourAndTheFontComesFromTheRecord) {
    const QColor base = edit.palette().color(QPalette::Base);
    EXPECT_EQ(edit.SetBackgroundColour(QColor(10, 20, 30)), base);
    EXPECT_EQ(edit.SetBackgroundColour(QColor(40, 50, 60)), QColor(10, 20, 30));
    EXPECT_EQ(edit.palette().color(QPalette::Inactive, QPalette::Base), QColor(40, 50, 60));
    EXPECT_EQ(testing::PixelAt(testing::Grab(edit.viewport()), 3, edit.viewport()->height() - 3),
              QColor(40, 50, 60));
    const QColor text = edit.palette().color(QPalette::Text);
    EXPECT_EQ(edit.SetTextColour(QColor(200, 0, 0)), text);
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(200, 0, 0));

    const QFont platform = edit.font();
    core::LogFont record;
    record.lfHeight = -20;
    record.lfWeight = 700;
    record.lfItalic = 1;
    record.lfFaceName = "DejaVu Sans Mono";
    edit.SetTextFont(&record);
    EXPECT_EQ(edit.font().pixelSize(), 20);
    EXPECT_EQ(edit.font().weight(), QFont::Bold);
    EXPECT_TRUE(edit.font().italic());
    EXPECT_EQ(edit.font().family(), QStringLiteral("DejaVu Sans Mono"));
    const core::LogFont zero;
    edit.SetTextFont(&zero);
    EXPECT_EQ(edit.font(), platform);
}

TEST_F(CEditExTest, RightClickShowsTheProgramsMenuOrTheStandardOne) {
    struct Case {
        int menuId;
        bool own;
    };
    for (const Case c : {Case{0, false}, Case{core::kClickMenu, true}, Case{999, false}}) {
        edit.contextMenuId = c.menuId;
        QStringList texts;
        bool seen = false;
        testing::WhenPopup([&](QWidget* popup) {
            texts = ActionTexts(popup);
            seen = true;
            popup->close();
        });
        // Through the window, so the press becomes a context-menu request.
        const QPoint at = edit.viewport()->mapTo(&edit, PointOf(1));
        QTest::mousePress(edit.windowHandle(), Qt::RightButton, {}, at);
        QTest::mouseRelease(edit.windowHandle(), Qt::RightButton, {}, at);
        ASSERT_TRUE(QTest::qWaitFor([&] { return seen; }, 5000)) << c.menuId;
        if (c.own) {
            EXPECT_EQ(texts, (QStringList{"&Go to URL", "&Open File", "-", "&Reply to", "&Send new",
                                          "-", "&Copy\tCtrl+C"}));
        } else {
            EXPECT_EQ(texts.filter(QStringLiteral("Select All")).size(), 1) << c.menuId;
        }
    }
}

} // namespace
} // namespace kestrola::ui
