#include "platform/linux/LinuxShellNamespace.h"

#include "TempDir.h"
#include "platform/NaturalOrder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace kestrola::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileBytes;

// GIO's error codes (GIOErrorEnum) that the tests expect.
constexpr int kNotFound = 1;

class LinuxShellNamespaceTest : public ::testing::Test {
protected:
    static LinuxShellNamespaceOptions OptionsIn(const TempDir& temp) {
        LinuxShellNamespaceOptions options;
        options.networkLocation = "kestrola-no-such-scheme:///";
        options.desktopFolder = temp.File("Desktop");
        options.homeFolder = temp.File("home");
        fs::create_directories(options.homeFolder);
        return options;
    }

    std::string Dir(const std::string& relative) {
        fs::create_directories(temp.File(relative));
        return temp.File(relative);
    }
    void File(const std::string& relative) { WriteFileBytes(temp.File(relative), "x"); }
    static std::string Uri(const std::string& path) { return "file://" + path; }

    std::map<std::string, ShellEntry> List(const std::string& path) {
        const ShellListing listing = shell.EnumerateFolder(Uri(path));
        EXPECT_TRUE(listing.status.ok);
        std::map<std::string, ShellEntry> byName;
        for (const ShellEntry& entry : listing.entries)
            byName[entry.name] = entry;
        return byName;
    }

    TempDir temp;
    LinuxShellNamespaceOptions options = OptionsIn(temp);
    LinuxShellNamespace shell{options};
};

TEST_F(LinuxShellNamespaceTest, ListsFoldersAndFilesWithTheirAttributes) {
    const std::string root = Dir("root");
    Dir("root/with sub/inner");
    Dir("root/only files");
    File("root/only files/a.txt");
    Dir("root/hidden only/.secret");
    Dir("root/empty");
    Dir("root/.hidden folder");
    File("root/notes.txt");
    File("root/backup~");
    fs::create_directory_symlink(temp.File("root/with sub"), temp.File("root/link to sub"));
    fs::create_symlink(temp.File("root/gone"), temp.File("root/broken link"));

    auto byName = List(root);
    std::vector<std::string> names;
    for (const auto& [name, entry] : byName)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"broken link", "empty", "hidden only", "link to sub",
                                               "notes.txt", "only files", "with sub"}));

    const struct {
        const char* name;
        bool folder;
        bool subFolders;
    } expected[] = {{"with sub", true, true},     {"only files", true, false},
                    {"hidden only", true, false}, {"empty", true, false},
                    {"link to sub", true, true},  {"notes.txt", false, false},
                    {"broken link", false, false}};
    for (const auto& e : expected) {
        const ShellEntry& entry = byName[e.name];
        EXPECT_EQ(entry.isFolder, e.folder) << e.name;
        EXPECT_EQ(entry.hasSubFolders, e.subFolders) << e.name;
        EXPECT_EQ(entry.displayName, e.name);
    }
    EXPECT_NE(
        std::find(byName["empty"].iconNames.begin(), byName["empty"].iconNames.end(), "folder"),
        byName["empty"].iconNames.end());
    EXPECT_EQ(byName["empty"].openIconNames.front(), "folder-open");
    EXPECT_EQ(byName["notes.txt"].openIconNames, byName["notes.txt"].iconNames);

    // An entry's location lists the folder itself.
    const ShellListing inner = shell.EnumerateFolder(byName["with sub"].location);
    ASSERT_TRUE(inner.status.ok);
    ASSERT_EQ(inner.entries.size(), 1u);
    EXPECT_EQ(inner.entries[0].displayName, "inner");
}

TEST_F(LinuxShellNamespaceTest, AFolderWithMoreFilesThanItLooksAtCountsAsHoldingFolders) {
    const std::string root = Dir("root");
    const std::string crowded = Dir("root/crowded");
    for (int i = 0; i < 2100; ++i)
        File("root/crowded/" + std::to_string(i));
    Dir("root/few");
    for (int i = 0; i < 100; ++i)
        File("root/few/" + std::to_string(i));
    auto byName = List(root);
    EXPECT_TRUE(byName["crowded"].hasSubFolders);
    EXPECT_FALSE(byName["few"].hasSubFolders);
}

TEST_F(LinuxShellNamespaceTest, FolderThatCannotBeListedGivesItsErrorCode) {
    const ShellListing missing = shell.EnumerateFolder(Uri(temp.File("missing")));
    EXPECT_FALSE(missing.status.ok);
    EXPECT_EQ(missing.status.code, kNotFound);
    EXPECT_TRUE(missing.entries.empty());

    File("plain.txt");
    EXPECT_FALSE(shell.EnumerateFolder(Uri(temp.File("plain.txt"))).status.ok);
    EXPECT_FALSE(shell.EnumerateFolder("kestrola-no-such-scheme:///").status.ok);
}

TEST_F(LinuxShellNamespaceTest, DesktopIsTheDesktopFolderElseTheHomeFolder) {
    EXPECT_EQ(shell.DesktopLocation(), Uri(options.homeFolder));
    File("Desktop");
    EXPECT_EQ(shell.DesktopLocation(), Uri(options.homeFolder)) << "a file is no folder";
    fs::remove(temp.File("Desktop"));
    Dir("Desktop");
    EXPECT_EQ(shell.DesktopLocation(), Uri(options.desktopFolder));

    LinuxShellNamespaceOptions noDesktop = options;
    noDesktop.desktopFolder.clear();
    EXPECT_EQ(LinuxShellNamespace(noDesktop).DesktopLocation(), Uri(options.homeFolder));
}

TEST_F(LinuxShellNamespaceTest, ComparesCaseInsensitivelyWithNumbersInOrder) {
    const struct {
        const char* first;
        const char* second;
        int order;
    } cases[] = {{"alpha", "Beta", -1},      {"Server 9", "server 10", -1}, {"ZED", "apple", 1},
                 {"Émile", "Emma", -1},      {"Ärger", "Apfel", 1},         {"Zoë", "Zoe 2", -1},
                 {"Éclair", "éclair", 0},    {"Straße", "STRASSE", 0},      {"école", "Ecole", 0},
                 {"Cafe\xCC\x81", "CAFÉ", 0}};
    auto entry = [](const char* displayName) {
        ShellEntry e;
        e.displayName = displayName;
        e.name = displayName;
        return e;
    };
    for (const auto& c : cases) {
        const int forward = shell.CompareEntries(entry(c.first), entry(c.second));
        const int backward = shell.CompareEntries(entry(c.second), entry(c.first));
        if (c.order == 0) {
            // Names equal but for case or accents still sort the same way every time.
            EXPECT_NE(forward, 0) << c.first << " vs " << c.second;
            EXPECT_EQ((forward > 0), (backward < 0)) << c.first << " vs " << c.second;
            EXPECT_EQ(CompareNaturalOrder(FoldForOrder(c.first), FoldForOrder(c.second)), 0);
        } else {
            EXPECT_EQ((forward > 0) - (forward < 0), c.order) << c.first << " vs " << c.second;
            EXPECT_EQ((backward > 0) - (backward < 0), -c.order) << c.second << " vs " << c.first;
        }
    }
    EXPECT_EQ(shell.CompareEntries(entry("same"), entry("same")), 0);
}

TEST(DisplayNameTest, IsCutAtTwoHundredSixtyCharacters) {
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "é";
    const std::string cut = CutDisplayName(accents, kDisplayNameMax);
    EXPECT_EQ(cut.size(), 2 * kDisplayNameMax);
    EXPECT_EQ(CutDisplayName("short", kDisplayNameMax), "short");
    EXPECT_EQ(CutDisplayName(std::string(260, 'x'), kDisplayNameMax), std::string(260, 'x'));
    EXPECT_EQ(CutDisplayName(std::string(261, 'x'), kDisplayNameMax), std::string(260, 'x'));
    // A broken character becomes the replacement character and counts as one.
    EXPECT_EQ(CutDisplayName("ab\xFF"
                             "cd",
                             4),
              "ab\xEF\xBF\xBD"
              "c");
}

TEST_F(LinuxShellNamespaceTest, MenuOffersOpenAndCopyLocation) {
    const std::string folder = Dir("root/Projects");
    ShellEntry entry;
    entry.location = Uri(folder);
    const ShellMenu menu = shell.QueryContextMenu(entry);
    ASSERT_TRUE(menu.status.ok);
    ASSERT_GE(menu.commands.size(), 2u);
    EXPECT_EQ(menu.commands.front().kind, ShellCommand::Kind::Open);
    EXPECT_EQ(menu.commands.front().label, "Open");
    EXPECT_EQ(menu.commands.back().kind, ShellCommand::Kind::CopyLocation);
    EXPECT_EQ(menu.commands.back().label, "Copy Location");
    EXPECT_EQ(menu.commands.back().text, folder);
    for (std::size_t i = 1; i + 1 < menu.commands.size(); ++i) {
        EXPECT_EQ(menu.commands[i].kind, ShellCommand::Kind::OpenWith);
        EXPECT_EQ(menu.commands[i].label.rfind("Open With ", 0), 0u) << menu.commands[i].label;
        EXPECT_FALSE(menu.commands[i].application.empty());
    }
}

TEST_F(LinuxShellNamespaceTest, MenuAndLaunchOfAMissingObjectFailWithTheirCode) {
    ShellEntry gone;
    gone.location = Uri(temp.File("gone"));
    const ShellMenu menu = shell.QueryContextMenu(gone);
    EXPECT_FALSE(menu.status.ok);
    EXPECT_EQ(menu.status.code, kNotFound);
    EXPECT_TRUE(menu.commands.empty());

    const ShellStatus open = shell.InvokeCommand(gone, {ShellCommand::Kind::Open, "Open", {}, {}});
    EXPECT_FALSE(open.ok);
    EXPECT_EQ(open.code, kNotFound);

    const ShellStatus openWith = shell.InvokeCommand(gone, {ShellCommand::Kind::OpenWith,
                                                            "Open With Nothing",
                                                            "kestrola-no-such-application.desktop",
                                                            {}});
    EXPECT_FALSE(openWith.ok);
    EXPECT_EQ(openWith.code, kNotFound);

    EXPECT_FALSE(
        shell.InvokeCommand(gone, {ShellCommand::Kind::CopyLocation, "Copy Location", {}, "x"}).ok);
}

} // namespace
} // namespace kestrola::platform
