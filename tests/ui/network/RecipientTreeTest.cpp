// The recipient tree with the scanner on an in-memory network provider: a real scan thread
// whose every change reaches the tree through blocking hand-overs to this (the user-interface)
// thread.
#include "network/ui/RecipientTree.h"

#include "UiTestSupport.h"
#include "controls/Resources.h"
#include "network/NetworkScanner.h"
#include "network/ui/QtUiDispatcher.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/testing/FakeNetworkProvider.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
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
        tree.SetSelectionRule(
            [this](RecipientTree::Item item) { return scanner.SelectedRecipient(item); });
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
        return QTest::qWaitFor([this] { return Finished(); }, 10000);
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
    panel.tree.Tree()->setCurrentItem(RecipientTree::ItemOf(item));
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

} // namespace
} // namespace kestrola::ui
