// The recipient tree with the scanner: a real scan thread whose every change reaches the tree
// through blocking hand-overs to this (the user-interface) thread. Provider mode runs on an
// in-memory network provider, shell mode on GIO over folders the tests make.
#include "network/ui/RecipientTree.h"

#include "RecordingReportSink.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "controls/Resources.h"
#include "fakes/FakeNetworkProvider.h"
#include "network/NetworkScanner.h"
#include "network/ui/QtUiDispatcher.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxShellNamespace.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using core::NetworkScanner;
using platform::testing::FakeNetworkProvider;

struct Panel {
    std::shared_ptr<FakeNetworkProvider> provider = std::make_shared<FakeNetworkProvider>();
    RecipientTree tree;
    NetworkScanner scanner{
        provider, std::shared_ptr<const platform::CodePage>(platform::LinuxCodePage::Create(437))};
    // Every label change in order, and whether each came on this thread.
    QStringList changes;
    bool foreignThread = false;

    explicit Panel(int mode = 1) {
        QObject::connect(
            &tree, &RecipientTree::labelChanged, [this](int control, const QString& text) {
                changes << QString::number(control) + " " + text;
                foreignThread = foreignThread || QThread::currentThread() != qApp->thread();
            });
        tree.resize(260, 320);
        scanner.mode = mode;
        scanner.SetPanel(&tree, std::make_shared<QtUiDispatcher>());
        EXPECT_TRUE(scanner.LookUpProvider());
        scanner.InitTree();
    }

    bool Finished() const {
        return scanner.IsScanning() == 0 && !changes.isEmpty() &&
               changes.back() == QStringLiteral("1218 Scan complete");
    }
    // Starts a scan and lets this thread carry out its changes until it has finished.
    bool Scan() {
        changes.clear();
        scanner.StartScan();
        return QTest::qWaitFor([this] { return Finished(); }, 20000);
    }

    // The tree as lines "GROUP" and "GROUP/PC" in tree order.
    QStringList Lines() const {
        QStringList out;
        QTreeWidget* widget = tree.Tree();
        for (int g = 0; g < widget->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* group = widget->topLevelItem(g);
            out << group->text(0);
            for (int c = 0; c < group->childCount(); ++c)
                out << group->text(0) + "/" + group->child(c)->text(0);
        }
        return out;
    }
    QTreeWidgetItem* Find(const QString& path) const {
        const QStringList parts = path.split('/');
        QTreeWidget* widget = tree.Tree();
        for (int g = 0; g < widget->topLevelItemCount(); ++g) {
            QTreeWidgetItem* group = widget->topLevelItem(g);
            if (group->text(0) != parts[0])
                continue;
            if (parts.size() == 1)
                return group;
            for (int c = 0; c < group->childCount(); ++c) {
                if (group->child(c)->text(0) == parts[1])
                    return group->child(c);
            }
        }
        return nullptr;
    }
};

bool SameIcon(const QIcon& a, int resource) {
    return !a.isNull() &&
           a.pixmap(16, 16).toImage() == LoadIconResource(resource).pixmap(16, 16).toImage();
}

TEST(RecipientTree, GroupsAndTheirComputersInSortedOrderWithCheckBoxes) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"pc10", "PC2", "Alpha", "pc1"});
    panel.provider->AddGroup("accounts", {"LEDGER"});
    panel.provider->AddGroup("Sales", {});
    ASSERT_TRUE(panel.Scan());
    EXPECT_EQ(panel.Lines(),
              (QStringList{"accounts", "accounts/LEDGER", "Sales", "WORKGROUP", "WORKGROUP/Alpha",
                           "WORKGROUP/pc1", "WORKGROUP/pc10", "WORKGROUP/PC2"}));
    for (const QString& path : panel.Lines()) {
        const QTreeWidgetItem* item = panel.Find(path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        EXPECT_TRUE(item->flags() & Qt::ItemIsUserCheckable);
        EXPECT_EQ(item->checkState(0), Qt::Unchecked);
        EXPECT_TRUE(SameIcon(item->icon(0), path.contains('/') ? 278 : 277)) << path.toStdString();
    }
    panel.Find("WORKGROUP")->setExpanded(true);
    panel.Find("accounts")->setExpanded(true);
    testing::SavePicture(&panel.tree, QStringLiteral("recipient-tree.png"));
}

TEST(RecipientTree, CountersAndStatusTextsOverAScan) {
    Panel panel;
    EXPECT_EQ(panel.tree.Label(1218)->text(), QStringLiteral("Clear ..."));
    EXPECT_EQ(panel.tree.Label(1219)->text(), QStringLiteral("Groups: 0"));
    EXPECT_EQ(panel.tree.Label(1220)->text(), QStringLiteral("Machines:  0"));
    panel.provider->AddGroup("WORKGROUP", {"PC2", "PC1"});
    panel.provider->AddGroup("OTHERGRP", {"PC3"});
    panel.provider->members["OTHERGRP"].enumError = platform::kNetErrorNoNetwork;
    ASSERT_TRUE(panel.Scan());
    EXPECT_EQ(
        panel.changes,
        (QStringList{"1218 Enumerate Groups...", "1219 Groups: 1", "1220 Computers: 0",
                     "1219 Groups: 2", "1220 Computers: 0", "1218 Done...",
                     "1218 Look OTHERGRP ...", "1218 We have errors...", "1218 Look WORKGROUP ...",
                     "1219 Groups: 2", "1220 Computers: 1", "1219 Groups: 2", "1220 Computers: 2",
                     "1218 Done...", "1218 Scan complete"}));
    EXPECT_FALSE(panel.foreignThread) << "a label changed on the scan thread";
    EXPECT_EQ(panel.tree.Label(1220)->text(), QStringLiteral("Computers: 2"));
    EXPECT_EQ(panel.scanner.HasScanned(), 1);
}

TEST(RecipientTree, LabelsShowReceivedNamesAsPlainText) {
    Panel panel;
    // A workgroup name is whatever another host announces; as rich text it could load images.
    panel.provider->AddGroup("<img src=x>", {"PC1"});
    ASSERT_TRUE(panel.Scan());
    EXPECT_TRUE(panel.changes.contains("1218 Look <img src=x> ..."))
        << panel.changes.join(',').toStdString();
    for (const int control : {1218, 1219, 1220})
        EXPECT_EQ(panel.tree.Label(control)->textFormat(), Qt::PlainText) << control;
}

TEST(RecipientTree, ASecondStartDuringAScanDoesNothing) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"PC1"});
    panel.provider->Hold();
    panel.scanner.StartScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.provider->Waiting(); }, 5000));
    EXPECT_EQ(panel.scanner.IsScanning(), 1);
    panel.scanner.StartScan();
    panel.provider->Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.Finished(); }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(panel.provider->Opened(),
              (std::vector<std::string>{"top", "groups Fake Network", "group WORKGROUP"}));
    EXPECT_EQ(panel.Lines(), (QStringList{"WORKGROUP", "WORKGROUP/PC1"}));
    // Once it has finished, a scan starts again and rebuilds the tree.
    panel.provider->AddGroup("LATER", {"PC9"});
    ASSERT_TRUE(panel.Scan());
    EXPECT_EQ(panel.Lines(), (QStringList{"LATER", "LATER/PC9", "WORKGROUP", "WORKGROUP/PC1"}));
}

TEST(RecipientTree, CheckedNamesInTreeOrderAndClearingThem) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"PC2", "PC1"});
    panel.provider->AddGroup("ACCOUNTS", {"LEDGER", "BOOKS"});
    ASSERT_TRUE(panel.Scan());
    // Checked as a user would, in an order other than the tree's.
    for (const char* path : {"WORKGROUP/PC2", "ACCOUNTS/LEDGER", "WORKGROUP", "WORKGROUP/PC1"})
        panel.Find(QString::fromUtf8(path))->setCheckState(0, Qt::Checked);
    std::vector<std::string> names;
    EXPECT_EQ(panel.scanner.CollectCheckedNames(names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"LEDGER", "WORKGROUP", "PC1", "PC2"}));
    EXPECT_EQ(panel.scanner.ClearChecks(), 0);
    for (const QString& path : panel.Lines())
        EXPECT_EQ(panel.Find(path)->checkState(0), Qt::Unchecked) << path.toStdString();
    names.clear();
    panel.scanner.CollectCheckedNames(names);
    EXPECT_TRUE(names.empty());
}

TEST(RecipientTree, SelectingWhileScanningChoosesNoRecipient) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"PC1", "PC2"});
    ASSERT_TRUE(panel.Scan());
    QSignalSpy chosen(&panel.tree, &RecipientTree::recipientChosen);
    panel.provider->Hold();
    panel.scanner.StartScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.provider->Waiting(); }, 5000));
    // The scan emptied the tree before it stopped at the gate; an item added now (as the
    // earlier tree had them) is selected while the scan runs.
    const auto item = panel.tree.InsertSorted(core::NetworkPanel::kNoItem, "STALE", 1);
    panel.tree.Tree()->setCurrentItem(panel.tree.ItemOf(item));
    EXPECT_EQ(chosen.count(), 0);
    panel.provider->Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.Finished(); }, 10000));
    panel.tree.Tree()->setCurrentItem(panel.Find("WORKGROUP/PC2"));
    panel.tree.Tree()->setCurrentItem(panel.Find("WORKGROUP"));
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("PC2"));
    EXPECT_EQ(chosen[1][0].toString(), QStringLiteral("WORKGROUP")) << "groups are recipients too";
}

TEST(RecipientTree, WithoutFastScanTheOwnIconsAreNotShown) {
    Panel panel(0);
    panel.scanner.SetShellFill([](const NetworkScanner::PanelCall& onPanel) {
        onPanel([](core::NetworkPanel& p) {
            const auto root = p.InsertSorted(core::NetworkPanel::kNoItem, "Entire Network", 1);
            p.InsertSorted(root, "WORKGROUP", 1);
        });
    });
    ASSERT_TRUE(panel.Scan());
    EXPECT_EQ(panel.changes,
              (QStringList{"1218 Scanning...", "1219 ", "1220 ", "1218 Scan complete"}));
    EXPECT_EQ(panel.Lines(), (QStringList{"Entire Network", "Entire Network/WORKGROUP"}));
    EXPECT_TRUE(panel.Find("Entire Network")->icon(0).isNull());
    QSignalSpy chosen(&panel.tree, &RecipientTree::recipientChosen);
    panel.tree.Tree()->setCurrentItem(panel.Find("Entire Network"));
    panel.tree.Tree()->setCurrentItem(panel.Find("Entire Network/WORKGROUP"));
    ASSERT_EQ(chosen.count(), 1) << "the shell tree's first root item is no recipient";
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("WORKGROUP"));
}

// Shell mode ("FastScan" 0).

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Lists and builds menus through GIO, but records launches instead of starting applications.
class RecordingLauncher : public platform::ShellNamespace {
public:
    explicit RecordingLauncher(platform::LinuxShellNamespaceOptions options)
        : m_inner(std::move(options)) {}

    std::optional<std::string> SpecialFolderLocation(int folderId) override {
        return m_inner.SpecialFolderLocation(folderId);
    }
    std::string DesktopLocation() override { return m_inner.DesktopLocation(); }
    platform::ShellListing EnumerateFolder(const std::string& location) override {
        return m_inner.EnumerateFolder(location);
    }
    int CompareEntries(const platform::ShellEntry& first,
                       const platform::ShellEntry& second) override {
        return m_inner.CompareEntries(first, second);
    }
    platform::ShellMenu QueryContextMenu(const platform::ShellEntry& entry) override {
        ++menuQueries;
        return m_inner.QueryContextMenu(entry);
    }
    platform::ShellStatus InvokeCommand(const platform::ShellEntry& entry,
                                        const platform::ShellCommand& command) override {
        launched.emplace_back(entry.location, command.label);
        return {};
    }

    int menuQueries = 0;
    std::vector<std::pair<std::string, std::string>> launched;

private:
    platform::LinuxShellNamespace m_inner;
};

class RecipientTreeShellTest : public ::testing::Test {
protected:
    RecipientTreeShellTest() {
        for (const char* folder :
             {"places/Entire Network/Workgroup 10/Server A/Share/deep",
              "places/Entire Network/Workgroup 10/server b", "places/Entire Network/Workgroup 9/PC",
              "places/Entire Network/Domain", "places/printers", "places/Zeta Share/Inner/Core",
              "Desktop/Projects", "Desktop/music", "home/Documents"})
            fs::create_directories(temp.File(folder));
        for (const char* file :
             {"places/readme.txt", "places/Entire Network/info.txt",
              "places/Entire Network/Workgroup 10/Server A/printer.ppd", "Desktop/todo.txt"})
            testing::WriteFileBytes(temp.File(file), "x");
        options.networkLocation = Uri("places");
        options.desktopFolder = temp.File("Desktop");
        options.homeFolder = temp.File("home");
        panel.tree.resize(300, 380);
    }

    std::string Uri(const std::string& relative) const { return "file://" + temp.File(relative); }

    // Scans in shell mode and lets this thread carry out the scan's changes until it ends.
    bool Fill() {
        if (!shell) {
            shell = std::make_shared<RecordingLauncher>(options);
            panel.scanner.SetShellNamespace(shell);
        }
        return panel.Scan();
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

    // A point on the item's text, one on its image, one beside it on the same row.
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

    // The right arrow key on the item, as a user opens an item from the keyboard: the tree
    // expands only an item that shows an expand button or has children.
    void OpenByKey(QTreeWidgetItem* item) {
        tree.setCurrentItem(item);
        QTest::keyClick(&tree, Qt::Key_Right);
    }

    ::kestrola::testing::TempDir temp;
    platform::LinuxShellNamespaceOptions options;
    std::shared_ptr<RecordingLauncher> shell;
    Panel panel{0};
    QTreeWidget& tree = *panel.tree.Tree();
};

TEST_F(RecipientTreeShellTest, FillsTheRootAndTwoLevelsBelowTheFirstRootItemSorted) {
    ASSERT_TRUE(Fill());
    EXPECT_EQ(panel.changes,
              (QStringList{"1218 Scanning...", "1219 ", "1220 ", "1218 Scan complete"}));
    EXPECT_FALSE(panel.foreignThread) << "a label changed on the scan thread";
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
    EXPECT_EQ(panel.scanner.HasScanned(), 1);
}

TEST_F(RecipientTreeShellTest, EveryFolderHoldingFoldersCanBeOpened) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
    const struct {
        const char* path;
        bool button;
    } cases[] = {
        {"Entire Network", true},
        {"Zeta Share", true},
        {"printers", false},
        {"Entire Network/Domain", false},
        {"Entire Network/Workgroup 10", true},
        {"Entire Network/Workgroup 10/Server A", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(c.path)->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, c.button)
            << c.path;
    }

    // Another root item and the levels below it open for the user, each listed on its first
    // expansion.
    OpenByKey(Find("Zeta Share"));
    ASSERT_EQ(Texts(Find("Zeta Share")), Strings{"Inner"});
    EXPECT_EQ(Find("Zeta Share/Inner")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    OpenByKey(Find("Zeta Share/Inner"));
    EXPECT_EQ(Texts(Find("Zeta Share/Inner")), Strings{"Core"});

    // Deeper than the scan went below the first root item.
    tree.expandItem(Find("Entire Network"));
    tree.expandItem(Find("Entire Network/Workgroup 10"));
    OpenByKey(Find("Entire Network/Workgroup 10/Server A"));
    ASSERT_EQ(Texts(Find("Entire Network/Workgroup 10/Server A")), Strings{"Share"});
    OpenByKey(Find("Entire Network/Workgroup 10/Server A/Share"));
    EXPECT_EQ(Texts(Find("Entire Network/Workgroup 10/Server A/Share")), Strings{"deep"});
}

TEST_F(RecipientTreeShellTest, NonFoldersNeverAppear) {
    ASSERT_TRUE(Fill());
    tree.expandItem(Find("Entire Network/Workgroup 10/Server A"));
    const Strings texts = AllTexts();
    EXPECT_EQ(texts.size(), 10u);
    for (const std::string& text : texts) {
        EXPECT_EQ(text.find(".txt"), std::string::npos) << text;
        EXPECT_EQ(text.find(".ppd"), std::string::npos) << text;
    }
}

TEST_F(RecipientTreeShellTest, DeeperLevelsFillOnTheFirstExpansionOnly) {
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

    // A folder without folders loses its button once opened.
    tree.expandItem(Find("Zeta Share"));
    tree.expandItem(Find("Zeta Share/Inner"));
    tree.expandItem(Find("Zeta Share/Inner/Core"));
    EXPECT_EQ(Find("Zeta Share/Inner/Core")->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(RecipientTreeShellTest, TheFirstRootItemIsNeitherCollectedNorClearedNorARecipient) {
    ASSERT_TRUE(Fill());
    for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it)
        (*it)->setCheckState(0, Qt::Checked);

    Strings names;
    EXPECT_EQ(panel.scanner.CollectCheckedNames(names), 0);
    EXPECT_EQ(names, (Strings{"printers", "Zeta Share", "Domain", "Workgroup 9", "PC",
                              "Workgroup 10", "Server A", "server b"}));
    EXPECT_EQ(panel.scanner.ClearChecks(), 0);
    for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it) {
        const bool first = *it == tree.topLevelItem(0);
        EXPECT_EQ((*it)->checkState(0) == Qt::Checked, first) << (*it)->text(0).toStdString();
    }

    QSignalSpy chosen(&panel.tree, &RecipientTree::recipientChosen);
    tree.setCurrentItem(Find("Entire Network"));
    tree.setCurrentItem(Find("Entire Network/Domain"));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("Domain"));
}

TEST_F(RecipientTreeShellTest, ARightClickBesideTheItemsOpensNothing) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
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

TEST_F(RecipientTreeShellTest, TheMenuListsOpenAndRunsIt) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
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

TEST_F(RecipientTreeShellTest, TheMenuOnTheImageCopiesTheLocation) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
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

TEST_F(RecipientTreeShellTest, AMenuForAVanishedFolderShowsTheFailure) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
    fs::remove_all(temp.File("places/printers"));
    ::kestrola::testing::RecordingReportSink reports;
    RightClick(OnLabel(Find("printers")), false);
    EXPECT_EQ(reports.texts, Strings{"GetUIObjectOf failed! hr=1"});
    EXPECT_EQ(shell->menuQueries, 1);
}

TEST_F(RecipientTreeShellTest, InProviderModeTheShellNotificationsDoNothing) {
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
    panel.scanner.mode = 1;
    tree.expandItem(Find("Zeta Share"));
    EXPECT_EQ(Find("Zeta Share")->childCount(), 0);
    RightClick(OnLabel(Find("printers")), false);
    EXPECT_EQ(shell->menuQueries, 0);
}

TEST_F(RecipientTreeShellTest, AnUnreachablePlaceFallsBackToTheDesktopFolderElseHome) {
    options.networkLocation = Uri("no such place");
    ASSERT_TRUE(Fill());
    EXPECT_EQ(Texts(), (Strings{"music", "Projects"}));

    fs::remove_all(temp.File("Desktop"));
    ASSERT_TRUE(Fill());
    EXPECT_EQ(Texts(), Strings{"Documents"});
}

TEST_F(RecipientTreeShellTest, EachScanStartsFromAnEmptyTree) {
    ASSERT_TRUE(Fill());
    tree.expandItem(Find("Zeta Share"));
    const Strings first = AllTexts();
    ASSERT_TRUE(Fill());
    EXPECT_EQ(AllTexts().size(), first.size() - 1) << "the other root item is not filled again";
    EXPECT_EQ(Texts(), (Strings{"Entire Network", "printers", "Zeta Share"}));
}

TEST_F(RecipientTreeShellTest, AScanOutlivingItsScannerLeavesTheTreeAlone) {
    RecipientTree other;
    auto scanner = std::make_unique<NetworkScanner>(std::make_shared<FakeNetworkProvider>(),
                                                    std::shared_ptr<const platform::CodePage>());
    scanner->mode = 0;
    scanner->SetPanel(&other, std::make_shared<QtUiDispatcher>());
    auto launcher = std::make_shared<RecordingLauncher>(options);
    scanner->SetShellNamespace(launcher);
    scanner->StartScan();
    // The scan's first change waits for this thread, which lets the scanner go first. The
    // scan then runs to its end without touching the tree and lets go of the namespace.
    scanner.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return launcher.use_count() == 1; }, 20000));
    EXPECT_EQ(other.Tree()->topLevelItemCount(), 0);
}

TEST_F(RecipientTreeShellTest, Picture) {
    ASSERT_TRUE(Fill());
    tree.expandItem(Find("Entire Network"));
    tree.expandItem(Find("Entire Network/Workgroup 10"));
    tree.expandItem(Find("Entire Network/Workgroup 10/Server A"));
    Find("Entire Network/Workgroup 9")->setCheckState(0, Qt::Checked);
    Find("Entire Network/Workgroup 10/server b")->setCheckState(0, Qt::Checked);
    tree.setCurrentItem(Find("Entire Network/Workgroup 10/Server A"));
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
    const QString path = testing::SavePicture(&panel.tree, QStringLiteral("shell-tree.png"));
    EXPECT_TRUE(QFileInfo::exists(path));
}

} // namespace
} // namespace kestrola::ui
