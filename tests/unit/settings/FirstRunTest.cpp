#include "settings/FirstRun.h"

#include "TempDir.h"
#include "fakes/RecordingShell.h"
#include "settings/IniProfileStore.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

class CheckFirstRunTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("store.conf"); }
    // Notes the question with the marker stored at that moment, and the about box.
    FirstRunCallbacks Recording(bool answer) {
        return {[this, answer](std::string_view question) {
                    m_events.push_back(std::string(question) + " / " +
                                       IniProfileStore(path()).ReadString(
                                           "SystemSettings", "CurrentVersion", "(none)"));
                    return answer;
                },
                [this] { m_events.push_back("about " + std::to_string(m_shell.calls.size())); }};
    }

    testing::TempDir m_dir;
    platform::testing::RecordingShell m_shell;
    std::vector<std::string> m_events;
};

TEST_F(CheckFirstRunTest, TheVersionMarkerDecides) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"[SystemSettings]\nCurrentVersion=1.0\n", false},
        {"[systemsettings]\ncurrentVERSION=1.0 \n", false}, // a bare value's blanks are not in it
        {"[SystemSettings]\nCurrentVersion=\"1.0 \"\n", true},
        {"[SystemSettings]\nCurrentVersion=0.9\n", true},
        {"[SystemSettings]\nCurrentVersion=1.00\n", true},
    };
    for (const auto& [file, firstRun] : cases) {
        testing::WriteFileBytes(path(), file);
        m_events.clear();
        IniProfileStore store(path());
        EXPECT_EQ(CheckFirstRun(store, Recording(false), m_shell), firstRun) << file;
        EXPECT_EQ(m_events.size(), firstRun ? 2u : 0u) << file;
        EXPECT_EQ(store.ReadString("SystemSettings", "CurrentVersion", ""), "1.0") << file;
    }
    EXPECT_EQ(m_events,
              (std::vector<std::string>{"Do you want to update Kestrola NET? / 1.0", "about 0"}))
        << "the marker is written before asking; the about box follows";
}

TEST_F(CheckFirstRunTest, AnUnwritableStoreAsksAgainAndYesOpensTheUpgradePageFirst) {
    IniProfileStore unwritable(m_dir.path()); // a folder, not a file
    EXPECT_TRUE(CheckFirstRun(unwritable, {}, m_shell)) << "without callbacks it goes on";
    EXPECT_TRUE(m_shell.calls.empty());
    EXPECT_TRUE(CheckFirstRun(unwritable, Recording(true), m_shell)) << "the marker never stuck";
    EXPECT_EQ(m_shell.calls, (decltype(m_shell.calls){{"open", std::string(kUpgradePageUrl)}}));
    EXPECT_EQ(m_events.back(), "about 1");
}

} // namespace
} // namespace kestrola::core
