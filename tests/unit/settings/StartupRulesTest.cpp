#include "settings/StartupRules.h"

#include "fakes/FakeProcessEnvironment.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrola::core {
namespace {

using platform::testing::FakeProcessEnvironment;

struct CommandLineCase {
    const char* line;
    StoreChoice expected;
};

class StoreFromCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(StoreFromCommandLine, AnyLetterIChoosesTheIniFile) {
    EXPECT_EQ(ChooseStore(GetParam().line), GetParam().expected) << '"' << GetParam().line << '"';
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreFromCommandLine,
                         ::testing::Values(CommandLineCase{"-i", StoreChoice::IniFile},
                                           CommandLineCase{"/INI", StoreChoice::IniFile},
                                           CommandLineCase{"install", StoreChoice::IniFile},
                                           CommandLineCase{"settings.ini", StoreChoice::IniFile},
                                           CommandLineCase{"/home/kim/stuff", StoreChoice::IniFile},
                                           CommandLineCase{"--verbose -x I", StoreChoice::IniFile},
                                           CommandLineCase{"", StoreChoice::PerUser},
                                           CommandLineCase{"/x", StoreChoice::PerUser},
                                           CommandLineCase{"-R", StoreChoice::PerUser},
                                           CommandLineCase{"--no-update 42",
                                                           StoreChoice::PerUser}));

TEST(StartupRules, ChoiceStopsAtTheTerminator) {
    EXPECT_EQ(ChooseStore(std::string_view("-x\0i", 4)), StoreChoice::PerUser);
}

struct ArgumentsCase {
    std::vector<const char*> arguments; // after the program's path, which holds an i
    const char* line;
    StoreChoice expected;
};

class StoreFromArguments : public ::testing::TestWithParam<ArgumentsCase> {};

// The session manager restarts the program with "-session <id>"; the toolkit's options and
// their values are not the program's and never choose the store.
TEST_P(StoreFromArguments, ToolkitOptionsDoNotCount) {
    std::vector<const char*> argv{"/opt/kestrola/kestrola-net"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const std::string line = RawCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line, GetParam().line);
    EXPECT_EQ(ChooseStore(line), GetParam().expected) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreFromArguments,
    ::testing::Values(ArgumentsCase{{}, "", StoreChoice::PerUser},
                      ArgumentsCase{{"-x", "a b", "I"}, "-x a b I", StoreChoice::IniFile},
                      ArgumentsCase{{"-session", "abc"}, "", StoreChoice::PerUser},
                      ArgumentsCase{{"-display", ":5"}, "", StoreChoice::PerUser},
                      ArgumentsCase{{"--display=:5", "-name", "kim"}, "", StoreChoice::PerUser},
                      ArgumentsCase{{"-session", "abc", "i"}, "i", StoreChoice::IniFile},
                      ArgumentsCase{{"-display", ":5", "-i"}, "-i", StoreChoice::IniFile},
                      ArgumentsCase{
                          {"-style=Windows", "-reverse", "-x"}, "-x", StoreChoice::PerUser},
                      ArgumentsCase{{"-session"}, "", StoreChoice::PerUser}));

TEST(StartupRules, StoreFilesAreNamedAfterTheExecutableAndTheCompany) {
    FakeProcessEnvironment environment;
    environment.configFolder = "/home/kim/.config";
    EXPECT_EQ(IniFileName("/opt/kestrola/kestrola-net"), "kestrola-net.INI");
    EXPECT_EQ(IniFileName("C:/Program Files/Kestrola/KESTROLA.EXE"), "KESTROLA.INI");
    EXPECT_EQ(IniFileName("kestrola.v2.bin"), "kestrola.v2.INI");
    EXPECT_EQ(IniFileName("/usr/bin/.hidden"), ".hidden.INI");
    EXPECT_EQ(IniStorePath(environment, "/opt/kestrola/kestrola-net"),
              "/home/kim/.config/kestrola-net.INI");
    EXPECT_EQ(UserStorePath(environment), "/home/kim/.config/Ovrin software/Kestrola NET.conf");
    EXPECT_EQ(OpenStore(StoreChoice::PerUser, environment, "x")->Location(),
              UserStorePath(environment));

    environment.configFolder.clear(); // no home at all: bare names, as the desktop uses
    EXPECT_EQ(IniStorePath(environment, "/opt/kestrola/kestrola-net"), "kestrola-net.INI");
}

TEST(StartupRules, WorkingFolderIsTheProgramsFolderWhenWritable) {
    FakeProcessEnvironment environment;
    environment.executablePath = "/home/kim/build/kestrola-net";
    environment.writableFolders.insert("/home/kim/build");
    EXPECT_EQ(ChooseWorkingFolder(environment), "/home/kim/build");
    EXPECT_TRUE(environment.madeFolders.empty());
}

TEST(StartupRules, WorkingFolderFallsBackToTheDataFolder) {
    FakeProcessEnvironment environment;
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

TEST(StartupRules, FirstInstanceProceedsAndHoldsTheMarker) {
    FakeProcessEnvironment environment;
    environment.writableFolders.insert("/opt/kestrola");
    StartupOutcome first = BeginStartup(environment, "-i");
    EXPECT_TRUE(first.proceed);
    EXPECT_NE(first.marker, nullptr);
    EXPECT_EQ(environment.markerRequests, std::vector<std::string>{"Kestrola NET Application"});
    EXPECT_EQ(environment.workingFolders, std::vector<std::string>{"/opt/kestrola"});
    EXPECT_EQ(first.storeChoice, StoreChoice::IniFile);
    ASSERT_NE(first.store, nullptr);
    EXPECT_EQ(first.store->Location(), "/home/user/.config/kestrola-net.INI");
}

TEST(StartupRules, SecondInstanceStopsBeforeTouchingAnything) {
    FakeProcessEnvironment running;
    StartupOutcome first = BeginStartup(running, "");
    ASSERT_TRUE(first.proceed);

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
}

TEST(StartupRules, StartGoesOnWhenTheMarkerCannotBeMade) {
    FakeProcessEnvironment environment;
    environment.markerFails = true;
    environment.setWorkingFolderSucceeds = false;
    StartupOutcome outcome = BeginStartup(environment, "");
    EXPECT_TRUE(outcome.proceed);
    EXPECT_EQ(outcome.marker, nullptr);
    EXPECT_EQ(outcome.storeChoice, StoreChoice::PerUser);
    EXPECT_EQ(outcome.store->Location(), "/home/user/.config/Ovrin software/Kestrola NET.conf");
}

} // namespace
} // namespace kestrola::core
