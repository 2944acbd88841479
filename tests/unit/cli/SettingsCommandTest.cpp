#include "TempDir.h"
#include "settings/AppSettings.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class SettingsCommandTest : public ::testing::Test {
protected:
    CliRun Cli(const std::vector<std::string>& arguments) {
        const std::string errors = m_work.File("stderr");
        std::string command = "XDG_CONFIG_HOME=" + ShellQuoted(m_config.path()) + " " +
                              std::string(KESTROLA_CLI_PATH) + " settings";
        for (const auto& argument : arguments)
            command += " " + ShellQuoted(argument);
        command += " 2>" + ShellQuoted(errors);
        CliRun run;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return run;
        std::array<char, 4096> buffer{};
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            run.out.append(buffer.data(), n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.err = ReadFileBytes(errors);
        return run;
    }
    std::string userStore() const { return m_config.File("Ovrin software/Kestrola NET.conf"); }
    std::string iniStore() const { return m_config.File("kestrola-net.INI"); }
    bool ConfigIsEmpty() const { return std::filesystem::is_empty(m_config.path()); }

    testing::TempDir m_config;
    testing::TempDir m_work;
};

TEST_F(SettingsCommandTest, ListOnAnEmptyStorePrintsEveryKeyWithItsDefault) {
    const CliRun run = Cli({"list"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const SettingKey& key : kSettingKeys) {
        const std::string line = "\n" + std::string(key.key) + " = ";
        const auto at = run.out.find(line);
        ASSERT_NE(at, std::string::npos) << key.key;
        const std::string rest = run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
        EXPECT_NE(rest.find("  (default"), std::string::npos) << rest;
    }
    for (const char* expected : {
             "\n[SendRecervieSettings]\n",
             "\nHistoryLenght = 7  (default)\n",
             "\nSkinFileName = \"default.skn\"  (default)\n",
             "\nCurrentVersion = \"\"  (default)\n",
             "\nBackgroundTextColor = 16777215 (0xFFFFFF)  (default: system colour COLOR_WINDOW)\n",
             "\nForegroundWindowColor = 5066061 (0x4D4D4D)  (default)\n",
             "\n[Personalized Sounds]\nCount = 0  (default)\n",
             "\n[LastSended]\nCount = 0  (default)\n",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
    EXPECT_EQ(run.out.rfind("# " + userStore() + "\n", 0), 0u) << "names the store first";
    EXPECT_TRUE(ConfigIsEmpty()) << "listing writes nothing";
}

TEST_F(SettingsCommandTest, SetAndGetMatchNamesWithoutRegardToCase) {
    EXPECT_EQ(Cli({"set", "sendrecerviesettings", "HISTORYLENGHT", "12"}).status, 0);
    EXPECT_EQ(ReadFileBytes(userStore()), "[SendRecervieSettings]\nHistoryLenght=12\n");
    const CliRun get = Cli({"get", "SendRecervieSettings", "historylenght"});
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "12\n");
    EXPECT_NE(Cli({"list"}).out.find("\nHistoryLenght = 12\n"), std::string::npos);
}

TEST_F(SettingsCommandTest, IntegerKeysRefuseWhatIsNoNumber) {
    for (const char* value : {"abc", "1.5", "", "12 ", "99999999999", "0x10", "1-", "7a"}) {
        const CliRun run = Cli({"set", "SendRecervieSettings", "HistoryLenght", value});
        EXPECT_EQ(run.status, 1) << value;
        EXPECT_NE(run.err.find("HistoryLenght takes a whole number"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(ConfigIsEmpty());
    EXPECT_EQ(Cli({"set", "TextFontSettings", "lfHeight", "-2147483648"}).status, 0);
    EXPECT_EQ(Cli({"set", "SystemSettings", "HotKey", "+5"}).status, 0);
    EXPECT_EQ(Cli({"set", "ColorsSettings", "TextColor", "0x0000FF"}).status, 0);
    EXPECT_EQ(Cli({"set", "ColorsSettings", "TextColor", "0xGG"}).status, 1);
    EXPECT_EQ(ReadFileBytes(userStore()), "[TextFontSettings]\nlfHeight=-2147483648\n\n"
                                          "[SystemSettings]\nHotKey=5\n\n"
                                          "[ColorsSettings]\nTextColor=255\n");
}

TEST_F(SettingsCommandTest, IniOptionAddressesTheProgramsIniFile) {
    EXPECT_EQ(Cli({"set", "--ini", "SystemSettings", "NoClose", "1"}).status, 0);
    EXPECT_EQ(ReadFileBytes(iniStore()), "[SystemSettings]\nNoClose=1\n");
    EXPECT_FALSE(testing::FileExists(userStore()));
    EXPECT_EQ(Cli({"get", "SystemSettings", "NoClose", "--ini"}).out, "1\n");
    EXPECT_EQ(Cli({"get", "SystemSettings", "NoClose"}).out, "0\n");
    EXPECT_EQ(Cli({"list", "--ini"}).out.rfind("# " + iniStore() + "\n", 0), 0u);
}

TEST_F(SettingsCommandTest, HandEditedStoreKeepsItsComments) {
    WriteFileBytes(iniStore(), "; mine\r\n[systemsettings]\r\nhotkey = 0 ; no hot key\r\n"
                               "[Extra]\r\nx=1\r\n");
    EXPECT_EQ(Cli({"set", "--ini", "SystemSettings", "ToolTips", "0"}).status, 0);
    EXPECT_EQ(Cli({"set", "--ini", "SystemSettings", "HotKey", "0"}).status, 0);
    EXPECT_EQ(ReadFileBytes(iniStore()),
              "; mine\n[systemsettings]\nhotkey = 0 ; no hot key\nToolTips=0\n[Extra]\nx=1\n");
    EXPECT_EQ(Cli({"get", "--ini", "systemSETTINGS", "hotKEY"}).out, "0\n");
}

TEST_F(SettingsCommandTest, WritersAtOnceAllLand) {
    const std::vector<std::string> keys = {"FlatButtons",  "ToolTips", "AlwaysOnTop", "ScrollLock",
                                           "RunMinimized", "FastScan", "NoClose",     "HotKey"};
    ASSERT_EQ(Cli({"set", "--ini", "SystemSettings", "BlinkTrayIcon", "0"}).status, 0);
    // Companions at once, each writing its own key; none may lose another's value.
    std::string command = "pids=; for key in";
    for (const std::string& key : keys)
        command += " " + key;
    command += "; do XDG_CONFIG_HOME=" + ShellQuoted(m_config.path()) + " " +
               std::string(KESTROLA_CLI_PATH) +
               " settings set --ini SystemSettings $key 7 & pids=\"$pids $!\"; done; fails=0; " +
               "for pid in $pids; do wait $pid || fails=$((fails+1)); done; exit $fails";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string stored = ReadFileBytes(iniStore());
    for (const std::string& key : keys)
        EXPECT_NE(stored.find(key + "=7"), std::string::npos) << stored;
}

TEST_F(SettingsCommandTest, ValuesShowAsTheProgramUsesThem) {
    std::filesystem::create_directories(m_config.File("Ovrin software"));
    WriteFileBytes(userStore(), "[TextFontSettings]\nlfHeight=-20\nlfItalic=257\n"
                                "[SendRecervieSettings]\nSuccesMessageTimeOut=soon\n");
    EXPECT_EQ(Cli({"get", "TextFontSettings", "lfHeight"}).out, "0\n");
    const std::string list = Cli({"list"}).out;
    EXPECT_NE(list.find("\nlfHeight = 0  (stored -20, reset by the font rule"), std::string::npos)
        << list;
    EXPECT_NE(list.find("\nSuccesMessageTimeOut = 0  (stored \"soon\" is not a number and reads "
                        "as 0)\n"),
              std::string::npos);

    EXPECT_EQ(Cli({"set", "TextFontSettings", "FaceName", "Arial"}).status, 0);
    EXPECT_EQ(Cli({"get", "TextFontSettings", "lfHeight"}).out, "-20\n");
    EXPECT_EQ(Cli({"get", "TextFontSettings", "lfItalic"}).out, "1\n");
    EXPECT_NE(Cli({"list"}).out.find("\nlfItalic = 1  (stored 257, low 8 bits kept)\n"),
              std::string::npos);
}

TEST_F(SettingsCommandTest, TextValues) {
    EXPECT_EQ(Cli({"set", "SystemSettings", "SkinFileName", " my skin "}).status, 0);
    EXPECT_EQ(Cli({"get", "SystemSettings", "SkinFileName"}).out, " my skin \n");
    const CliRun broken = Cli({"set", "SystemSettings", "SkinFileName", "a\nb"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("line break"), std::string::npos);
    const CliRun longName = Cli({"set", "TextFontSettings", "FaceName", std::string(32, 'x')});
    EXPECT_EQ(longName.status, 1);
    EXPECT_NE(longName.err.find("FaceName holds at most 31 characters"), std::string::npos);
    EXPECT_EQ(Cli({"set", "TextFontSettings", "FaceName", std::string(31, 'x')}).status, 0);
}

TEST_F(SettingsCommandTest, ListSectionsHoldCountAndEntries) {
    EXPECT_EQ(Cli({"set", "LastSended", "1", "PC2"}).status, 0);
    EXPECT_EQ(Cli({"set", "lastsended", "count", "2"}).status, 0);
    EXPECT_EQ(Cli({"set", "personalized sounds", "count", "x"}).status, 1);
    EXPECT_EQ(Cli({"get", "LastSended", "1"}).out, "PC2\n");
    EXPECT_EQ(Cli({"get", "LastSended", "Count"}).out, "2\n");
    EXPECT_NE(Cli({"list"}).out.find("\n[LastSended]\nCount = 2\n0 = \"\"  (missing: reads as "
                                     "empty)\n1 = \"PC2\"\n"),
              std::string::npos);
    for (const char* key : {"x", "01", "-1", ""}) {
        const CliRun run = Cli({"get", "LastSended", key});
        EXPECT_EQ(run.status, 1) << key;
        EXPECT_NE(run.err.find("holds only \"Count\" and the entries"), std::string::npos);
    }
}

TEST_F(SettingsCommandTest, UnknownNamesAndBadInvocations) {
    const CliRun section = Cli({"get", "SendReceiveSettings", "HistoryLenght"});
    EXPECT_EQ(section.status, 1);
    EXPECT_NE(section.err.find("there is no section 'SendReceiveSettings'"), std::string::npos);
    const CliRun key = Cli({"set", "SendRecervieSettings", "HistoryLength", "3"});
    EXPECT_EQ(key.status, 1);
    EXPECT_NE(key.err.find("there is no key 'HistoryLength' in section"), std::string::npos);
    EXPECT_EQ(Cli({}).status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    EXPECT_EQ(Cli({"get", "SystemSettings"}).status, 2);
    EXPECT_EQ(Cli({"set", "SystemSettings", "HotKey"}).status, 2);
    EXPECT_EQ(Cli({"list", "--registry"}).status, 2);
    EXPECT_TRUE(ConfigIsEmpty());
}

TEST_F(SettingsCommandTest, FailedWriteIsReported) {
    std::filesystem::create_directories(userStore()); // a folder where the file should be
    const CliRun run = Cli({"set", "SystemSettings", "HotKey", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write " + userStore()), std::string::npos) << run.err;
}

} // namespace
} // namespace kestrola::core
