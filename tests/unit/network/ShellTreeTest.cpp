#include "network/ShellTree.h"

#include "RecordingReportSink.h"
#include "fakes/FakeShellNamespace.h"
#include "fakes/FakeShellTreeControl.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using platform::kNetworkPlacesFolder;
using platform::testing::FakeShellNamespace;
using testing::FakeShellTreeControl;
using Item = ShellTreeControl::Item;
using Strings = std::vector<std::string>;

class ShellTreeTest : public ::testing::Test {
protected:
    ShellTreeTest() {
        control.onExpanding = [this](Item item) { tree.ExpandShellItem(item); };
    }

    // The network places: enumeration order differs from the sorted order on every level.
    void BuildNetwork() {
        const std::string zeta = shell.AddFolder("net", "Zeta Share");
        shell.AddFolder(shell.AddFolder(zeta, "Inner"), "Deep");
        shell.AddFile("net", "readme.txt");
        const std::string entire = shell.AddFolder("net", "Entire Network");
        shell.AddFolder("net", "printers");

        const std::string ten = shell.AddFolder(entire, "Workgroup 10");
        const std::string serverA = shell.AddFolder(ten, "Server A");
        shell.AddFolder(serverA, "Share");
        shell.AddFile(serverA, "printer.ppd");
        shell.AddFolder(ten, "server b");
        const std::string nine = shell.AddFolder(entire, "Workgroup 9");
        shell.AddFolder(nine, "PC");
        shell.AddFolder(entire, "Domain");
        shell.AddFile(entire, "info.txt");
    }

    const FakeShellTreeControl::Node& Node(const std::string& path) {
        const Item item = control.Find(path);
        EXPECT_NE(item, ShellTreeControl::kRoot) << path;
        return control.nodes[item];
    }

    FakeShellNamespace shell;
    FakeShellTreeControl control;
    ShellTree tree{shell, control};
};

TEST_F(ShellTreeTest, FillsTheRootLevelAndTwoLevelsBelowTheFirstRootItemSorted) {
    BuildNetwork();
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);

    EXPECT_EQ(control.Texts(), (Strings{"Entire Network", "printers", "Zeta Share"}));
    const Item entire = control.Find("Entire Network");
    EXPECT_EQ(control.Texts(entire), (Strings{"Domain", "Workgroup 9", "Workgroup 10"}));
    EXPECT_EQ(control.Texts(control.Find("Entire Network/Workgroup 10")),
              (Strings{"Server A", "server b"}));
    EXPECT_EQ(control.Texts(control.Find("Entire Network/Workgroup 9")), Strings{"PC"});

    // Deeper levels and the other root items wait for the user.
    EXPECT_TRUE(control.Texts(control.Find("Entire Network/Workgroup 10/Server A")).empty());
    EXPECT_EQ(shell.TimesListed("net/Entire Network/Workgroup 10/Server A"), 0);
    EXPECT_TRUE(control.Texts(control.Find("Zeta Share")).empty());
    EXPECT_EQ(shell.TimesListed("net/Zeta Share"), 0);

    // Each filled folder was listed once, and the tree shows itself collapsed.
    for (const std::string folder :
         {"net", "net/Entire Network", "net/Entire Network/Domain",
          "net/Entire Network/Workgroup 9", "net/Entire Network/Workgroup 10"})
        EXPECT_EQ(shell.TimesListed(folder), 1) << folder;
    for (const auto& [item, node] : control.nodes)
        EXPECT_FALSE(node.expanded) << node.shown.text;
    EXPECT_TRUE(Node("Entire Network").expandedOnce);
    EXPECT_TRUE(Node("Entire Network/Workgroup 10").expandedOnce);
    EXPECT_FALSE(Node("Entire Network/Workgroup 10/Server A").expandedOnce);
}

TEST_F(ShellTreeTest, DeeperLevelsAreFilledOnTheirFirstExpansionOnly) {
    BuildNetwork();
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    const Item server = control.Find("Entire Network/Workgroup 10/Server A");

    control.Expand(server);
    EXPECT_EQ(control.Texts(server), Strings{"Share"});
    EXPECT_EQ(shell.TimesListed("net/Entire Network/Workgroup 10/Server A"), 1);

    control.Collapse(server);
    control.Expand(server);
    tree.ExpandShellItem(server);
    EXPECT_EQ(control.Texts(server), Strings{"Share"});
    EXPECT_EQ(shell.TimesListed("net/Entire Network/Workgroup 10/Server A"), 1);

    // The first root item was filled by the scan: the user's expansion lists nothing again.
    control.Expand(control.Find("Entire Network"));
    EXPECT_EQ(shell.TimesListed("net/Entire Network"), 1);
    EXPECT_EQ(control.Texts(control.Find("Entire Network")).size(), 3u);
}

TEST_F(ShellTreeTest, AnotherRootItemIsFilledAndSortedWhenExpanded) {
    const std::string other = shell.AddFolder("net", "Other");
    shell.AddFolder("net", "Alpha");
    for (const std::string name : {"b", "A10", "a9", "C", "a09x"})
        shell.AddFolder(other, name);
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    EXPECT_TRUE(control.Texts(control.Find("Other")).empty());

    control.Expand(control.Find("Other"));
    EXPECT_EQ(control.Texts(control.Find("Other")), (Strings{"a9", "a09x", "A10", "b", "C"}));
    EXPECT_EQ(control.sorts[control.Find("Other")], 1);
}

TEST_F(ShellTreeTest, EveryFolderHoldingFoldersShowsAnExpandButtonBeforeItIsListed) {
    BuildNetwork();
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    // Filled by the scan or not, at every level and under every root item: the button follows
    // the has-sub-folder attribute alone.
    const struct {
        const char* path;
        bool button;
    } cases[] = {{"Zeta Share", true},
                 {"Entire Network", true},
                 {"printers", false},
                 {"Entire Network/Workgroup 10", true},
                 {"Entire Network/Workgroup 9", true},
                 {"Entire Network/Domain", false},
                 {"Entire Network/Workgroup 10/Server A", true},
                 {"Entire Network/Workgroup 10/server b", false}};
    for (const auto& c : cases)
        EXPECT_EQ(Node(c.path).shown.childCountOne, c.button) << c.path;

    // Folders that come with a user's expansion, below another root item, have theirs too, and
    // open in turn.
    control.Expand(control.Find("Zeta Share"));
    EXPECT_TRUE(Node("Zeta Share/Inner").shown.childCountOne);
    control.Expand(control.Find("Zeta Share/Inner"));
    EXPECT_EQ(control.Texts(control.Find("Zeta Share/Inner")), Strings{"Deep"});
    EXPECT_FALSE(Node("Zeta Share/Inner/Deep").shown.childCountOne);
    EXPECT_EQ(shell.TimesListed("net/Zeta Share/Inner"), 1);
    EXPECT_EQ(shell.TimesListed("net/Zeta Share/Inner/Deep"), 0) << "listed on expansion only";
}

TEST_F(ShellTreeTest, ANewScanStartsFromAnEmptyTree) {
    BuildNetwork();
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    control.Expand(control.Find("Zeta Share"));
    const std::size_t items = control.nodes.size();

    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    EXPECT_EQ(control.Texts(), (Strings{"Entire Network", "printers", "Zeta Share"}));
    EXPECT_EQ(control.nodes.size(), items - 1);
    EXPECT_EQ(shell.TimesListed("net/Entire Network"), 2);
}

struct MissingCase {
    const char* name;
    bool specialKnown;
    int failure; // 0: the special folder lists
    Strings roots;
};

class ShellTreeMissingFolderTest : public ShellTreeTest,
                                   public ::testing::WithParamInterface<MissingCase> {};

TEST_P(ShellTreeMissingFolderTest, FillsTheRootLevelFromTheDesktopWhenTheFolderIsMissing) {
    const MissingCase& c = GetParam();
    shell.AddFolder("net", "Network Place");
    const std::string desk = shell.AddFolder("", "desktop");
    shell.AddFolder(desk, "Projects");
    shell.AddFile(desk, "todo.txt");
    shell.AddFolder(desk, "music");
    if (!c.specialKnown)
        shell.specialFolders.clear();
    if (c.failure != 0)
        shell.failing["net"] = c.failure;

    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    EXPECT_EQ(control.Texts(), c.roots);
    if (c.roots.front() == "music") {
        EXPECT_EQ(control.nodes[control.Find("music")].record->parentFolder, "desktop");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShellTreeMissingFolderTest,
    ::testing::Values(MissingCase{"unknown_folder", false, 0, {"music", "Projects"}},
                      MissingCase{"not_listable", true, 15, {"music", "Projects"}},
                      MissingCase{"listable", true, 0, {"Network Place"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTreeTest, AnEmptyNamespaceLeavesAnEmptyTree) {
    shell.AddFolder("", "net");
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);
    EXPECT_TRUE(control.nodes.empty());
    EXPECT_EQ(shell.TimesListed("desktop"), 0);
}

TEST_F(ShellTreeTest, ComparingWithoutARecordCountsAsEqual) {
    ShellItemData alpha{"net", {}};
    alpha.entry.displayName = "alpha";
    ShellItemData beta{"net", {}};
    beta.entry.displayName = "Beta";
    EXPECT_LT(tree.CompareShellItems(&alpha, &beta, 0), 0);
    EXPECT_GT(tree.CompareShellItems(&beta, &alpha, 7), 0);
    EXPECT_EQ(tree.CompareShellItems(&alpha, nullptr, 0), 0);
    EXPECT_EQ(tree.CompareShellItems(nullptr, &beta, 0), 0);
}

class ShellTreeMenuTest : public ShellTreeTest {
protected:
    void SetUp() override {
        BuildNetwork();
        tree.FillFromSpecialFolder(kNetworkPlacesFolder);
        server = control.Find("Entire Network/Workgroup 10/Server A");
    }
    Item server = ShellTreeControl::kRoot;
    testing::RecordingReportSink reports;
};

TEST_F(ShellTreeMenuTest, OnlyTheItemOpensTheMenuAndTheChosenCommandRuns) {
    control.selected = server;
    EXPECT_EQ(tree.ShowShellContextMenu({ShellTreeControl::kRoot, false}), 0);
    EXPECT_EQ(control.selected, ShellTreeControl::kRoot);
    // On the item's row but beside its image and text.
    EXPECT_EQ(tree.ShowShellContextMenu({server, false}), 0);
    EXPECT_EQ(control.selected, server);
    EXPECT_TRUE(shell.queried.empty());
    EXPECT_TRUE(control.menus.empty());

    for (const int choice : {0, 1, 2, -1, 9}) {
        control.selected = ShellTreeControl::kRoot;
        control.menuChoice = choice < 0 ? std::nullopt : std::optional<std::size_t>(choice);
        EXPECT_EQ(tree.ShowShellContextMenu({server, true}), 0);
        EXPECT_EQ(control.selected, server);
    }
    EXPECT_EQ(control.menus,
              std::vector<Strings>(5, Strings{"Open", "Open With Viewer", "Copy Location"}));
    EXPECT_EQ(shell.invoked, (std::vector<std::pair<std::string, std::string>>{
                                 {"net/Entire Network/Workgroup 10/Server A", "Open"},
                                 {"net/Entire Network/Workgroup 10/Server A", "Open With Viewer"}}))
        << "Copy Location, a dismissed menu and a choice beyond it launch nothing";
    EXPECT_EQ(control.clipboard, "copied:net/Entire Network/Workgroup 10/Server A");
    EXPECT_TRUE(reports.ids.empty());
}

struct MenuFailureCase {
    const char* name;
    platform::ShellStatus menu;
    platform::ShellStatus invoke;
    std::string shown;
    std::size_t menusShown;
};

class ShellTreeMenuFailureTest : public ShellTreeMenuTest,
                                 public ::testing::WithParamInterface<MenuFailureCase> {};

TEST_P(ShellTreeMenuFailureTest, ShowsTheFailureWithItsCode) {
    const MenuFailureCase& c = GetParam();
    shell.menuStatus = c.menu;
    shell.invokeStatus = c.invoke;
    control.menuChoice = 0;
    EXPECT_EQ(tree.ShowShellContextMenu({server, true}), 0);
    EXPECT_EQ(reports.texts, Strings{c.shown});
    EXPECT_EQ(control.menus.size(), c.menusShown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShellTreeMenuFailureTest,
    ::testing::Values(
        MenuFailureCase{"not_found", {false, 1}, {}, "GetUIObjectOf failed! hr=1", 0},
        MenuFailureCase{"menu_generic", {false, 0}, {}, "GetUIObjectOf failed! hr=0", 0},
        MenuFailureCase{"launch_unsupported", {}, {false, 15}, "InvokeCommand failed. hr=f", 1},
        MenuFailureCase{"launch_wide", {}, {false, 0x2a}, "InvokeCommand failed. hr=2a", 1}),
    [](const auto& info) { return std::string(info.param.name); });

class ShellTreeChecksTest : public ShellTreeTest {
protected:
    void SetUp() override {
        BuildNetwork();
        tree.FillFromSpecialFolder(kNetworkPlacesFolder);
        control.Expand(control.Find("Zeta Share"));
        control.Expand(control.Find("Entire Network/Workgroup 10/Server A"));
        for (const auto& [item, node] : control.nodes)
            control.SetChecked(item, true);
    }
};

TEST_F(ShellTreeChecksTest, CollectsAndClearsLaterRootItemsThenTwoLevelsBelowTheFirst) {
    Strings names{"typed"};
    EXPECT_EQ(CollectShellCheckedNames(control, names), 0);
    EXPECT_EQ(names, (Strings{"typed", "printers", "Zeta Share", "Domain", "Workgroup 9", "PC",
                              "Workgroup 10", "Server A", "server b"}));
    control.SetChecked(control.Find("Entire Network/Workgroup 9"), false);
    control.SetChecked(control.Find("printers"), false);
    names.clear();
    CollectShellCheckedNames(control, names);
    EXPECT_EQ(names,
              (Strings{"Zeta Share", "Domain", "PC", "Workgroup 10", "Server A", "server b"}));

    EXPECT_EQ(ClearShellChecks(control), 0);
    names.clear();
    CollectShellCheckedNames(control, names);
    EXPECT_TRUE(names.empty());
    // Never collected, never cleared: the first root item, the children of later root items
    // and anything three levels below the first root item.
    Strings stillChecked;
    for (const auto& [item, node] : control.nodes) {
        if (node.checked)
            stillChecked.push_back(node.shown.text);
    }
    std::sort(stillChecked.begin(), stillChecked.end());
    EXPECT_EQ(stillChecked, (Strings{"Entire Network", "Inner", "Share"}));
}

TEST_F(ShellTreeTest, SelectingGivesTheItemTextExceptForTheFirstRootItem) {
    BuildNetwork();
    shell.AddFolder("net", "Very Long Network Place Name Of Forty Characters");
    shell.AddFolder("net", "Ünïcödé Ünïcödé Ünïcödé Ünïcödé Ünïcödé");
    tree.FillFromSpecialFolder(kNetworkPlacesFolder);

    EXPECT_EQ(ShellRecipientForSelection(
                  control, control.Find("Very Long Network Place Name Of Forty Characters")),
              "Very Long Network Place Name Of");
    EXPECT_EQ(ShellRecipientForSelection(control,
                                         control.Find("Ünïcödé Ünïcödé Ünïcödé Ünïcödé Ünïcödé")),
              "Ünïcödé Ünïcödé Ünïcödé Ünïcödé");
    EXPECT_EQ(ShellRecipientForSelection(control, control.Find("Entire Network/Workgroup 9")),
              "Workgroup 9");
    EXPECT_EQ(ShellRecipientForSelection(control, control.FirstChild(ShellTreeControl::kRoot)),
              std::nullopt);
    EXPECT_EQ(ShellRecipientForSelection(control, ShellTreeControl::kRoot), std::nullopt);
}

TEST(ShellFallbackIconTest, ChoosesByThemedNames) {
    const struct {
        Strings names;
        ShellFallbackIcon icon;
    } cases[] = {{{}, ShellFallbackIcon::Folder},
                 {{"folder-remote", "folder"}, ShellFallbackIcon::Folder},
                 {{"network-workgroup", "folder-remote"}, ShellFallbackIcon::Group},
                 {{"network-workgroup-symbolic"}, ShellFallbackIcon::Group},
                 {{"network-domain"}, ShellFallbackIcon::Group},
                 {{"network-server"}, ShellFallbackIcon::Computer},
                 {{"computer", "network-workgroup"}, ShellFallbackIcon::Computer},
                 {{"folder", "network-server"}, ShellFallbackIcon::Computer},
                 {{"my-computer-folder"}, ShellFallbackIcon::Folder}};
    for (const auto& c : cases)
        EXPECT_EQ(FallbackIconFor(c.names), c.icon) << ::testing::PrintToString(c.names);
}

} // namespace
} // namespace kestrola::core
