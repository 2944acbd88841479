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

// Marker 150x100 in a 300x200 dialog; the button and one edit inside it, two controls across
// its edges, two wholly outside.
class TestDialog : public ExpandingDialog {
public:
    explicit TestDialog(bool keep) : ExpandingDialog(nullptr, kMarker, kButton, keep) {
        resize(300, 200);
        button = Make<QPushButton>(kButton, {10, 10, 60, 20});
        inner = Make<QLineEdit>(0, {10, 40, 100, 20});
        straddling = Make<QLineEdit>(0, {140, 50, 40, 20});
        straddlingDisabled = Make<QLineEdit>(0, {20, 90, 60, 20});
        straddlingDisabled->setEnabled(false);
        right = Make<QLineEdit>(0, {200, 20, 60, 20});
        below = Make<QLineEdit>(0, {20, 150, 60, 20});
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

    bool allowChange = true;
    std::vector<bool> asked;
    std::vector<bool> told;
    std::vector<std::pair<int, bool>> commands; // id and the state when its handler ran

    QPushButton* button;
    QLineEdit* inner;
    QLineEdit* straddling;
    QLineEdit* straddlingDisabled;
    QLineEdit* right;
    QLineEdit* below;
    QPushButton* other;
    QWidget* marker;

protected:
    bool CanChangeExpansion(bool currentlyExpanded) override {
        asked.push_back(currentlyExpanded);
        return allowChange;
    }
    void ExpansionChanged(bool nowExpanded) override { told.push_back(nowExpanded); }
    void OnCommand(int id) override { commands.emplace_back(id, Expanded()); }
};

TEST(ExpandingDialog, OpensCollapsedAtTheMarkersCorner) {
    TestDialog dialog(true);
    EXPECT_TRUE(dialog.Expanded());
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    EXPECT_FALSE(dialog.Expanded());
    EXPECT_EQ(dialog.size(), QSize(150, 100));
    EXPECT_EQ(dialog.FullSize(), QSize(300, 200));
    EXPECT_FALSE(dialog.marker->isVisible());
    EXPECT_TRUE(dialog.asked.empty()) << "initialisation asks no hook";
    EXPECT_TRUE(dialog.told.empty());

    EXPECT_TRUE(dialog.button->isEnabled());
    EXPECT_TRUE(dialog.inner->isEnabled());
    EXPECT_TRUE(dialog.straddling->isEnabled());
    EXPECT_FALSE(dialog.straddlingDisabled->isEnabled());
    EXPECT_FALSE(dialog.right->isEnabled());
    EXPECT_FALSE(dialog.below->isEnabled());
    EXPECT_FALSE(dialog.other->isEnabled());
}

TEST(ExpandingDialog, ExpandRestoresTheSizeAndTheControls) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_TRUE(dialog.right->isEnabled());
    EXPECT_TRUE(dialog.below->isEnabled());
    EXPECT_TRUE(dialog.straddling->isEnabled());
    EXPECT_FALSE(dialog.straddlingDisabled->isEnabled()) << "a straddler keeps its state";
    EXPECT_TRUE(dialog.button->isEnabled()) << "kept enabled";
    EXPECT_EQ(dialog.asked, std::vector<bool>{false});
    EXPECT_EQ(dialog.told, std::vector<bool>{true});

    // A resize of the expanded window is forgotten: the full size is measured once.
    dialog.resize(400, 260);
    EXPECT_TRUE(dialog.SetExpanded(false));
    EXPECT_EQ(dialog.size(), QSize(150, 100));
    EXPECT_FALSE(dialog.right->isEnabled());
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_EQ(dialog.size(), QSize(300, 200));
}

TEST(ExpandingDialog, SameStateAsksAndTellsNothing) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    EXPECT_TRUE(dialog.SetExpanded(false));
    ASSERT_TRUE(dialog.SetExpanded(true));
    dialog.asked.clear();
    dialog.told.clear();
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_TRUE(dialog.asked.empty());
    EXPECT_TRUE(dialog.told.empty());
}

TEST(ExpandingDialog, RefusedChangeKeepsTheState) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    dialog.allowChange = false;
    EXPECT_FALSE(dialog.SetExpanded(true));
    EXPECT_FALSE(dialog.Expanded());
    EXPECT_EQ(dialog.size(), QSize(150, 100));
    EXPECT_EQ(dialog.asked, std::vector<bool>{false});
    EXPECT_TRUE(dialog.told.empty());
}

TEST(ExpandingDialog, ButtonClickTogglesBeforeTheWindowsOwnHandler) {
    TestDialog dialog(true);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    EXPECT_TRUE(dialog.Expanded());
    QTest::mouseClick(dialog.other, Qt::LeftButton);
    EXPECT_TRUE(dialog.Expanded());
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    EXPECT_FALSE(dialog.Expanded());
    EXPECT_EQ(dialog.commands, (std::vector<std::pair<int, bool>>{
                                   {kButton, true}, {kOther, true}, {kButton, false}}));
    // After each toggle the focus sits on the next tab stop after the button.
    EXPECT_EQ(dialog.focusWidget(), dialog.inner);
}

TEST(ExpandingDialog, WithoutKeepTheButtonIsDisabledOnceExpanded) {
    TestDialog dialog(false);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    dialog.button->setFocus();
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    EXPECT_TRUE(dialog.Expanded());
    EXPECT_FALSE(dialog.button->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), dialog.inner);
    QTest::mouseClick(dialog.button, Qt::LeftButton);
    EXPECT_TRUE(dialog.Expanded()) << "a disabled button cannot collapse it";
}

TEST(ExpandingDialog, WithoutMarkerOrButtonNothingChanges) {
    TestDialog dialog(true);
    SetControlId(dialog.marker, 0);
    ASSERT_TRUE(testing::ShowAndActivate(&dialog));
    EXPECT_TRUE(dialog.Expanded());
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_TRUE(dialog.right->isEnabled());
}

} // namespace
} // namespace kestrola::ui
