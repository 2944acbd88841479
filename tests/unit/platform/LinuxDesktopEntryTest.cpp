#include "platform/linux/LinuxDesktopEntry.h"

#include "TempDir.h"
#include "platform/BrowserCommand.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

TEST(DesktopEntry, ValueEscapes) {
    EXPECT_EQ(UnescapeDesktopValue(R"(a\sb\tc\nd\re\\f)"), "a b\tc\nd\re\\f");
    // Escapes of the Exec quoting stay for the next step.
    EXPECT_EQ(UnescapeDesktopValue(R"("a\"b" \$x)"), R"("a\"b" \$x)");
    EXPECT_EQ(UnescapeDesktopValue("trailing\\"), "trailing\\");
}

TEST(DesktopEntry, ExecLineIsCutAtTheFirstDocumentPlaceholder) {
    const std::pair<const char*, const char*> cases[] = {
        {"firefox %u", "firefox "},
        {"chromium --new-window %U --incognito", "chromium --new-window "},
        {"viewer %f", "viewer "},
        {"viewer %F", "viewer "},
        {"\"/opt/my browser/run\" \"%u\" --tail", "\"/opt/my browser/run\" "},
        {"browser --name=%%u %i %u", "browser --name=%%u %i "},
        {"browser %c %k", "browser %c %k"},
        {"browser", "browser"},
        {"%u", ""},
        {"browser 100%", "browser 100%"}};
    for (const auto& [exec, cut] : cases)
        EXPECT_EQ(CutExecLine(exec), cut) << exec;
}

TEST(DesktopEntry, ExecLineSplitsByItsQuotingRules) {
    using Args = std::vector<std::string>;
    const std::pair<const char*, Args> cases[] = {
        {"firefox ", Args{"firefox"}},
        {"  a   b\tc ", Args{"a", "b", "c"}},
        {"\"/opt/my browser/run\" --x", Args{"/opt/my browser/run", "--x"}},
        {R"(run "a \"quoted\" \$HOME \` \\ word")", Args{"run", R"(a "quoted" $HOME ` \ word)"}},
        {R"(run "\n")", Args{"run", R"(\n)"}},
        {"run \"\" x", Args{"run", "", "x"}},
        {"run pre\"fix mid\"post", Args{"run", "prefix midpost"}},
        {"run %i %c %k --name=%%u 100%%", Args{"run", "--name=%u", "100%"}},
        {"", Args{}}};
    for (const auto& [exec, args] : cases) {
        const auto split = SplitExecLine(exec);
        ASSERT_TRUE(split) << exec;
        EXPECT_EQ(*split, args) << exec;
    }
    EXPECT_FALSE(SplitExecLine("run \"open quote"));
}

TEST(DesktopEntry, ValuesComeFromTheDesktopEntryGroupOnly) {
    const std::string text = "# comment\n"
                             "[Other]\nExec=wrong\n"
                             "[Desktop Entry]\r\n"
                             "Name=Browser\r\n"
                             "Exec[de]=localised %u\n"
                             "Exec = run\\s%u \n"
                             "Exec=second\n"
                             "[Desktop Action new]\nExec=action\n";
    EXPECT_EQ(DesktopEntryValue(text, "Exec"), "run %u");
    EXPECT_EQ(DesktopEntryValue(text, "Name"), "Browser");
    EXPECT_FALSE(DesktopEntryValue(text, "Hidden"));
    EXPECT_FALSE(DesktopEntryValue("Exec=outside any group", "Exec"));
}

TEST(DesktopEntry, MimeAssociationsList) {
    const std::string text = "[Default Applications]\n"
                             "text/plain=editor.desktop\n"
                             "text/html=one.desktop; two.desktop;;\n"
                             "[Added Associations]\n"
                             "text/html=three.desktop\n";
    EXPECT_EQ(MimeAssociations(text, "Default Applications", "text/html"),
              (std::vector<std::string>{"one.desktop", "two.desktop"}));
    EXPECT_EQ(MimeAssociations(text, "Added Associations", "text/html"),
              (std::vector<std::string>{"three.desktop"}));
    EXPECT_TRUE(MimeAssociations(text, "Default Applications", "image/png").empty());
}

TEST(BrowserCommand, RefusesWhatWouldNotFitTheBuffer) {
    std::string command = "untouched";
    EXPECT_EQ(ComposeBrowserCommand("firefox ", "https://a.example/", command), 0);
    EXPECT_EQ(command, "firefox  https://a.example/");
    // 519 characters and the terminator fill the 520 exactly.
    const std::string program(100, 'p');
    EXPECT_EQ(ComposeBrowserCommand(program, std::string(418, 'u'), command), 0);
    EXPECT_EQ(command.size(), 519u);
    command = "untouched";
    EXPECT_EQ(ComposeBrowserCommand(program, std::string(419, 'u'), command), 8);
    EXPECT_EQ(command, "untouched");
}

class MimeHandlerSearch : public ::testing::Test {
protected:
    void SetUp() override {
        dirs.configHome = tmp.File("config");
        dirs.configDirs = {tmp.File("etc-xdg")};
        dirs.dataHome = tmp.File("data");
        dirs.dataDirs = {tmp.File("usr-share")};
    }
    void Write(const std::string& relative, const std::string& text) {
        const std::string path = tmp.File(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFileBytes(path, text);
    }
    void Entry(const std::string& relative, const std::string& exec, bool hidden = false) {
        Write(relative, "[Desktop Entry]\nType=Application\nExec=" + exec + "\n" +
                            (hidden ? "Hidden=true\n" : ""));
    }

    TempDir tmp;
    XdgDirs dirs;
};

TEST_F(MimeHandlerSearch, DefaultsWinInXdgOrderAndSkipMissingEntries) {
    Entry("usr-share/applications/system.desktop", "system-browser %u");
    Entry("data/applications/mine.desktop", "my-browser %u");
    Write("usr-share/applications/mimeapps.list",
          "[Default Applications]\ntext/html=system.desktop\n");
    Write("config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;mine.desktop\n");
    EXPECT_EQ(FindMimeHandlerExec(dirs, "text/html"), "my-browser %u");

    // The desktop's own list comes first.
    dirs.desktops = {"testdesk"};
    Write("config/testdesk-mimeapps.list", "[Default Applications]\ntext/html=system.desktop\n");
    EXPECT_EQ(FindMimeHandlerExec(dirs, "text/html"), "system-browser %u");
}

TEST_F(MimeHandlerSearch, AddedAssociationsThenTheCache) {
    Entry("usr-share/applications/kde4/konq.desktop", "konq %u");
    Entry("usr-share/applications/cached.desktop", "cached %U");
    Write("usr-share/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=cached.desktop;\n");
    EXPECT_EQ(FindMimeHandlerExec(dirs, "text/html"), "cached %U");

    Write("etc-xdg/mimeapps.list", "[Added Associations]\ntext/html=kde4-konq.desktop\n");
    EXPECT_EQ(FindMimeHandlerExec(dirs, "text/html"), "konq %u");
}

TEST_F(MimeHandlerSearch, HiddenEntryHidesTheSameIdFurtherDown) {
    Entry("data/applications/web.desktop", "user-copy %u", true);
    Entry("usr-share/applications/web.desktop", "system-copy %u");
    Write("config/mimeapps.list", "[Default Applications]\ntext/html=web.desktop\n");
    EXPECT_FALSE(FindMimeHandlerExec(dirs, "text/html"));
}

} // namespace
} // namespace kestrola::platform
