#include "settings/AppSettings.h"

#include "TempDir.h"
#include "fakes/RecordingShell.h"
#include "settings/FirstRun.h"
#include "settings/IniProfileStore.h"
#include "settings/StringListSection.h"

#include <gtest/gtest.h>
#include <map>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

// System colours no scheme uses, so that a default taken from the wrong one shows.
class OddSystemColors : public SystemColors {
public:
    ColorRef Get(SystemColor color) const override {
        const std::map<SystemColor, ColorRef> odd{{SystemColor::Window, 0x030201},
                                                  {SystemColor::WindowText, 0x060504},
                                                  {SystemColor::ButtonFace, 0x090807},
                                                  {SystemColor::ButtonText, 0x0C0B0A}};
        return odd.count(color) != 0 ? odd.at(color) : 0xFFFFFF;
    }
};

class AppSettingsTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("Kestrola NET.conf"); }
    AppSettings Load(IniProfileStore& store) {
        AppSettings settings;
        settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
        return settings;
    }
    // The main window's life as far as settings go: load, the lists, then save.
    AppSettings RunProgram() {
        IniProfileStore store(path());
        AppSettings settings = Load(store);
        for (const auto& list : kStringListSections) {
            std::vector<std::string> entries;
            LoadStringList(store, entries, list.section);
        }
        SaveStringList(store, {"PC1", "PC2"}, kLastSended);
        settings.SaveSettings(store);
        return settings;
    }
    bool Saved(const std::string& text) const {
        return ReadFileBytes(path()).find(text) != std::string::npos;
    }

    testing::TempDir m_dir;
    OddSystemColors m_colors;
    platform::testing::RecordingShell m_shell;
    int m_questions = 0;
    FirstRunCallbacks m_callbacks{[this](std::string_view) { return ++m_questions, false; }, [] {}};
};

TEST_F(AppSettingsTest, FirstRunWritesEveryKeyAndASecondRunChangesNothing) {
    const AppSettings first = RunProgram();
    const std::string written = ReadFileBytes(path());
    std::size_t at = 0;
    for (const char* section :
         {"[SystemSettings]\nCurrentVersion=1.0\n", "[LastSended]\n", "[SendRecervieSettings]\n",
          "[EventsSettings]\n", "[ColorsSettings]\n", "[TextFontSettings]\n"}) {
        const std::size_t next = written.find(section, at);
        ASSERT_NE(next, std::string::npos) << section << " in order";
        at = next;
    }
    for (const SettingKey& key : kSettingKeys)
        EXPECT_EQ(Saved("\n" + std::string(key.key) + "="), key.writeBack != WriteBack::No)
            << key.key;
    // Colour defaults come from the matching system colour.
    for (const char* line : {"BackgroundTextColor=197121\n", "TextColor=394500\n",
                             "ButtonInactiveBgColor=591879\n", "ButtonActiveFgColor=789258\n"})
        EXPECT_TRUE(Saved(line)) << line;

    const AppSettings second = RunProgram();
    EXPECT_EQ(ReadFileBytes(path()), written);
    EXPECT_EQ(m_questions, 1) << "the version marker is current now";
    EXPECT_EQ(second.backgroundTextColor, 0x030201u);
    EXPECT_EQ(second.historyLenght, 7);
    EXPECT_EQ(first.currentVersion, "");
    EXPECT_EQ(second.currentVersion, "1.0");
}

TEST_F(AppSettingsTest, StoredValuesAreTakenAsStoredAndKeptWhenTheyReadAlike) {
    WriteFileBytes(path(), "[SystemSettings]\nCurrentVersion=1.0\nHotKey=\nSend2AllConfirmation=0\n"
                           "MinimizeOnESC=2\nFlatButtons=2\n"
                           "[SendRecervieSettings]\nHistoryLenght=-3\nSuccesMessageTimeOut=abc\n"
                           "BaseFileName=  D:\\msgs\\base.msg  \n"
                           "[ColorsSettings]\nTextColor=255\nBackgroundTextColor=-1\n"
                           "[EventsSettings]\nSendSoundFile=\n");
    IniProfileStore store(path());
    AppSettings settings = Load(store);
    EXPECT_EQ(settings.hotKey, 1) << "an empty integer reads as its default";
    EXPECT_EQ(settings.send2AllConfirmation, 0);
    EXPECT_EQ(settings.historyLenght, -3);
    EXPECT_EQ(settings.succesMessageTimeOut, 0);
    EXPECT_EQ(settings.baseFileName, "D:\\msgs\\base.msg");
    EXPECT_EQ(settings.textColor, 0x0000FFu);
    EXPECT_EQ(settings.backgroundTextColor, 0xFFFFFFFFu);
    EXPECT_EQ(settings.sendSoundFile, "") << "an empty text is a text";
    EXPECT_EQ(settings.buttonFocusColor, 0x0C0B0Au);
    EXPECT_EQ(m_questions, 0);
    // Flags tested for 1 are off at 2; flags tested for non-zero are on.
    EXPECT_FALSE(settings.IsOn(&AppSettings::minimizeOnESC));
    EXPECT_TRUE(settings.IsOn(&AppSettings::flatButtons));
    settings.minimizeOnESC = 1;
    settings.flatButtons = 0;
    EXPECT_TRUE(settings.IsOn(&AppSettings::minimizeOnESC));
    EXPECT_FALSE(settings.IsOn(&AppSettings::flatButtons));
    settings.minimizeOnESC = 2;
    settings.flatButtons = 2;

    settings.SaveSettings(store);
    for (const char* line : {"Send2AllConfirmation=0\n", "HotKey=1\n", "BackgroundTextColor=-1\n",
                             "SuccesMessageTimeOut=abc\n", "MinimizeOnESC=2\n"})
        EXPECT_TRUE(Saved(line)) << line;
}

TEST_F(AppSettingsTest, FontRuleReadsAndWritesTheRecord) {
    const struct {
        const char* name;
        std::string stored;
        LogFont expected;
    } cases[] = {
        {"no face name discards the rest", "lfHeight=-20\n", LogFont{}},
        {"empty face name", "lfHeight=-20\nFaceName=\n", LogFont{}},
        {"high first byte", "lfHeight=-20\nlfItalic=1\nFaceName=\xC3\x84rial\n", LogFont{}},
        {"control first byte", "lfHeight=-20\nFaceName=\37Arial\n", LogFont{}},
        {"blank first is kept", "lfHeight=-20\nFaceName=\"  Arial\"\n",
         LogFont{.lfHeight = -20, .lfFaceName = "  Arial"}},
        {"bytes keep low 8 bits", "lfItalic=257\nlfCharSet=-1\nFaceName=Arial\n",
         LogFont{.lfItalic = 1, .lfCharSet = 255, .lfFaceName = "Arial"}},
        {"long name cut to 31", "lfHeight=12\nFaceName=" + std::string(40, 'F') + "\n",
         LogFont{.lfHeight = 12, .lfFaceName = std::string(31, 'F')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path(),
                       "[SystemSettings]\nCurrentVersion=1.0\n[TextFontSettings]\n" + c.stored);
        IniProfileStore store(path());
        AppSettings settings = Load(store);
        EXPECT_EQ(settings.font, c.expected);
        settings.SaveSettings(store);
        AppSettings again;
        again.ReadKeys(store, m_colors);
        EXPECT_EQ(again.font, c.expected);
        EXPECT_EQ(store.ReadInt(kTextFontSettings, "lfHeight", 99), c.expected.lfHeight);
        EXPECT_EQ(store.ReadString(kTextFontSettings, "FaceName", "?"), c.expected.lfFaceName);
    }
}

} // namespace
} // namespace kestrola::core
