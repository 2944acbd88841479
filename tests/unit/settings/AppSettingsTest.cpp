#include "settings/AppSettings.h"

#include "TempDir.h"
#include "fakes/RecordingShell.h"
#include "settings/FirstRun.h"
#include "settings/IniProfileStore.h"
#include "settings/StringListSection.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

// System colours no scheme uses, so that a default taken from the wrong one shows.
class OddSystemColors : public SystemColors {
public:
    ColorRef Get(SystemColor color) const override {
        switch (color) {
        case SystemColor::Window:
            return 0x030201;
        case SystemColor::WindowText:
            return 0x060504;
        case SystemColor::ButtonFace:
            return 0x090807;
        case SystemColor::ButtonText:
            return 0x0C0B0A;
        default:
            return 0xFFFFFF;
        }
    }
};

class AppSettingsTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("Kestrola NET.conf"); }

    // The main window's life as far as settings go: load at construction, the lists at
    // initialisation, the recipients and then everything else at destruction.
    AppSettings RunProgram(const std::vector<std::string>& recipients = {}) {
        IniProfileStore store(path());
        AppSettings settings;
        settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
        for (const auto& list : kStringListSections) {
            std::vector<std::string> entries;
            LoadStringList(store, entries, list.section);
        }
        SaveStringList(store, recipients, kLastSended);
        settings.SaveSettings(store);
        return settings;
    }

    testing::TempDir m_dir;
    OddSystemColors m_colors;
    platform::testing::RecordingShell m_shell;
    int m_questions = 0;
    int m_aboutBoxes = 0;
    FirstRunCallbacks m_callbacks{[this](std::string_view) { return ++m_questions, false; },
                                  [this] { ++m_aboutBoxes; }};
};

TEST_F(AppSettingsTest, EmptyStoreGetsEveryKeyOfTheFiveSectionsInOrder) {
    RunProgram();
    EXPECT_EQ(m_questions, 1);
    EXPECT_EQ(m_aboutBoxes, 1);
    EXPECT_EQ(ReadFileBytes(path()), "[SystemSettings]\n"
                                     "CurrentVersion=1.0\n"
                                     "FlatButtons=1\n"
                                     "ToolTips=1\n"
                                     "MinimizeOnESC=1\n"
                                     "ConfirmationOnExit=0\n"
                                     "MinimizeToTray=1\n"
                                     "AlwaysOnTop=0\n"
                                     "CheckNetworkIfReply=1\n"
                                     "SkinFileName=default.skn\n"
                                     "BlinkTrayIcon=1\n"
                                     "MinimizeOnLast=1\n"
                                     "RunMinimized=0\n"
                                     "ScrollLock=0\n"
                                     "HotKey=1\n"
                                     "FastScan=1\n"
                                     "NoClose=0\n"
                                     "MessengerWarnings=0\n"
                                     "\n"
                                     "[LastSended]\n"
                                     "Count=0\n"
                                     "\n"
                                     "[SendRecervieSettings]\n"
                                     "BaseFileName=Murmeli.msg\n"
                                     "HistoryFileName=Murmeli.txt\n"
                                     "DublicateMessagesTimeOut=2\n"
                                     "SuccesMessageTimeOut=1\n"
                                     "IncludeSendedInBase=0\n"
                                     "MinimiseAfterSend=0\n"
                                     "ExpandAfter=0\n"
                                     "HistoryLenght=7\n"
                                     "ClearTextBox=0\n"
                                     "ExcludeDoubleReply=1\n"
                                     "ClearSelected=1\n"
                                     "History=0\n"
                                     "\n"
                                     "[EventsSettings]\n"
                                     "AutoShowNewMSG=1\n"
                                     "UpWindowOnPopup=1\n"
                                     "EnableGroupSound=1\n"
                                     "EnablePersonalSound=1\n"
                                     "EnableSendSound=1\n"
                                     "PersonalSoundFile=personal.wav\n"
                                     "GroupSoundFile=group.wav\n"
                                     "SendSoundFile=send.wav\n"
                                     "UpWindowOnPersonal=1\n"
                                     "CustomSounds=0\n"
                                     "DesktopNotification=1\n"
                                     "\n"
                                     "[ColorsSettings]\n"
                                     "BackgroundTextColor=197121\n"
                                     "TextColor=394500\n"
                                     "BackgroundWindowColor=12632256\n"
                                     "ForegroundWindowColor=5066061\n"
                                     "ButtonInactiveBgColor=591879\n"
                                     "ButtonInactiveFgColor=789258\n"
                                     "ButtonActiveFgColor=789258\n"
                                     "ButtonActiveBgColor=591879\n"
                                     "ButtonFocusColor=789258\n"
                                     "\n"
                                     "[TextFontSettings]\n"
                                     "lfHeight=0\n"
                                     "lfWidth=0\n"
                                     "lfEscapement=0\n"
                                     "lfOrientation=0\n"
                                     "lfWeight=0\n"
                                     "lfItalic=0\n"
                                     "lfUnderline=0\n"
                                     "lfStrikeOut=0\n"
                                     "lfCharSet=0\n"
                                     "lfOutPrecision=0\n"
                                     "lfClipPrecision=0\n"
                                     "lfQuality=0\n"
                                     "lfPitchAndFamily=0\n"
                                     "FaceName=\n");
}

TEST_F(AppSettingsTest, SecondRunReadsWhatTheFirstWroteAndChangesNothing) {
    const AppSettings first = RunProgram({"PC1", "PC2"});
    const std::string written = ReadFileBytes(path());
    const AppSettings second = RunProgram({"PC1", "PC2"});
    EXPECT_EQ(ReadFileBytes(path()), written);
    EXPECT_EQ(m_questions, 1) << "the version marker is current now";
    EXPECT_EQ(second.backgroundTextColor, 0x030201u);
    EXPECT_EQ(second.historyLenght, 7);
    EXPECT_EQ(second.currentVersion, "1.0");
    EXPECT_EQ(first.currentVersion, "");
}

TEST_F(AppSettingsTest, StoredValuesAreTakenAsStored) {
    WriteFileBytes(path(), "[SystemSettings]\nCurrentVersion=1.0\nHotKey=\nSend2AllConfirmation=0\n"
                           "[SendRecervieSettings]\nHistoryLenght=-3\nSuccesMessageTimeOut=abc\n"
                           "BaseFileName=  D:\\msgs\\base.msg  \n"
                           "[ColorsSettings]\nTextColor=255\nBackgroundTextColor=-1\n"
                           "[EventsSettings]\nSendSoundFile=\n");
    IniProfileStore store(path());
    AppSettings settings;
    settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
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

    settings.SaveSettings(store);
    const std::string saved = ReadFileBytes(path());
    EXPECT_NE(saved.find("Send2AllConfirmation=0\n"), std::string::npos);
    EXPECT_NE(saved.find("HotKey=1\n"), std::string::npos);
    EXPECT_NE(saved.find("BackgroundTextColor=-1\n"), std::string::npos);
    EXPECT_NE(saved.find("SuccesMessageTimeOut=abc\n"), std::string::npos)
        << "a text that already reads as the value is left as the person wrote it";
}

struct FlagCase {
    std::string_view section;
    std::string_view key;
    bool onAtTwo; // equal-to-1 flags are off at 2, non-zero flags on
};

TEST_F(AppSettingsTest, FlagsOfTwoFollowEachKeysTest) {
    const FlagCase cases[] = {
        {kSystemSettings, "FlatButtons", true},
        {kSystemSettings, "ConfirmationOnExit", true},
        {kSystemSettings, "ToolTips", true},
        {kSystemSettings, "MinimizeOnESC", false},
        {kSystemSettings, "MinimizeToTray", false},
        {kSystemSettings, "AlwaysOnTop", true},
        {kSystemSettings, "CheckNetworkIfReply", true},
        {kSystemSettings, "BlinkTrayIcon", false},
        {kSystemSettings, "RunMinimized", false},
        {kSystemSettings, "HotKey", false},
        {kSystemSettings, "NoClose", true},
        {kSystemSettings, "MessengerWarnings", true},
        {kEventsSettings, "AutoShowNewMSG", false},
        {kEventsSettings, "UpWindowOnPopup", false},
        {kEventsSettings, "UpWindowOnPersonal", false},
        {kEventsSettings, "EnableGroupSound", false},
        {kEventsSettings, "EnablePersonalSound", false},
        {kEventsSettings, "EnableSendSound", false},
        {kSendRecervieSettings, "MinimiseAfterSend", false},
        {kSendRecervieSettings, "ExpandAfter", false},
        {kSendRecervieSettings, "IncludeSendedInBase", false},
        {kSendRecervieSettings, "ClearTextBox", false},
        {kSendRecervieSettings, "ClearSelected", false},
        {kSendRecervieSettings, "History", false},
    };
    std::string file;
    std::string_view section;
    for (const auto& c : cases) {
        if (c.section != section)
            file += "[" + std::string(section = c.section) + "]\n";
        file += std::string(c.key) + "=2\n";
    }
    WriteFileBytes(path(), file);
    IniProfileStore store(path());
    AppSettings settings;
    settings.ReadKeys(store, m_colors);
    for (const auto& c : cases) {
        const SettingKey* key = FindSettingKey(c.section, c.key);
        ASSERT_NE(key, nullptr) << c.key;
        ASSERT_EQ(settings.*key->intField, 2) << c.key;
        EXPECT_EQ(settings.IsOn(key->intField), c.onAtTwo) << c.key;
        settings.*key->intField = 1;
        EXPECT_TRUE(settings.IsOn(key->intField)) << c.key;
        settings.*key->intField = 0;
        EXPECT_FALSE(settings.IsOn(key->intField)) << c.key;
    }
}

struct FontCase {
    const char* name;
    std::string stored; // lines of [TextFontSettings]
    LogFont expected;
};

void PrintTo(const FontCase& c, std::ostream* os) {
    *os << c.name;
}

LogFont Font(std::int32_t height, std::uint8_t italic, std::uint8_t charSet, std::string face) {
    LogFont font;
    font.lfHeight = height;
    font.lfItalic = italic;
    font.lfCharSet = charSet;
    font.lfFaceName = std::move(face);
    return font;
}

class FontRule : public AppSettingsTest, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FontRule, ReadsAndWritesTheRecord) {
    WriteFileBytes(path(), "[SystemSettings]\nCurrentVersion=1.0\n[TextFontSettings]\n" +
                               GetParam().stored);
    IniProfileStore store(path());
    AppSettings settings;
    settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
    EXPECT_EQ(settings.font, GetParam().expected);
    settings.SaveSettings(store);

    // What was written reads back as the same record.
    AppSettings again;
    again.ReadKeys(store, m_colors);
    EXPECT_EQ(again.font, GetParam().expected);
    EXPECT_EQ(store.ReadInt(kTextFontSettings, "lfHeight", 99), GetParam().expected.lfHeight);
    EXPECT_EQ(store.ReadString(kTextFontSettings, "FaceName", "?"), GetParam().expected.lfFaceName);
}

const std::string kLongName = "Very Long Font Family Name That Goes On"; // 39 characters

INSTANTIATE_TEST_SUITE_P(
    Cases, FontRule,
    ::testing::Values(
        FontCase{"NoFaceNameDiscardsHeight", "lfHeight=-20\n", LogFont{}},
        FontCase{"EmptyFaceName", "lfHeight=-20\nFaceName=\n", LogFont{}},
        FontCase{"HighFirstByte", "lfHeight=-20\nlfItalic=1\nFaceName=\xC3\x84rial\n", LogFont{}},
        FontCase{"ControlFirstByte",
                 "lfHeight=-20\nFaceName=\x1F"
                 "Arial\n",
                 LogFont{}},
        FontCase{"BlankFirstIsKept", "lfHeight=-20\nFaceName=\"  Arial\"\n",
                 Font(-20, 0, 0, "  Arial")},
        FontCase{"BytesKeepLowEightBits", "lfItalic=257\nlfCharSet=-1\nFaceName=Arial\n",
                 Font(0, 1, 255, "Arial")},
        FontCase{"LongNameCutTo31", "lfHeight=12\nFaceName=" + kLongName + "\n",
                 Font(12, 0, 0, kLongName.substr(0, 31))},
        FontCase{"LongNameCutOnCharacters", "FaceName=Schrift" + std::string(30, 'x') + "\n",
                 Font(0, 0, 0, "Schrift" + std::string(24, 'x'))},
        FontCase{"MultiByteNameCutOnCharacters",
                 "FaceName=A" +
                     [] {
                         std::string s;
                         for (int i = 0; i < 40; ++i)
                             s += "\xC3\xA9";
                         return s;
                     }() +
                     "\n",
                 Font(
                     0, 0, 0,
                     "A" +
                         [] {
                             std::string s;
                             for (int i = 0; i < 30; ++i)
                                 s += "\xC3\xA9";
                             return s;
                         }())}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppSettingsTest, HandEditedStoreSurvivesLoadAndSave) {
    WriteFileBytes(path(), "\xEF\xBB\xBF; my settings\r\n"
                           "[systemsettings]\r\n"
                           "currentversion = 1.0\r\n"
                           "FlatButtons = 0   ; flat buttons off\r\n"
                           "MinimizeOnEsc=2\r\n"
                           "minimizeonesc=1\r\n"
                           "SkinFileName = \"  old skin.skn\"\r\n"
                           "Plugin=on\r\n"
                           "\r\n"
                           "[Unknown Section]\r\n"
                           "; keep me\r\n"
                           "x=1\r\n"
                           "[TextFontSettings]\r\n"
                           "FaceName='Courier New'\r\n"
                           "lfHeight=-13\r\n"
                           "lfItalic=257\r\n");
    IniProfileStore store(path());
    AppSettings settings;
    settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
    EXPECT_EQ(m_questions, 0);
    EXPECT_EQ(settings.flatButtons, 0);
    EXPECT_EQ(settings.minimizeOnESC, 2);
    EXPECT_FALSE(settings.IsOn(&AppSettings::minimizeOnESC));
    EXPECT_EQ(settings.skinFileName, "  old skin.skn");
    EXPECT_EQ(settings.font, Font(-13, 1, 0, "Courier New"));

    settings.SaveSettings(store);
    const std::string saved = ReadFileBytes(path());
    const std::string head = saved.substr(0, saved.find("\n[SendRecervieSettings]"));
    EXPECT_EQ(head, "\xEF\xBB\xBF; my settings\n"
                    "[systemsettings]\n"
                    "currentversion = 1.0\n"
                    "FlatButtons = 0   ; flat buttons off\n"
                    "MinimizeOnEsc=2\n"
                    "minimizeonesc=1\n"
                    "SkinFileName = \"  old skin.skn\"\n"
                    "Plugin=on\n"
                    "ToolTips=1\n"
                    "ConfirmationOnExit=0\n"
                    "MinimizeToTray=1\n"
                    "AlwaysOnTop=0\n"
                    "CheckNetworkIfReply=1\n"
                    "BlinkTrayIcon=1\n"
                    "MinimizeOnLast=1\n"
                    "RunMinimized=0\n"
                    "ScrollLock=0\n"
                    "HotKey=1\n"
                    "FastScan=1\n"
                    "NoClose=0\n"
                    "MessengerWarnings=0\n"
                    "\n"
                    "[Unknown Section]\n"
                    "; keep me\n"
                    "x=1\n"
                    "[TextFontSettings]\n"
                    "FaceName='Courier New'\n"
                    "lfHeight=-13\n"
                    "lfItalic=1\n"
                    "lfWidth=0\n"
                    "lfEscapement=0\n"
                    "lfOrientation=0\n"
                    "lfWeight=0\n"
                    "lfUnderline=0\n"
                    "lfStrikeOut=0\n"
                    "lfCharSet=0\n"
                    "lfOutPrecision=0\n"
                    "lfClipPrecision=0\n"
                    "lfQuality=0\n"
                    "lfPitchAndFamily=0\n");

    AppSettings again;
    again.ReadKeys(store, m_colors);
    EXPECT_EQ(again.flatButtons, 0);
    EXPECT_EQ(again.minimizeOnESC, 2);
    EXPECT_EQ(again.skinFileName, settings.skinFileName);
    EXPECT_EQ(again.font, settings.font);
}

TEST_F(AppSettingsTest, LoadPublishesTheProcessWideValues) {
    WriteFileBytes(path(), "[SystemSettings]\nCurrentVersion=1.0\nFlatButtons=0\nToolTips=2\n"
                           "[ColorsSettings]\nButtonInactiveBgColor=1\nButtonActiveBgColor=2\n"
                           "ButtonInactiveFgColor=3\nButtonActiveFgColor=4\nButtonFocusColor=5\n"
                           "TextColor=6\nForegroundWindowColor=7\n");
    IniProfileStore store(path());
    AppSettings settings;
    settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
    const ProcessWideSettings& shared = ProcessWide();
    EXPECT_EQ(shared.flatButtons, 0);
    EXPECT_EQ(shared.toolTips, 2);
    EXPECT_EQ(shared.buttons, (ButtonColorBlock{1, 2, 3, 4, 5}));
    EXPECT_EQ(shared.textColor, 6u);
    EXPECT_EQ(shared.foregroundWindowColor, 7u);
    EXPECT_EQ(shared.backgroundTextColor, 0x030201u);
    EXPECT_EQ(shared.backgroundWindowColor, 0xC0C0C0u);
    PublishProcessWide(AppSettings{});
}

TEST_F(AppSettingsTest, UnwritableStoreKeepsTheProgramGoing) {
    std::filesystem::create_directory(path()); // neither readable nor replaceable
    IniProfileStore store(path());
    AppSettings settings;
    settings.LoadSettings(store, m_colors, m_callbacks, m_shell);
    EXPECT_EQ(settings.historyLenght, 7);
    EXPECT_EQ(settings.textColor, 0x060504u);
    EXPECT_EQ(m_questions, 1);
    EXPECT_FALSE(settings.SaveSettings(store));
    EXPECT_TRUE(std::filesystem::is_directory(path()));
}

TEST(SettingsTable, NamesAreFoundWithoutRegardToCase) {
    const SettingKey* key = FindSettingKey("sendrecerviesettings", "HISTORYLENGHT");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->key, "HistoryLenght");
    EXPECT_EQ(key->intField, &AppSettings::historyLenght);
    EXPECT_EQ(FindSettingKey("SendReceiveSettings", "HistoryLength"), nullptr);
    EXPECT_EQ(FindSettingKey(&AppSettings::history)->key, "History");
}

} // namespace
} // namespace kestrola::core
