#include "settings/FirstRun.h"

#include "TempDir.h"
#include "fakes/RecordingShell.h"
#include "settings/IniProfileStore.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using testing::WriteFileBytes;

struct VersionCase {
    const char* name;
    std::string file;
    bool firstRun;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.name;
}

class CheckFirstRunTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("store.conf"); }
    FirstRunCallbacks Recording(bool answer) {
        return {
            [this, answer](std::string_view question) {
                m_events.push_back("ask " + std::string(question) + " stored " +
                                   IniProfileStore(path()).ReadString("SystemSettings",
                                                                      "CurrentVersion", "(none)"));
                return answer;
            },
            [this] {
                m_events.push_back("about, shell calls " + std::to_string(m_shell.calls.size()));
            }};
    }

    testing::TempDir m_dir;
    platform::testing::RecordingShell m_shell;
    std::vector<std::string> m_events;
};

class VersionMarker : public CheckFirstRunTest,
                      public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionMarker, DecidesWhetherThisIsAFirstRun) {
    WriteFileBytes(path(), GetParam().file);
    IniProfileStore store(path());
    std::string read = "unset";
    EXPECT_EQ(CheckFirstRun(store, Recording(false), m_shell, &read), GetParam().firstRun);
    EXPECT_EQ(m_events.size(), GetParam().firstRun ? 2u : 0u);
    EXPECT_EQ(store.ReadString("SystemSettings", "CurrentVersion", ""), "1.0");
    EXPECT_NE(read, "unset");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionMarker,
    ::testing::Values(
        VersionCase{"Missing", "", true},
        VersionCase{"Current", "[SystemSettings]\nCurrentVersion=1.0\n", false},
        VersionCase{"OddCaseNames", "[systemsettings]\ncurrentVERSION=1.0\n", false},
        // Blanks around a bare value are not part of it, as the desktop reads it.
        VersionCase{"UnquotedTrailingBlank", "[SystemSettings]\nCurrentVersion=1.0 \n", false},
        VersionCase{"QuotedTrailingBlank", "[SystemSettings]\nCurrentVersion=\"1.0 \"\n", true},
        VersionCase{"Older", "[SystemSettings]\nCurrentVersion=0.9\n", true},
        VersionCase{"SameNumberOtherText", "[SystemSettings]\nCurrentVersion=1.00\n", true},
        VersionCase{"Empty", "[SystemSettings]\nCurrentVersion=\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckFirstRunTest, WritesTheMarkerBeforeAskingAndShowsAboutAfter) {
    IniProfileStore store(path());
    EXPECT_TRUE(CheckFirstRun(store, Recording(false), m_shell));
    EXPECT_EQ(m_events,
              (std::vector<std::string>{"ask Do you want to update Kestrola NET? stored 1.0",
                                        "about, shell calls 0"}));
}

TEST_F(CheckFirstRunTest, YesOpensTheUpgradePageBeforeTheAboutBox) {
    IniProfileStore store(path());
    EXPECT_TRUE(CheckFirstRun(store, Recording(true), m_shell));
    ASSERT_EQ(m_shell.calls.size(), 1u);
    EXPECT_EQ(m_shell.calls[0].first, "open");
    EXPECT_EQ(m_shell.calls[0].second, kUpgradePageUrl);
    EXPECT_NE(m_shell.calls[0].second.find("/products/murmeli-net/?inref=kestrola-net"),
              std::string::npos);
    EXPECT_EQ(m_events.back(), "about, shell calls 1");
}

TEST_F(CheckFirstRunTest, WithoutCallbacksOrAWritableStoreItStillGoesOn) {
    IniProfileStore unwritable(m_dir.path()); // a folder, not a file
    EXPECT_TRUE(CheckFirstRun(unwritable, {}, m_shell));
    EXPECT_TRUE(m_shell.calls.empty());
    EXPECT_TRUE(CheckFirstRun(unwritable, {}, m_shell)) << "asked again: the marker never stuck";
}

} // namespace
} // namespace kestrola::core
