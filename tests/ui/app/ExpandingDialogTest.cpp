#include "app/ui/ExpandingDialog.h"

#include "UiTestSupport.h"
#include "controls/DialogTemplate.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

constexpr int kMarker = 1025;
constexpr int kButton = 1005;
constexpr int kOther = 1300;

// Marker 150x100 in a 300x200 dialog; the button and an edit inside it, two controls across
// its edges (one disabled), two wholly outside.
class TestDialog : public ExpandingDialog {
public:
    explicit TestDialog(bool keep) : ExpandingDialog(nullptr, kMarker, kButton, keep) {
        resize(300, 200);
        button = Make<QPushButton>(kButton, {10, 10, 60, 20});
        inner = Make<QLineEdit>(0, {10, 40, 100, 20});
        straddling = Make<QLineEdit>(0, {140, 50, 40, 20});
        Make<QLineEdit>(0, {20, 90, 60, 20})->setEnabled(false);
        right = Make<QLineEdit>(0, {200, 20, 60, 20});
        other = Make<QPushButton>(kOther, {200, 150, 60, 20});
        marker = Make<QWidget>(kMarker, {0, 0, 150, 100});
    }
    template <typename W> W* Make(int id, const QRect& geometry) {
        auto* widget = new W(this);
        widget->setGeometry(geometry);
        if (id != 0)
            SetControlId(widget, id);
        return widget;
    }
    // Which controls are enabled: button, inner, straddling, the disabled one, right, other.
    std::vector<bool> Enabled() const {
        std::vector<bool> enabled;
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child != marker)
                enabled.push_back(child->isEnabled());
        return enabled;
    }

    bool allowChange = true;
    std::vector<bool> asked, told;
    std::vector<std::pair<int, bool>> commands; // id and the state when its handler ran
    QPushButton *button, *other;
    QLineEdit *inner, *straddling, *right;
    QWidget* marker;

protected:
    bool CanChangeExpansion(bool currentlyExpanded) override {
        asked.push_back(currentlyExpanded);
        return allowChange;
    }
    void ExpansionChanged(bool nowExpanded) override { told.push_back(nowExpanded); }
    void OnCommand(int id) override { commands.emplace_back(id, Expanded()); }
};

TEST(ExpandingDialog, OpensCollapsedAndSwitchesSizeAndControls) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    EXPECT_FALSE(dialog.Expanded());
    EXPECT_EQ(dialog.size(), QSize(150, 100));
    EXPECT_FALSE(dialog.marker->isVisible());
    EXPECT_EQ(dialog.Enabled(), (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_TRUE(dialog.asked.empty() && dialog.told.empty()) << "initialisation asks no hook";

    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_EQ(dialog.Enabled(), (std::vector<bool>{true, true, true, false, true, true}));
    EXPECT_TRUE(dialog.SetExpanded(true)) << "the same state asks and tells nothing";
    EXPECT_EQ(dialog.asked, std::vector<bool>{false});
    EXPECT_EQ(dialog.told, std::vector<bool>{true});
    dialog.resize(400, 260); // forgotten: the full size is measured once
    EXPECT_TRUE(dialog.SetExpanded(false));
    EXPECT_EQ(dialog.size(), QSize(150, 100));
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_EQ(dialog.size(), QSize(300, 200));

    dialog.allowChange = false;
    EXPECT_FALSE(dialog.SetExpanded(false));
    EXPECT_TRUE(dialog.Expanded());
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_EQ(dialog.told.size(), 3u);
}

TEST(ExpandingDialog, ButtonClickTogglesBeforeTheWindowsOwnHandler) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    QTest::mouseClick(dialog.other, Qt::LeftButton);
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    EXPECT_FALSE(dialog.Expanded());
    EXPECT_EQ(dialog.commands, (std::vector<std::pair<int, bool>>{
                                   {kButton, true}, {kOther, true}, {kButton, false}}));
    EXPECT_EQ(dialog.focusWidget(), dialog.inner) << "the next tab stop after the button";

    TestDialog once(false); // without keep the button is disabled once expanded
    ASSERT_TRUE(testing::ShowAndActivate(&once));
    once.button->setFocus();
    QTest::mouseClick(once.button, Qt::LeftButton);
    EXPECT_FALSE(once.button->isEnabled());
    EXPECT_EQ(once.focusWidget(), once.inner);
    QTest::mouseClick(once.button, Qt::LeftButton);
    EXPECT_TRUE(once.Expanded());

    TestDialog unmarked(true);
    SetControlId(unmarked.marker, 0);
    ASSERT_TRUE(testing::ShowAndActivate(&unmarked));
    EXPECT_TRUE(unmarked.Expanded()) << "without a marker nothing changes";
    EXPECT_EQ(unmarked.size(), QSize(300, 200));
}

} // namespace
} // namespace kestrola::ui
