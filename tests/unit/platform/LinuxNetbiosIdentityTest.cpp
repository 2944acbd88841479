#include "platform/linux/LinuxNetbiosIdentity.h"

#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

TEST(SambaConfig, ReadsGlobalParametersAsSambaDoes) {
    const std::string config = "# comment\n"
                               "; netbios name = COMMENTED\n"
                               "[homes]\n"
                               "   workgroup = NOTGLOBAL\n"
                               "[ Global ]\n"
                               "   WorkGroup = ACCOUNTS\n"
                               "\tNetBIOS_Name=fileserver  \r\n"
                               "   server string = two \\\n"
                               "      lines\n"
                               "[printers]\n"
                               "   netbios name = PRINTERS\n"
                               "[global]\n"
                               "   workgroup = LAST\n";
    EXPECT_EQ(SambaGlobalValue(config, "netbios name"), "fileserver");
    EXPECT_EQ(SambaGlobalValue(config, "workgroup"), "LAST") << "the last setting wins";
    EXPECT_EQ(SambaGlobalValue(config, "server string"), "two lines");
    EXPECT_EQ(SambaGlobalValue(config, "realm"), "");
    EXPECT_EQ(SambaGlobalValue("workgroup = OUTSIDE\n", "workgroup"), "")
        << "parameters before any section are not global";
    EXPECT_EQ(SambaGlobalValue("[global]\nworkgroup = X", "workgroup"), "X") << "no final newline";
}

struct IdentityCase {
    const char* what;
    IdentitySources sources;
    std::string computer, workgroup;
    std::size_t notes;
};

void PrintTo(const IdentityCase& c, std::ostream* os) {
    *os << c.what;
}

class IdentityChoice : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityChoice, Chooses) {
    std::vector<std::string> notes;
    const NetbiosIdentity identity = ChooseNetbiosIdentity(GetParam().sources, notes);
    EXPECT_EQ(identity.computerName, GetParam().computer);
    EXPECT_EQ(identity.workgroup, GetParam().workgroup);
    EXPECT_EQ(notes.size(), GetParam().notes);
}

const std::string kSamba = "[global]\n netbios name = SambaName\n workgroup = SAMBAGRP\n";

INSTANTIATE_TEST_SUITE_P(
    Table, IdentityChoice,
    ::testing::Values(
        IdentityCase{"host name only", {"", "", "", "desk7.example.org"}, "desk7", "WORKGROUP", 0},
        IdentityCase{"samba configuration", {"", "", kSamba, "desk7"}, "SambaName", "SAMBAGRP", 0},
        IdentityCase{"overrides win", {"hostA", "TESTGRP", kSamba, "desk7"}, "hostA", "TESTGRP", 0},
        IdentityCase{"cut to 15 characters",
                     {"", "", "", "averyveryverylonghostname"},
                     "averyveryverylo",
                     "WORKGROUP",
                     0},
        IdentityCase{"cut counts characters, not bytes",
                     {"Jürgen-Ärger-Übel-xyz", "", "", "h"},
                     "Jürgen-Ärger-Üb",
                     "WORKGROUP",
                     0},
        IdentityCase{"a bad override is passed over",
                     {"bad*name", "grp/x", kSamba, "desk7"},
                     "SambaName",
                     "SAMBAGRP",
                     2},
        IdentityCase{"blank values count as unset",
                     {"  ", "", "[global]\nworkgroup =\n", "pc"},
                     "pc",
                     "WORKGROUP",
                     0},
        IdentityCase{"no host name at all", {"", "", "", ""}, "LOCALHOST", "WORKGROUP", 0}));

TEST(BesideSamba, OnlyANameNmbdDoesNotAnswerForGetsANote) {
    const struct {
        const char* what;
        IdentitySources sources;
        const char* nmbdName; // in the note, or nullptr for no note
    } cases[] = {{"no override", {"", "", kSamba, "desk7"}, nullptr},
                 {"the same name in another case", {"SAMBANAME", "", kSamba, "desk7"}, nullptr},
                 {"not smb.conf's name", {"mine", "", kSamba, "desk7"}, "(SambaName)"},
                 {"not the host's name", {"mine", "", "", "desk7.lan"}, "(desk7)"},
                 {"a bad override is not used", {"bad*name", "", kSamba, "desk7"}, nullptr}};
    for (const auto& c : cases) {
        const std::string note = NameBesideNote(c.sources);
        if (c.nmbdName == nullptr) {
            EXPECT_EQ(note, "") << c.what;
        } else {
            EXPECT_NE(note.find("the computer name mine "), std::string::npos) << c.what << note;
            EXPECT_NE(note.find(c.nmbdName), std::string::npos) << c.what << note;
        }
    }
}

TEST(SystemIdentity, ReadsTheConfigurationNamedInTheEnvironment) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("smb.conf"), "[global]\nnetbios name = FROMFILE\n"
                                                  "workgroup = FILEGRP\n");
    ::setenv("KESTROLA_SMB_CONF", dir.File("smb.conf").c_str(), 1);
    ::unsetenv("KESTROLA_NETBIOS_NAME");
    ::setenv("KESTROLA_WORKGROUP", "ENVGRP", 1);
    const NetbiosIdentity identity = ReadNetbiosIdentity();
    ::unsetenv("KESTROLA_SMB_CONF");
    ::unsetenv("KESTROLA_WORKGROUP");
    EXPECT_EQ(identity.computerName, "FROMFILE");
    EXPECT_EQ(identity.workgroup, "ENVGRP");
}

TEST(SystemInterfaces, NamedInterfacesThatCannotBeUsedAreReported) {
    std::vector<std::string> notes;
    // Loopback is never used, and a missing interface is not there: both are reported.
    const auto found = ListInterfaces("lo, kestrola-none0", notes);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("lo"), std::string::npos);
    EXPECT_NE(notes[1].find("kestrola-none0"), std::string::npos);
}

} // namespace
} // namespace kestrola::platform
