#include "platform/Sound.h"
#include "platform/linux/LinuxShell.h"
#include "settings/SoundFolders.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrola::platform {
namespace {

struct ResolveCase {
    const char* name;
    std::set<std::string> existing;
    const char* expected;
};

class ResolveSound : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveSound, WorkingDirectoryThenTheInstalledFolders) {
    const ResolveCase c = GetParam();
    const std::vector<std::string> folders = {"/usr/share/k/sounds/", "/opt/k"};
    const auto exists = [&c](const std::string& path) { return c.existing.count(path) != 0; };
    EXPECT_EQ(ResolveSoundFile(c.name, folders, exists), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveSound,
    ::testing::Values(
        ResolveCase{"personal.wav", {"personal.wav", "/opt/k/personal.wav"}, "personal.wav"},
        ResolveCase{"personal.wav",
                    {"/usr/share/k/sounds/personal.wav", "/opt/k/personal.wav"},
                    "/usr/share/k/sounds/personal.wav"},
        ResolveCase{"ding.wav", {"/opt/k/ding.wav"}, "/opt/k/ding.wav"},
        ResolveCase{"missing.wav", {}, "missing.wav"},
        ResolveCase{"/abs/x.wav", {"/opt/k//abs/x.wav"}, "/abs/x.wav"},
        ResolveCase{"", {"/opt/k/"}, ""}));

TEST(InstalledSoundFolders, ShareFolderBesideTheProgramFirst) {
    const auto folders = core::InstalledSoundFolders("/usr/local/bin/kestrola-net");
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), "/usr/local/bin/../share/kestrola-net/sounds");
}

TEST(OpenerTarget, NetworkPathsBecomeSmbUrls) {
    const struct {
        const char* target;
        const char* expected;
    } cases[] = {{"\\\\host\\share\\dir\\file.txt", "smb://host/share/dir/file.txt"},
                 {"\\\\HOST", "smb://HOST"},
                 {"\\\\host\\my share\\a#b?c%", "smb://host/my%20share/a%23b%3Fc%25"},
                 {"\\\\srv\\d\xC3\xA9", "smb://srv/d%C3%A9"},
                 {"\\single\\backslash", "\\single\\backslash"},
                 {"http://example.org/a b", "http://example.org/a b"},
                 {"\\\\", "\\\\"},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(OpenerTarget(c.target), c.expected) << c.target;
}

} // namespace
} // namespace kestrola::platform
