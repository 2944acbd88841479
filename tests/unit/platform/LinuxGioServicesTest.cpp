#include "platform/linux/LinuxGioServices.h"

#include "TempDir.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace kestrola::platform {
namespace {

using testing::TempDir;

// The module is found beside the program, as installed; what is not the module says why.
TEST(LinuxGioServices, TheModuleLoadsFromBesideTheProgramAndAnythingElseSaysWhy) {
    std::string error;
    for (const std::string path : {"/nonexistent/kestrola-gio.so", "libc.so.6", ""}) {
        error.clear();
        EXPECT_EQ(LoadGioServices(path, error), nullptr) << path;
        EXPECT_FALSE(error.empty()) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    ASSERT_NE(LoadGioServices(GioModulePath(), error), nullptr) << error;
}

// The program's namespace reaches GIO through the module on its first call.
TEST(LinuxGioServices, TheNamespaceListsAFolderThroughTheModule) {
    TempDir dir;
    testing::WriteFileBytes(dir.File("note.txt"), "x");
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0700), 0);
    const auto shell = CreateShellNamespace();
    const ShellListing listing = shell->EnumerateFolder("file://" + dir.path());
    ASSERT_TRUE(listing.status.ok) << listing.status.code;
    std::map<std::string, bool> folders;
    for (const ShellEntry& entry : listing.entries)
        folders[entry.name] = entry.isFolder;
    EXPECT_EQ(folders, (std::map<std::string, bool>{{"note.txt", false}, {"sub", true}}));
}

} // namespace
} // namespace kestrola::platform
