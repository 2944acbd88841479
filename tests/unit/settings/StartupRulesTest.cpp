#include "settings/StartupRules.h"

#include "fakes/FakeProcessEnvironment.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrola::core {
namespace {

using platform::testing::FakeProcessEnvironment;
using namespace std::string_view_literals;

TEST(StartupRules, AnyLetterIOfTheProgramsOwnArgumentsChoosesTheIniFile) {
    for (const char* line : {"-i", "/INI", "install", "--verbose -x I"})
        EXPECT_EQ(ChooseStore(line), StoreChoice::IniFile) << line;
    for (const std::string_view line : {""sv, "-R"sv, "--no-update 42"sv, "-x\0i"sv})
        EXPECT_EQ(ChooseStore(line), StoreChoice::PerUser) << '"' << line << '"';

    // The session manager's "-session <id>" and the toolkit's options never choose the store.
    const std::pair<std::vector<const char*>, const char*> arguments[] = {
        {{}, ""},
        {{"-x", "a b", "I"}, "-x a b I"},
        {{"-session", "abc"}, ""},
        {{"--display=:5", "-name", "kim"}, ""},
        {{"-session", "abc", "i"}, "i"},
        {{"-display", ":5", "-i"}, "-i"},
        {{"-style=Windows", "-reverse", "-x"}, "-x"},
        {{"-session"}, ""},
    };
    for (const auto& [args, line] : arguments) {
        std::vector<const char*> argv{"/opt/kestrola/kestrola-net"}; // the path holds an i
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(RawCommandLine(static_cast<int>(argv.size()), argv.data()), line);
    }
}

TEST(StartupRules, StoreFilesAreNamedAfterTheExecutableAndTheCompany) {
    const std::pair<const char*, const char*> names[] = {
        {"/opt/kestrola/kestrola-net", "kestrola-net.INI"},
        {"C:/Program Files/Kestrola/KESTROLA.EXE", "KESTROLA.INI"},
        {"kestrola.v2.bin", "kestrola.v2.INI"},
        {"/usr/bin/.hidden", ".hidden.INI"},
    };
    for (const auto& [program, ini] : names)
        EXPECT_EQ(IniFileName(program), ini);
    FakeProcessEnvironment environment;
    environment.configFolder = "/home/kim/.config";
    EXPECT_EQ(IniStorePath(environment, "/opt/k/kestrola-net"),
              "/home/kim/.config/kestrola-net.INI");
    EXPECT_EQ(UserStorePath(environment), "/home/kim/.config/Ovrin software/Kestrola NET.conf");
    environment.configFolder.clear(); // no home at all: bare names, as the desktop uses
    EXPECT_EQ(IniStorePath(environment, "/opt/k/kestrola-net"), "kestrola-net.INI");
}

TEST(StartupRules, WorkingFolderIsTheProgramsFolderWhenWritableElseTheDataFolder) {
    FakeProcessEnvironment environment;
    environment.executablePath = "/home/kim/build/kestrola-net";
    environment.writableFolders.insert("/home/kim/build");
    EXPECT_EQ(ChooseWorkingFolder(environment), "/home/kim/build");
    EXPECT_TRUE(environment.madeFolders.empty());

    environment.executablePath = "/usr/bin/kestrola-net";
    environment.dataFolder = "/home/kim/.local/share";
    EXPECT_EQ(ChooseWorkingFolder(environment), "/home/kim/.local/share/kestrola-net");
    EXPECT_EQ(environment.madeFolders,
              std::vector<std::string>{"/home/kim/.local/share/kestrola-net"});
    environment.executablePath.clear();
    EXPECT_EQ(ChooseWorkingFolder(environment), "/home/kim/.local/share/kestrola-net");
    environment.executablePath = "/usr/bin/kestrola-net";
    environment.dataFolder.clear();
    EXPECT_EQ(ChooseWorkingFolder(environment), "/usr/bin") << "nothing better is known";
}

TEST(StartupRules, OneInstanceHoldsTheMarkerAndASecondStopsBeforeTouchingAnything) {
    FakeProcessEnvironment running;
    running.writableFolders.insert("/opt/kestrola");
    StartupOutcome first = BeginStartup(running, "-i");
    EXPECT_TRUE(first.proceed);
    EXPECT_EQ(running.markerRequests, std::vector<std::string>{"Kestrola NET Application"});
    EXPECT_EQ(running.workingFolders, std::vector<std::string>{"/opt/kestrola"});
    ASSERT_NE(first.store, nullptr);
    EXPECT_EQ(first.store->Location(), "/home/user/.config/kestrola-net.INI");

    FakeProcessEnvironment second;
    second.heldMarkers = running.heldMarkers; // the same desktop
    StartupOutcome refused = BeginStartup(second, "");
    EXPECT_FALSE(refused.proceed);
    EXPECT_EQ(refused.marker, nullptr);
    EXPECT_EQ(refused.store, nullptr);
    EXPECT_TRUE(second.workingFolders.empty());
    EXPECT_TRUE(second.madeFolders.empty());
    first.marker.reset(); // the first instance ends
    EXPECT_TRUE(BeginStartup(second, "").proceed);

    FakeProcessEnvironment broken; // a marker that cannot be made does not stop the start
    broken.markerFails = true;
    broken.setWorkingFolderSucceeds = false;
    StartupOutcome outcome = BeginStartup(broken, "");
    EXPECT_TRUE(outcome.proceed);
    EXPECT_EQ(outcome.store->Location(), "/home/user/.config/Ovrin software/Kestrola NET.conf");
}

} // namespace
} // namespace kestrola::core
