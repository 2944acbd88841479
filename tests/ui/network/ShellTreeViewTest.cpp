#include "network/ui/ShellTreeView.h"

#include "RecordingReportSink.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "platform/linux/LinuxShellNamespace.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

namespace fs = std::filesystem;
using platform::ShellCommand;
using platform::ShellEntry;
using platform::ShellListing;
using platform::ShellMenu;
using platform::ShellStatus;
using Strings = std::vector<std::string>;

// Lists and builds menus through GIO, but records launches instead of starting applications.
class RecordingLauncher : public platform::ShellNamespace {
public:
    explicit RecordingLauncher(platform::ShellNamespace& inner) : m_inner(inner) {}

    std::optional<std::string> SpecialFolderLocation(int folderId) override {
        return m_inner.SpecialFolderLocation(folderId);
    }
    std::string DesktopLocation() override { return m_inner.DesktopLocation(); }
    ShellListing EnumerateFolder(const std::string& location) override {
        return m_inner.EnumerateFolder(location);
    }
    int CompareEntries(const ShellEntry& first, const ShellEntry& second) override {
        return m_inner.CompareEntries(first, second);
    }
    ShellMenu QueryContextMenu(const ShellEntry& entry) override {
        ++menuQueries;
        return m_inner.QueryContextMenu(entry);
    }
    ShellStatus InvokeCommand(const ShellEntry& entry, const ShellCommand& command) override {
        launched.emplace_back(entry.location, command.label);
        return {};
    }

    int menuQueries = 0;
    std::vector<std::pair<std::string, std::string>> launched;

private:
    platform::ShellNamespace& m_inner;
};

class ShellTreeViewTest : public ::testing::Test {
protected:
    ShellTreeViewTest() {
        for (const char* folder :
             {"places/Entire Network/Workgroup 10/Server A/Share/deep",
              "places/Entire Network/Workgroup 10/server b", "places/Entire Network/Workgroup 9/PC",
              "places/Entire Network/Domain", "places/printers", "places/Zeta Share/Inner",
              "Desktop/Projects", "Desktop/music", "home/Documents"})
            fs::create_directories(temp.File(folder));
        for (const char* file :
             {"places/readme.txt", "places/Entire Network/info.txt",
              "places/Entire Network/Workgroup 10/Server A/printer.ppd", "Desktop/todo.txt"})
            testing::WriteFileBytes(temp.File(file), "x");
        options.networkLocation = Uri("places");
        options.desktopFolder = temp.File("Desktop");
        options.homeFolder = temp.File("home");
        tree.setHeaderHidden(true);
        tree.resize(300, 340);
    }

    std::string Uri(const std::string& relative) const { return "file://" + temp.File(relative); }

    ShellTreeView& View() {
        if (!view) {
            gio = std::make_unique<platform::LinuxShellNamespace>(options);
            shell = std::make_unique<RecordingLauncher>(*gio);
            view = std::make_unique<ShellTreeView>(&tree, *shell);
        }
        return *view;
    }

    // Starts a fill and runs the event loop until it has ended.
    bool Fill() {
        QSignalSpy filled(&View(), &ShellTreeView::Filled);
        if (!View().StartFill())
            return false;
        return filled.wait(20000);
    }

    QTreeWidgetItem* Find(const QString& path) {
        QTreeWidgetItem* item = nullptr;
        for (const QString& part : path.split(QLatin1Char('/'))) {
            const int count = item != nullptr ? item->childCount() : tree.topLevelItemCount();
            QTreeWidgetItem* found = nullptr;
            for (int i = 0; i < count && found == nullptr; ++i) {
                QTreeWidgetItem* child = item != nullptr ? item->child(i) : tree.topLevelItem(i);
                if (child->text(0) == part)
                    found = child;
            }
            EXPECT_NE(found, nullptr) << path.toStdString();
            if (found == nullptr)
                return nullptr;
            item = found;
        }
        return item;
    }

    Strings Texts(QTreeWidgetItem* parent = nullptr) {
        Strings texts;
        const int count = parent != nullptr ? parent->childCount() : tree.topLevelItemCount();
        for (int i = 0; i < count; ++i)
            texts.push_back((parent != nullptr ? parent->child(i) : tree.topLevelItem(i))
                                ->text(0)
                                .toStdString());
        return texts;
    }

    Strings AllTexts() {
        Strings texts;
        for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it)
            texts.push_back((*it)->text(0).toStdString());
        return texts;
    }

    // A point on the item's text, one beside it on the same row.
    QPoint OnLabel(QTreeWidgetItem* item) {
        const QRect row = tree.visualItemRect(item);
        const int checkAndIcon = 44;
        return {row.left() + checkAndIcon + tree.fontMetrics().horizontalAdvance(item->text(0)) / 2,
                row.center().y()};
    }
    QPoint OnIcon(QTreeWidgetItem* item) {
        const QRect row = tree.visualItemRect(item);
        return {row.left() + 31, row.center().y()};
    }
    QPoint BesideLabel(QTreeWidgetItem* item) {
        const QRect row = tree.visualItemRect(item);
        return {tree.viewport()->width() - 4, row.center().y()};
    }

    // What a right click at `point` sends the tree. A menu that should not open is closed
    // again after a while, so that the test fails instead of waiting.
    void RightClick(const QPoint& point, bool menuExpected) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [menuExpected] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                if (!menuExpected)
                    ADD_FAILURE() << "a menu opened";
                popup->close();
            }
        });
        guard.start(menuExpected ? 30000 : 2000);
        QContextMenuEvent event(QContextMenuEvent::Mouse, point,
                                tree.viewport()->mapToGlobal(point));
        QApplication::sendEvent(tree.viewport(), &event);
    }

    testing::TempDir temp;
    platform::LinuxShellNamespaceOptions options;
    std::unique_ptr<platform::LinuxShellNamespace> gio;
    std::unique_ptr<RecordingLauncher> shell;
    QTreeWidget tree;
    std::unique_ptr<ShellTreeView> view;
};

TEST_F(ShellTreeViewTest, FillsTheRootAndTwoLevelsBelowTheFirstRootItemSorted) {
    ASSERT_TRUE(Fill());
    EXPECT_EQ(Texts(), (Strings{"Entire Network", "printers", "Zeta Share"}));
    QTreeWidgetItem* entire = Find("Entire Network");
    ASSERT_NE(entire, nullptr);
    EXPECT_EQ(Texts(entire), (Strings{"Domain", "Workgroup 9", "Workgroup 10"}));
    EXPECT_EQ(Texts(Find("Entire Network/Workgroup 10")), (Strings{"Server A", "server b"}));
    EXPECT_EQ(Texts(Find("Entire Network/Workgroup 9")), Strings{"PC"});

    // Deeper levels and the other root items are not filled yet.
    EXPECT_EQ(Find("Entire Network/Workgroup 10/Server A")->childCount(), 0);
    EXPECT_EQ(Find("Zeta Share")->childCount(), 0);
    EXPECT_EQ(Find("printers")->childCount(), 0);

    // The tree shows itself collapsed, with check boxes everywhere.
    for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it) {
        EXPECT_FALSE((*it)->isExpanded()) << (*it)->text(0).toStdString();
        EXPECT_TRUE((*it)->flags() & Qt::ItemIsUserCheckable);
    }
    // Listed while the first root item expanded: folders holding folders show a button.
    EXPECT_EQ(Find("Entire Network/Workgroup 10")->childIndicatorPolicy(),
              QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(Find("Entire Network/Domain")->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(ShellTreeViewTest, NonFoldersNeverAppear) {
    ASSERT_TRUE(Fill());
    tree.expandItem(Find("Entire Network/Workgroup 10/Server A"));
    const Strings texts = AllTexts();
    EXPECT_EQ(texts.size(), 10u);
    for (const std::string& text : texts) {
        EXPECT_EQ(text.find(".txt"), std::string::npos) << text;
        EXPECT_EQ(text.find(".ppd"), std::string::npos) << text;
    }
}

TEST_F(ShellTreeViewTest, DeeperLevelsFillOnTheFirstExpansionOnly) {
    ASSERT_TRUE(Fill());
    QTreeWidgetItem* server = Find("Entire Network/Workgroup 10/Server A");
    ASSERT_NE(server, nullptr);
    tree.expandItem(server);
    EXPECT_EQ(Texts(server), Strings{"Share"});
    EXPECT_EQ(server->child(0)->childCount(), 0);

    // What appears on disk later is not listed by a second expansion.
    fs::create_directories(temp.File("places/Entire Network/Workgroup 10/Server A/Later"));
    tree.collapseItem(server);
    tree.expandItem(server);
    EXPECT_EQ(Texts(server), Strings{"Share"});
    tree.collapseItem(Find("Entire Network"));
    tree.expandItem(Find("Entire Network"));
    EXPECT_EQ(Texts(Find("Entire Network")).size(), 3u);

    // Another root item fills when the user opens it; a folder without folders loses its
    // button once opened.
    tree.expandItem(Find("Zeta Share"));
    EXPECT_EQ(Texts(Find("Zeta Share")), Strings{"Inner"});
    tree.expandItem(Find("Zeta Share/Inner"));
    EXPECT_EQ(Find("Zeta Share/Inner")->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(ShellTreeViewTest, TheFirstRootItemIsNeitherCollectedNorClearedNorARecipient) {
    ASSERT_TRUE(Fill());
    for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it)
        (*it)->setCheckState(0, Qt::Checked);

    Strings names;
    View().Rules().CollectCheckedNames(names);
    EXPECT_EQ(names, (Strings{"printers", "Zeta Share", "Domain", "Workgroup 9", "PC",
                              "Workgroup 10", "Server A", "server b"}));
    View().Rules().ClearChecks();
    for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it) {
        const bool first = *it == tree.topLevelItem(0);
        EXPECT_EQ((*it)->checkState(0) == Qt::Checked, first) << (*it)->text(0).toStdString();
    }

    EXPECT_EQ(View().Rules().RecipientForSelection(View().ItemOf(Find("Entire Network"))),
              std::nullopt);
    EXPECT_EQ(View().Rules().RecipientForSelection(View().ItemOf(Find("Entire Network/Domain"))),
              "Domain");
}

TEST_F(ShellTreeViewTest, ARightClickBesideTheItemsOpensNothing) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&tree));
    tree.setCurrentItem(Find("Zeta Share"));

    const QRect last = tree.visualItemRect(tree.topLevelItem(tree.topLevelItemCount() - 1));
    RightClick({20, last.bottom() + 30}, false);
    EXPECT_EQ(tree.currentItem(), nullptr);
    EXPECT_TRUE(tree.selectedItems().isEmpty());

    QTreeWidgetItem* printers = Find("printers");
    RightClick(BesideLabel(printers), false);
    EXPECT_EQ(tree.currentItem(), printers);
    // The check box is no place for the menu either.
    RightClick(
        {tree.visualItemRect(printers).left() + 3, tree.visualItemRect(printers).center().y()},
        false);
    EXPECT_EQ(shell->menuQueries, 0);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ShellTreeViewTest, TheMenuListsOpenAndRunsIt) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&tree));
    QTreeWidgetItem* printers = Find("printers");

    Strings labels;
    testing::WhenPopup([&](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            labels.push_back(action->text().toStdString());
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions().front()).center());
    });
    RightClick(OnLabel(printers), true);

    ASSERT_GE(labels.size(), 2u);
    EXPECT_EQ(labels.front(), "Open");
    EXPECT_EQ(labels.back(), "Copy Location");
    EXPECT_EQ(tree.currentItem(), printers);
    ASSERT_EQ(shell->launched.size(), 1u);
    EXPECT_EQ(shell->launched[0].first, Uri("places/printers"));
    EXPECT_EQ(shell->launched[0].second, "Open");
}

TEST_F(ShellTreeViewTest, TheMenuOnTheImageCopiesTheLocation) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&tree));
    testing::WhenPopup([&](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions().back()).center());
    });
    RightClick(OnIcon(Find("Zeta Share")), true);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), temp.File("places/Zeta Share"));
    EXPECT_TRUE(shell->launched.empty());
}

TEST_F(ShellTreeViewTest, AMenuForAVanishedFolderShowsTheFailure) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&tree));
    fs::remove_all(temp.File("places/printers"));
    testing::RecordingReportSink reports;
    RightClick(OnLabel(Find("printers")), false);
    EXPECT_EQ(reports.texts, Strings{"GetUIObjectOf failed! hr=1"});
    EXPECT_EQ(shell->menuQueries, 1);
}

TEST_F(ShellTreeViewTest, AnUnreachablePlaceFallsBackToTheDesktopFolderElseHome) {
    options.networkLocation = Uri("no such place");
    ASSERT_TRUE(Fill());
    EXPECT_EQ(Texts(), (Strings{"music", "Projects"}));

    fs::remove_all(temp.File("Desktop"));
    ASSERT_TRUE(Fill());
    EXPECT_EQ(Texts(), Strings{"Documents"});
}

TEST_F(ShellTreeViewTest, OneFillAtATimeAndEachStartsEmpty) {
    QSignalSpy filled(&View(), &ShellTreeView::Filled);
    ASSERT_TRUE(View().StartFill());
    EXPECT_TRUE(View().IsFilling());
    EXPECT_FALSE(View().StartFill());
    ASSERT_TRUE(filled.wait(20000));
    EXPECT_FALSE(View().IsFilling());
    const Strings first = AllTexts();

    ASSERT_TRUE(Fill());
    EXPECT_EQ(AllTexts(), first);
    EXPECT_EQ(filled.count(), 2);
}

TEST_F(ShellTreeViewTest, DestroyingTheViewDuringAFillDoesNotWait) {
    // The fill's first change of the tree waits for this thread, which never gets to it.
    ASSERT_TRUE(View().StartFill());
    view.reset();
    QApplication::processEvents();
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}

TEST_F(ShellTreeViewTest, Picture) {
    ASSERT_TRUE(Fill());
    tree.expandItem(Find("Entire Network"));
    tree.expandItem(Find("Entire Network/Workgroup 10"));
    tree.expandItem(Find("Entire Network/Workgroup 10/Server A"));
    Find("Entire Network/Workgroup 9")->setCheckState(0, Qt::Checked);
    Find("Entire Network/Workgroup 10/server b")->setCheckState(0, Qt::Checked);
    tree.setCurrentItem(Find("Entire Network/Workgroup 10/Server A"));
    ASSERT_TRUE(testing::ShowAndActivate(&tree));
    const QString path = testing::SavePicture(&tree, QStringLiteral("shell-tree.png"));
    EXPECT_TRUE(QFileInfo::exists(path));
}

} // namespace
} // namespace kestrola::ui
