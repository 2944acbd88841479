#include "platform/linux/LinuxShell.h"

#include "TempDir.h"
#include "controls/Hyperlink.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace kestrola::platform {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// Fake openers and browsers are small scripts that record how they were started.
class LinuxShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.searchPath = tmp.File("bin");
        std::filesystem::create_directories(tmp.File("bin"));
        options.dirs.configHome = tmp.File("config");
        options.dirs.dataHome = tmp.File("data");
        options.dirs.configDirs = {};
        options.dirs.dataDirs = {};
        options.openerWaitMilliseconds = 5000;
    }

    std::string Script(const std::string& name, const std::string& body, bool executable = true) {
        const std::string path = tmp.File("bin/" + name);
        WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
        ::chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }

    // A recorder writes its arguments, one per line, then renames the file into place, so a
    // reader never sees half of it.
    std::string Recorder(const std::string& name, const std::string& out, int exitCode = 0) {
        return Script(name, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out +
                                ".part'\nmv '" + out + ".part' '" + out + "'\nexit " +
                                std::to_string(exitCode));
    }

    void RegisterBrowser(const std::string& exec) {
        std::filesystem::create_directories(tmp.File("data/applications"));
        WriteFileBytes(tmp.File("data/applications/fake.desktop"),
                       "[Desktop Entry]\nType=Application\nExec=" + exec + "\n");
        std::filesystem::create_directories(tmp.File("config"));
        WriteFileBytes(tmp.File("config/mimeapps.list"),
                       "[Default Applications]\ntext/html=fake.desktop\n");
    }

    // The browser runs detached, so its record appears a moment later.
    static std::string WaitForFile(const std::string& path) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!FileExists(path) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ReadFileBytes(path);
    }

    TempDir tmp;
    LinuxShellOptions options;
};

TEST_F(LinuxShellTest, OpenerExitCodesMapToShellResults) {
    const std::pair<int, int> cases[] = {{0, 42}, {1, 2}, {2, 2}, {3, 31},
                                         {4, 27}, {5, 5}, {9, 27}};
    for (const auto& [exitCode, result] : cases) {
        options.opener = Script("opener", "exit " + std::to_string(exitCode));
        LinuxShell shell(options);
        EXPECT_EQ(shell.Open("open", "https://a.example/"), result) << exitCode;
    }
}

TEST_F(LinuxShellTest, OpenerGetsTheTargetAsOneArgumentWithoutAShell) {
    const std::string out = tmp.File("args");
    Recorder("xdg-open", out);
    options.opener = "xdg-open"; // looked up in the search path
    LinuxShell shell(options);
    const std::string target = "https://a.example/?q=1 2;touch '" + tmp.File("injected") + "'";
    EXPECT_EQ(shell.Open("open", target), 42);
    EXPECT_EQ(ReadFileBytes(out), target + "\n");
    EXPECT_FALSE(FileExists(tmp.File("injected")));

    // A leading dash would read as an option.
    EXPECT_EQ(shell.Open("explore", "--version"), 42);
    EXPECT_EQ(ReadFileBytes(out), "./--version\n");
}

TEST_F(LinuxShellTest, OpenerThatCannotRun) {
    options.opener = "no-such-opener";
    EXPECT_EQ(LinuxShell(options).Open("open", "x"), 31);
    options.opener = Script("not-executable", "exit 0", false);
    EXPECT_EQ(LinuxShell(options).Open("open", "x"), 5);
}

TEST_F(LinuxShellTest, OpenerStillRunningAfterTheWaitCountsAsOpened) {
    options.opener = Script("slow-opener", "sleep 2\nexit 4");
    options.openerWaitMilliseconds = 100;
    EXPECT_EQ(LinuxShell(options).Open("open", "x"), 42);
}

TEST_F(LinuxShellTest, BrowserRunsTheCutCommandWithTheUrl) {
    const std::string out = tmp.File("browser-args");
    RegisterBrowser("\"" + Recorder("my browser", out) + "\" --new-window %u --dropped");
    LinuxShell shell(options);
    const std::string url = "mailto:support@kestrola.example?subject=About Kestrola NET";
    EXPECT_EQ(shell.RunWebBrowser(url), 42);
    EXPECT_EQ(WaitForFile(out), "--new-window\n" + url + "\n");
}

TEST_F(LinuxShellTest, BrowserFailures) {
    LinuxShell shell(options);
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), std::nullopt);

    RegisterBrowser("no-such-browser %u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 2);

    RegisterBrowser(Script("browser", "exit 0", false) + " %u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 5);

    const std::string badInterpreter = Script("bad-interpreter", "");
    WriteFileBytes(badInterpreter, "#!/no/such/interpreter\n");
    RegisterBrowser(badInterpreter + " %u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 2);

    const std::string noShebang = Script("no-shebang", "");
    WriteFileBytes(noShebang, "\x7f"
                              "ELF garbage");
    RegisterBrowser(noShebang + " %u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 11);

    RegisterBrowser("\"unclosed %u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 27);

    RegisterBrowser("%u");
    EXPECT_EQ(shell.RunWebBrowser("https://a.example/"), 27);
}

TEST_F(LinuxShellTest, LinkFallsBackToTheBrowserWhenTheOpenerFails) {
    options.opener = Script("opener", "exit 3");
    const std::string out = tmp.File("browser-args");
    RegisterBrowser(Recorder("browser", out) + " %U");
    LinuxShell shell(options);
    EXPECT_EQ(core::GotoUrl(shell, "https://www.kestrola.example/"), 42);
    EXPECT_EQ(WaitForFile(out), "https://www.kestrola.example/\n");

    std::filesystem::remove(tmp.File("config/mimeapps.list"));
    EXPECT_EQ(core::GotoUrl(shell, "https://www.kestrola.example/"), 31);
}

} // namespace
} // namespace kestrola::platform
