#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "platform/Platform.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

struct FolderCase {
    const char* name;
    const char* xdgValue; // nullptr: unset
    std::string expected; // "HOME" stands for the home folder given below
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class XdgFolders : public ::testing::TestWithParam<FolderCase> {};

TEST_P(XdgFolders, FollowTheBaseDirectoryRules) {
    testing::ScopedEnvironment environment;
    environment.Set("HOME", "/home/kim/");
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        if (GetParam().xdgValue)
            environment.Set(variable, GetParam().xdgValue);
        else
            environment.Unset(variable);
    }
    const auto process = CreateProcessEnvironment();
    std::string config = GetParam().expected;
    std::string data = GetParam().expected;
    if (config == "HOME") {
        config = "/home/kim/.config";
        data = "/home/kim/.local/share";
    }
    EXPECT_EQ(process->ConfigFolder(), config);
    EXPECT_EQ(process->DataFolder(), data);
}

INSTANTIATE_TEST_SUITE_P(Cases, XdgFolders,
                         ::testing::Values(FolderCase{"Set", "/srv/kim", "/srv/kim"},
                                           FolderCase{"TrailingSlashes", "/srv/kim//", "/srv/kim"},
                                           FolderCase{"Unset", nullptr, "HOME"},
                                           FolderCase{"Empty", "", "HOME"},
                                           FolderCase{"RelativeIsIgnored", "cfg", "HOME"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinuxProcessEnvironment, WithoutHomeThePasswordEntryGivesIt) {
    testing::ScopedEnvironment environment;
    environment.Unset("HOME");
    environment.Unset("XDG_CONFIG_HOME");
    const std::string config = CreateProcessEnvironment()->ConfigFolder();
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config.front(), '/');
    EXPECT_EQ(std::filesystem::path(config).filename(), ".config");
}

TEST(LinuxProcessEnvironment, MakesFoldersAndChangesTheWorkingDirectory) {
    testing::TempDir dir;
    const auto process = CreateProcessEnvironment();
    const std::string nested = dir.File("a/b/c");
    EXPECT_FALSE(process->IsPrivateFolder(nested));
    EXPECT_TRUE(process->MakeFolder(nested));
    EXPECT_TRUE(process->IsPrivateFolder(nested));
    EXPECT_EQ(std::filesystem::status(dir.File("a/b")).permissions(),
              std::filesystem::perms::owner_all)
        << "folders made for messages are the owner's alone";
    EXPECT_TRUE(process->MakeFolder(nested)) << "an existing folder is fine";

    std::filesystem::permissions(nested, std::filesystem::perms::group_write,
                                 std::filesystem::perm_options::add);
    EXPECT_FALSE(process->IsPrivateFolder(nested)) << "a folder others can write is shared";
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/bin", "/"})
        EXPECT_FALSE(process->IsPrivateFolder(system)) << system;

    testing::WriteFileBytes(dir.File("file"), "x");
    EXPECT_FALSE(process->IsPrivateFolder(dir.File("file")));
    EXPECT_FALSE(process->MakeFolder(dir.File("file/sub")));

    const auto before = std::filesystem::current_path();
    EXPECT_TRUE(process->SetWorkingFolder(nested));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(nested));
    EXPECT_FALSE(process->SetWorkingFolder(dir.File("missing")));
    std::filesystem::current_path(before);
}

} // namespace
} // namespace kestrola::platform
