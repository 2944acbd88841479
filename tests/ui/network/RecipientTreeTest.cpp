// The recipient tree with a real scan thread handing its changes to this (the UI) thread. The
// scan rules themselves are tested against fakes in NetworkScannerTest and ShellTreeTest.
#include "network/ui/RecipientTree.h"

#include "TempDir.h"
#include "UiTestSupport.h"
#include "controls/Resources.h"
#include "network/NetworkScanner.h"
#include "network/ui/QtUiDispatcher.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxShellNamespace.h"
#include "fakes/FakeNetworkProvider.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using core::NetworkScanner;
using platform::testing::FakeNetworkProvider;
using Strings = std::vector<std::string>;

struct Panel {
    std::shared_ptr<FakeNetworkProvider> provider = std::make_shared<FakeNetworkProvider>();
    RecipientTree tree;
    NetworkScanner scanner{
        provider, std::shared_ptr<const platform::CodePage>(platform::LinuxCodePage::Create(437))};
    QStringList changes;
    bool foreignThread = false;

    explicit Panel(int mode = 1) {
        QObject::connect(
            &tree, &RecipientTree::labelChanged, [this](int control, const QString& text) {
                changes << QString::number(control) + " " + text;
                foreignThread = foreignThread || QThread::currentThread() != qApp->thread();
            });
        tree.resize(300, 380);
        scanner.mode = mode;
        scanner.SetPanel(&tree, std::make_shared<QtUiDispatcher>());
        EXPECT_TRUE(scanner.LookUpProvider());
        scanner.InitTree();
    }

    bool Finished() const {
        return scanner.IsScanning() == 0 && !changes.isEmpty() &&
               changes.back() == QStringLiteral("1218 Scan complete");
    }
    bool Scan() {
        changes.clear();
        scanner.StartScan();
        return QTest::qWaitFor([this] { return Finished(); }, 20000);
    }
    // "GROUP" and "GROUP/PC" in tree order.
    QStringList Lines() const {
        QStringList out;
        for (int g = 0; g < tree.Tree()->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* group = tree.Tree()->topLevelItem(g);
            out << group->text(0);
            for (int c = 0; c < group->childCount(); ++c)
                out << group->text(0) + "/" + group->child(c)->text(0);
        }
        return out;
    }
    QTreeWidgetItem* Find(const QString& path) const {
        QTreeWidgetItem* item = nullptr;
        for (const QString& part : path.split('/')) {
            const int count = item ? item->childCount() : tree.Tree()->topLevelItemCount();
            QTreeWidgetItem* found = nullptr;
            for (int i = 0; i < count && !found; ++i) {
                QTreeWidgetItem* child = item ? item->child(i) : tree.Tree()->topLevelItem(i);
                found = child->text(0) == part ? child : nullptr;
            }
            if (!found)
                return nullptr;
            item = found;
        }
        return item;
    }
};

bool SameIcon(const QIcon& a, int resource) {
    return !a.isNull() &&
           a.pixmap(16, 16).toImage() == LoadIconResource(resource).pixmap(16, 16).toImage();
}

TEST(RecipientTree, AScanFillsSortedCheckableItemsAndPlainTextLabelsOnThisThread) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"pc10", "PC2", "Alpha", "pc1"});
    panel.provider->AddGroup("<img src=x>", {"LEDGER"});
    panel.provider->AddGroup("Sales", {});
    ASSERT_TRUE(panel.Scan());
    EXPECT_FALSE(panel.foreignThread) << "a label changed on the scan thread";
    EXPECT_EQ(panel.Lines(),
              (QStringList{"<img src=x>", "<img src=x>/LEDGER", "Sales", "WORKGROUP",
                           "WORKGROUP/Alpha", "WORKGROUP/pc1", "WORKGROUP/pc10", "WORKGROUP/PC2"}));
    // A received workgroup name as rich text could load images.
    EXPECT_TRUE(panel.changes.contains("1218 Look <img src=x> ..."));
    for (const int control : {1218, 1219, 1220})
        EXPECT_EQ(panel.tree.Label(control)->textFormat(), Qt::PlainText) << control;
    EXPECT_EQ(panel.tree.Label(1220)->text(), QStringLiteral("Computers: 5"));
    for (const QString& path : panel.Lines()) {
        QTreeWidgetItem* item = panel.Find(path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        EXPECT_TRUE(item->flags() & Qt::ItemIsUserCheckable);
        EXPECT_TRUE(SameIcon(item->icon(0), path.contains('/') ? 278 : 277)) << path.toStdString();
        if (path != "Sales" && path != "WORKGROUP/Alpha")
            item->setCheckState(0, Qt::Checked);
    }
    Strings names;
    EXPECT_EQ(panel.scanner.CollectCheckedNames(names), 0);
    EXPECT_EQ(names, (Strings{"<img src=x>", "LEDGER", "WORKGROUP", "pc1", "pc10", "PC2"}));
    panel.Find("WORKGROUP")->setExpanded(true);
    testing::SavePicture(&panel.tree, QStringLiteral("recipient-tree.png"));
    EXPECT_EQ(panel.scanner.ClearChecks(), 0);
    for (const QString& path : panel.Lines())
        EXPECT_EQ(panel.Find(path)->checkState(0), Qt::Unchecked) << path.toStdString();
}

TEST(RecipientTree, SelectingWhileScanningChoosesNoRecipient) {
    Panel panel;
    panel.provider->AddGroup("WORKGROUP", {"PC1", "PC2"});
    ASSERT_TRUE(panel.Scan());
    QSignalSpy chosen(&panel.tree, &RecipientTree::recipientChosen);
    panel.provider->Hold();
    panel.scanner.StartScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.provider->Waiting(); }, 5000));
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

// Shell mode on GIO over folders the test makes; launches are recorded, not started.
class RecordingLauncher : public platform::LinuxShellNamespace {
public:
    using LinuxShellNamespace::LinuxShellNamespace;
    platform::ShellMenu QueryContextMenu(const platform::ShellEntry& entry) override {
        ++menuQueries;
        return LinuxShellNamespace::QueryContextMenu(entry);
    }
    platform::ShellStatus InvokeCommand(const platform::ShellEntry& entry,
                                        const platform::ShellCommand& command) override {
        launched.emplace_back(entry.location, command.label);
        return {};
    }
    int menuQueries = 0;
    std::vector<std::pair<std::string, std::string>> launched;
};

class RecipientTreeShellTest : public ::testing::Test {
protected:
    RecipientTreeShellTest() {
        namespace fs = std::filesystem;
        for (const char* folder : {"places/Entire Network/Workgroup 10/Server A", "places/printers",
                                   "places/Zeta Share/Inner"})
            fs::create_directories(temp.File(folder));
        options.networkLocation = "file://" + temp.File("places");
        options.desktopFolder = temp.File("Desktop");
        options.homeFolder = temp.File("home");
        shell = std::make_shared<RecordingLauncher>(options);
        panel.scanner.SetShellNamespace(shell);
    }

    // What a right click at `point` sends the tree; an unexpected menu is closed and fails.
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
    // Clicks the menu's first or last entry once it shows; returns the labels it had.
    std::shared_ptr<Strings> ChooseInMenu(bool first) {
        auto labels = std::make_shared<Strings>();
        testing::WhenPopup([labels, first](QWidget* popup) {
            auto* menu = qobject_cast<QMenu*>(popup);
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions())
                labels->push_back(action->text().toStdString());
            QAction* action = first ? menu->actions().front() : menu->actions().back();
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        });
        return labels;
    }

    ::kestrola::testing::TempDir temp;
    platform::LinuxShellNamespaceOptions options;
    std::shared_ptr<RecordingLauncher> shell;
    Panel panel{0};
    QTreeWidget& tree = *panel.tree.Tree();
};

TEST_F(RecipientTreeShellTest, OnlyTheItemsImageAndTextOpenTheMenu) {
    ASSERT_TRUE(panel.Scan());
    ASSERT_TRUE(testing::ShowAndActivate(&panel.tree));
    QTreeWidgetItem* printers = panel.Find("printers");
    QTreeWidgetItem* zeta = panel.Find("Zeta Share");
    ASSERT_TRUE(printers && zeta);
    const QRect row = tree.visualItemRect(printers);
    tree.setCurrentItem(zeta);
    const QRect last = tree.visualItemRect(tree.topLevelItem(tree.topLevelItemCount() - 1));
    RightClick({20, last.bottom() + 30}, false);
    EXPECT_EQ(tree.currentItem(), nullptr);
    RightClick({tree.viewport()->width() - 4, row.center().y()}, false);
    EXPECT_EQ(tree.currentItem(), printers);
    RightClick({row.left() + 3, row.center().y()}, false); // the check box
    EXPECT_EQ(shell->menuQueries, 0);

    const auto labels = ChooseInMenu(true);
    RightClick(
        {row.left() + 44 + tree.fontMetrics().horizontalAdvance("printers") / 2, row.center().y()},
        true);
    ASSERT_GE(labels->size(), 2u);
    EXPECT_EQ(labels->front(), "Open");
    EXPECT_EQ(labels->back(), "Copy Location");
    EXPECT_EQ(shell->launched, (std::vector<std::pair<std::string, std::string>>{
                                   {"file://" + temp.File("places/printers"), "Open"}}));

    ChooseInMenu(false);
    RightClick({tree.visualItemRect(zeta).left() + 31, tree.visualItemRect(zeta).center().y()},
               true);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), temp.File("places/Zeta Share"));
    EXPECT_EQ(shell->launched.size(), 1u);
    tree.expandItem(panel.Find("Entire Network/Workgroup 10"));
    testing::SavePicture(&panel.tree, QStringLiteral("shell-tree.png"));
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
    // The scan's first change waits for this thread, which lets the scanner go first.
    scanner.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return launcher.use_count() == 1; }, 20000));
    EXPECT_EQ(other.Tree()->topLevelItemCount(), 0);
}

} // namespace
} // namespace kestrola::ui
