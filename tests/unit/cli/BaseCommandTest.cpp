#include "TempDir.h"
#include "fakes/FixedClock.h"
#include "messaging/DatagramCodec.h"
#include "platform/linux/LinuxCodePage.h"
#include "store/HistoryLog.h"
#include "store/MessageBase.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace kestrola::core {
namespace {

struct CliRun {
    int status;
    std::string output; // standard output and standard error together
};

class BaseCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto page = platform::LinuxCodePage::Create(850);
        MessageBase base(path(), m_dir.File("log.txt"), m_clock);
        ASSERT_TRUE(base.LoadIndex());
        const std::tuple<const char*, const char*, const char*, std::uint8_t> messages[] = {
            {"PC1", "pc2", "hi", 0},
            {"Jürgen", "workgroup", "zwei\r\nZeilen \"quoted\"", 1},
            {"PC\x1b[2J", "PC2", "title\x1b]0;owned\x07 wipe\x1b[2J\r\nok", 1},
        };
        for (const auto& [from, to, text, state] : messages) {
            MessageRecord r;
            r.SetBody(EncodeDatagram(*page, from, to, text));
            r.state = state;
            ASSERT_TRUE(base.AppendRecord(r));
            m_clock.Set({2006, 1, 6, 14, 3, 9});
        }
        m_bytes = testing::ReadFileBytes(path());
    }
    void TearDown() override {
        EXPECT_EQ(testing::ReadFileBytes(path()), m_bytes) << "the command never writes";
    }
    std::string path() const { return m_dir.File("base.msg"); }
    CliRun Cli(const std::string& arguments) const {
        const std::string output = m_dir.File("output");
        const int status = std::system(("KESTROLA_OEM_CODEPAGE=850 " KESTROLA_CLI_PATH " " +
                                        arguments + " >" + output + " 2>&1")
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::ReadFileBytes(output)};
    }

    testing::TempDir m_dir;
    platform::testing::FixedClock m_clock;
    std::string m_bytes;
};

TEST_F(BaseCommandTest, ListFormats) {
    const CliRun text = Cli("base list " + path());
    EXPECT_EQ(text.status, 0) << text.output;
    // The decoder drops some controls itself (ESC from a name, BEL from a text); not the rest.
    EXPECT_EQ(text.output, "#1 new 09:05:07 , 06/12/2005\nFrom: PC1\nTo:   PC2\nhi\n\n"
                           "#2 read 14:03:09 , 06/01/2006\nFrom: Jürgen\nTo:   WORKGROUP\n"
                           "zwei\nZeilen \"quoted\"\n\n"
                           "#3 read 14:03:09 , 06/01/2006\nFrom: PC[2J\nTo:   PC2\n"
                           "title\\x1B]0;owned wipe\\x1B[2J\nok\n\n");
    const CliRun json = Cli("base list --format json " + path());
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.output.find(R"({"number": 1, "offset": 0, "state": "new", "from": "PC1", )"
                               R"("to": "PC2", "stamp": "09:05:07 , 06/12/2005", "text": "hi", )"
                               R"("body": "5043310050433200686900"})"),
              std::string::npos)
        << json.output;
    EXPECT_NE(json.output.find(R"("text": "zwei\r\nZeilen \"quoted\"")"), std::string::npos);
    const CliRun history = Cli("base list " + path() + " --format=history");
    EXPECT_EQ(history.output.substr(0, history.output.find("From: PC[")),
              FormatHistoryEntry("PC1", "PC2", "09:05:0706/12/2005", "hi") +
                  FormatHistoryEntry("Jürgen", "WORKGROUP", "14:03:0906/01/2006",
                                     "zwei\r\nZeilen \"quoted\""));
}

TEST_F(BaseCommandTest, StatsAndCheck) {
    EXPECT_NE(Cli("base stats " + path())
                  .output.find("records: 3\nnew: 1\nfirst: 09:05:07 , 06/12/2005\n"
                               "last: 14:03:09 , 06/01/2006\n"),
              std::string::npos);
    const CliRun check = Cli("base check " + path());
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.output, "ok: 3 records, 1 new\n");

    const std::string other = m_dir.File("other.msg");
    testing::WriteFileBytes(other, m_bytes + "zz");
    const CliRun tail = Cli("base check " + other);
    EXPECT_EQ(tail.status, 0) << "a short tail is no damage";
    EXPECT_EQ(tail.output, "ignored tail: 2 bytes at offset " + std::to_string(m_bytes.size()) +
                               "\nok: 3 records, 1 new\n");

    std::string bytes = m_bytes;
    bytes[39 + 4] = 7; // the second record's state; the first is 39 bytes long
    testing::WriteFileBytes(other, bytes);
    const CliRun damaged = Cli("base check " + other);
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.output.find("damaged record at offset 39: state byte 7 is neither 0 nor 1"),
              std::string::npos)
        << damaged.output;
    const CliRun list = Cli("base list " + other);
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.output.find("#1 new"), std::string::npos) << "records before it are listed";
}

TEST_F(BaseCommandTest, BadInvocations) {
    for (const std::string& arguments : {"base list " + path() + " --format xml",
                                         "base frobnicate " + path(), std::string("base list")})
        EXPECT_EQ(Cli(arguments).status, 2) << arguments;
    const CliRun missing = Cli("base check " + m_dir.File("nope.msg"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open"), std::string::npos);
    EXPECT_FALSE(testing::FileExists(m_dir.File("nope.msg")));
}

} // namespace
} // namespace kestrola::core
