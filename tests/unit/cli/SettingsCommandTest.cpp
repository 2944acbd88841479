#include "TempDir.h"
#include "settings/AppSettings.h"

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

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class SettingsCommandTest : public ::testing::Test {
protected:
    std::string Prefix() const {
        return "XDG_CONFIG_HOME=" + Quoted(m_config.path()) + " " + KESTROLA_CLI_PATH + " settings";
    }
    CliRun Cli(const std::vector<std::string>& arguments) {
        std::string command = Prefix();
        for (const auto& argument : arguments)
            command += " " + Quoted(argument);
        const std::string out = m_work.File("out"), err = m_work.File("err");
        const int status =
            std::system((command + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out),
                ReadFileBytes(err)};
    }
    std::string Out(const std::vector<std::string>& arguments) { return Cli(arguments).out; }
    bool Listed(const std::string& text) { return Out({"list"}).find(text) != std::string::npos; }
    std::string userStore() const { return m_config.File("Ovrin software/Kestrola NET.conf"); }
    std::string iniStore() const { return m_config.File("kestrola-net.INI"); }

    testing::TempDir m_config;
    testing::TempDir m_work;
};

TEST_F(SettingsCommandTest, ListOnAnEmptyStorePrintsEveryKeyWithItsDefault) {
    const std::string out = Out({"list"});
    for (const SettingKey& key : kSettingKeys) {
        const auto at = out.find("\n" + std::string(key.key) + " = ");
        ASSERT_NE(at, std::string::npos) << key.key;
        EXPECT_NE(out.substr(at + 1, out.find('\n', at + 1) - at - 1).find("  (default"),
                  std::string::npos)
            << key.key;
    }
    EXPECT_NE(out.find("\nBackgroundTextColor = 16777215 (0xFFFFFF)  (default: system colour "
                       "COLOR_WINDOW)\n"),
              std::string::npos);
    EXPECT_EQ(out.rfind("# " + userStore() + "\n", 0), 0u) << "names the store first";
    EXPECT_TRUE(std::filesystem::is_empty(m_config.path())) << "listing writes nothing";
}

TEST_F(SettingsCommandTest, SetAndGetMatchNamesWithoutRegardToCaseAndCheckValues) {
    EXPECT_EQ(Cli({"set", "sendrecerviesettings", "HISTORYLENGHT", "12"}).status, 0);
    EXPECT_EQ(ReadFileBytes(userStore()), "[SendRecervieSettings]\nHistoryLenght=12\n");
    EXPECT_EQ(Out({"get", "SendRecervieSettings", "historylenght"}), "12\n");
    EXPECT_TRUE(Listed("\nHistoryLenght = 12\n"));
    for (const char* value : {"abc", "1.5", "", "12 ", "99999999999", "0x10", "1-", "7a"}) {
        const CliRun run = Cli({"set", "SendRecervieSettings", "HistoryLenght", value});
        EXPECT_EQ(run.status, 1) << value;
        EXPECT_NE(run.err.find("HistoryLenght takes a whole number"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Cli({"set", "TextFontSettings", "lfHeight", "-2147483648"}).status, 0);
    EXPECT_EQ(Cli({"set", "SystemSettings", "HotKey", "+5"}).status, 0);
    EXPECT_EQ(Cli({"set", "ColorsSettings", "TextColor", "0x0000FF"}).status, 0);
    EXPECT_EQ(Cli({"set", "ColorsSettings", "TextColor", "0xGG"}).status, 1);
    EXPECT_EQ(Cli({"set", "SystemSettings", "SkinFileName", " my skin "}).status, 0);
    EXPECT_EQ(Out({"get", "SystemSettings", "SkinFileName"}), " my skin \n");
    EXPECT_EQ(ReadFileBytes(userStore()),
              "[SendRecervieSettings]\nHistoryLenght=12\n\n[TextFontSettings]\n"
              "lfHeight=-2147483648\n\n[SystemSettings]\nHotKey=5\nSkinFileName=\" my skin \"\n\n"
              "[ColorsSettings]\nTextColor=255\n");
}

TEST_F(SettingsCommandTest, IniOptionAddressesTheProgramsIniFileAndKeepsItsComments) {
    WriteFileBytes(iniStore(), "; mine\r\n[systemsettings]\r\nhotkey = 0 ; no hot key\r\n"
                               "[Extra]\r\nx=1\r\n");
    EXPECT_EQ(Cli({"set", "--ini", "SystemSettings", "NoClose", "1"}).status, 0);
    EXPECT_EQ(ReadFileBytes(iniStore()),
              "; mine\n[systemsettings]\nhotkey = 0 ; no hot key\nNoClose=1\n[Extra]\nx=1\n");
    EXPECT_FALSE(testing::FileExists(userStore()));
    EXPECT_EQ(Out({"get", "SystemSettings", "NoClose", "--ini"}), "1\n");
    EXPECT_EQ(Out({"get", "SystemSettings", "NoClose"}), "0\n");
    EXPECT_EQ(Out({"list", "--ini"}).rfind("# " + iniStore() + "\n", 0), 0u);
}

TEST_F(SettingsCommandTest, WritersAtOnceAllLand) {
    const std::vector<std::string> keys = {"FlatButtons",  "ToolTips", "AlwaysOnTop", "ScrollLock",
                                           "RunMinimized", "FastScan", "NoClose",     "HotKey"};
    ASSERT_EQ(Cli({"set", "--ini", "SystemSettings", "BlinkTrayIcon", "0"}).status, 0);
    std::string command = "pids=; for key in";
    for (const std::string& key : keys)
        command += " " + key;
    command += "; do " + Prefix() + " set --ini SystemSettings $key 7 & pids=\"$pids $!\"; done;" +
               " fails=0; for pid in $pids; do wait $pid || fails=$((fails+1)); done; exit $fails";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string stored = ReadFileBytes(iniStore());
    for (const std::string& key : keys)
        EXPECT_NE(stored.find(key + "=7"), std::string::npos) << stored;
}

TEST_F(SettingsCommandTest, ListSectionsHoldCountAndEntries) {
    EXPECT_EQ(Cli({"set", "LastSended", "1", "PC2"}).status, 0);
    EXPECT_EQ(Cli({"set", "lastsended", "count", "2"}).status, 0);
    EXPECT_EQ(Cli({"set", "personalized sounds", "count", "x"}).status, 1);
    EXPECT_EQ(Out({"get", "LastSended", "1"}), "PC2\n");
    EXPECT_TRUE(Listed("\n[LastSended]\nCount = 2\n0 = \"\"  (missing: reads as empty)\n"
                       "1 = \"PC2\"\n"));
    for (const char* key : {"x", "01", "-1", ""}) {
        const CliRun run = Cli({"get", "LastSended", key});
        EXPECT_EQ(run.status, 1) << key;
        EXPECT_NE(run.err.find("holds only \"Count\" and the entries"), std::string::npos);
    }
}

TEST_F(SettingsCommandTest, UnknownNamesBadInvocationsAndFailedWrites) {
    const std::pair<std::vector<std::string>, const char*> errors[] = {
        {{"get", "SendReceiveSettings", "HistoryLenght"},
         "there is no section 'SendReceiveSettings'"},
        {{"set", "SendRecervieSettings", "HistoryLength", "3"}, "there is no key 'HistoryLength'"},
        {{"set", "SystemSettings", "SkinFileName", "a\nb"}, "line break"},
        {{"set", "TextFontSettings", "FaceName", std::string(32, 'x')},
         "holds at most 31 characters"},
    };
    for (const auto& [arguments, error] : errors) {
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 1) << error;
        EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
    }
    for (const char* usage :
         {"", "frobnicate", "get SystemSettings", "set SystemSettings HotKey", "list --registry"})
        EXPECT_EQ(WEXITSTATUS(std::system((Prefix() + " " + usage + " 2>/dev/null").c_str())), 2)
            << usage;
    EXPECT_TRUE(std::filesystem::is_empty(m_config.path()));
    std::filesystem::create_directories(userStore()); // a folder where the file should be
    const CliRun run = Cli({"set", "SystemSettings", "HotKey", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write " + userStore()), std::string::npos) << run.err;
}

} // namespace
} // namespace kestrola::core
