#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "platform/Platform.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrola::platform {
namespace {

constexpr const char* kName = "Kestrola NET Application";

// A forked child that is killed and reaped whatever happens to the test.
struct Child {
    pid_t pid = -1;
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }
    void Kill() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
};

MarkerResult TryMarker(std::unique_ptr<InstanceMarker>& marker) {
    return CreateProcessEnvironment()->CreateInstanceMarker(kName, marker);
}

// Forks a process that creates the marker, optionally starts `sleep` as a program of its
// own, reports the marker's result and that program's id through a pipe, and waits to be
// killed.
void StartHolder(Child& child, bool startProgram, MarkerResult& result, pid_t& program) {
    result = MarkerResult::Failed;
    program = -1;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return;
    child.pid = ::fork();
    if (child.pid == 0) {
        ::close(pipeFds[0]);
        std::unique_ptr<InstanceMarker> marker;
        const int created = static_cast<int>(TryMarker(marker));
        pid_t started = -1;
        if (startProgram && (started = ::fork()) == 0) {
            ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const int message[2] = {created, static_cast<int>(started)};
        if (::write(pipeFds[1], message, sizeof message) != sizeof message)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(pipeFds[1]);
    int message[2] = {-1, -1};
    const bool got = ::read(pipeFds[0], message, sizeof message) == sizeof message;
    ::close(pipeFds[0]);
    result = got ? static_cast<MarkerResult>(message[0]) : MarkerResult::Failed;
    program = got ? static_cast<pid_t>(message[1]) : -1;
}

std::string ProcessName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

class InstanceMarkerTest : public ::testing::Test {
protected:
    void SetUp() override { m_environment.Set("XDG_RUNTIME_DIR", m_dir.path()); }

    testing::TempDir m_dir;
    testing::ScopedEnvironment m_environment;
};

TEST_F(InstanceMarkerTest, SecondProcessIsRefusedUntilTheFirstIsKilled) {
    MarkerResult holderResult;
    pid_t unused;
    Child holder;
    StartHolder(holder, false, holderResult, unused);
    ASSERT_GT(holder.pid, 0);
    ASSERT_EQ(holderResult, MarkerResult::Created);
    EXPECT_TRUE(testing::FileExists(m_dir.File("Kestrola NET Application.lock")));

    std::unique_ptr<InstanceMarker> marker;
    EXPECT_EQ(TryMarker(marker), MarkerResult::AlreadyExists);
    EXPECT_EQ(marker, nullptr);

    holder.Kill();
    EXPECT_EQ(TryMarker(marker), MarkerResult::Created);
    EXPECT_NE(marker, nullptr);
}

TEST_F(InstanceMarkerTest, ProgramsStartedByTheHolderDoNotKeepItAlive) {
    MarkerResult holderResult;
    pid_t program = -1;
    Child holder;
    StartHolder(holder, true, holderResult, program);
    ASSERT_EQ(holderResult, MarkerResult::Created);
    ASSERT_GT(program, 0);
    Child started; // killed at the end; reparented when the holder dies
    started.pid = program;
    // The holder reports the pid right after its fork, before the program has replaced itself
    // with sleep; wait (bounded) for that, so the check below sees the program itself.
    for (int i = 0; i < 500 && ProcessName(program) != "sleep"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    holder.Kill();
    ASSERT_EQ(ProcessName(program), "sleep") << "the started program still runs";
    std::unique_ptr<InstanceMarker> marker;
    EXPECT_EQ(TryMarker(marker), MarkerResult::Created);
    ::kill(program, SIGKILL);
    started.pid = -1;
}

TEST_F(InstanceMarkerTest, WithoutARuntimeFolderTheDataFolderHoldsTheLock) {
    for (const bool relative : {false, true}) {
        testing::TempDir data;
        testing::ScopedEnvironment environment;
        if (relative)
            environment.Set("XDG_RUNTIME_DIR", "run/user");
        else
            environment.Unset("XDG_RUNTIME_DIR");
        environment.Set("XDG_DATA_HOME", data.path());
        std::unique_ptr<InstanceMarker> marker;
        EXPECT_EQ(TryMarker(marker), MarkerResult::Created);
        EXPECT_TRUE(testing::FileExists(data.File("kestrola-net/Kestrola NET Application.lock")));
        EXPECT_FALSE(testing::FileExists(m_dir.File("Kestrola NET Application.lock")));
    }
}

TEST_F(InstanceMarkerTest, UnusableFolderFailsWithoutClaimingAnotherInstance) {
    m_environment.Set("XDG_RUNTIME_DIR", m_dir.File("missing/folder"));
    std::unique_ptr<InstanceMarker> marker;
    EXPECT_EQ(TryMarker(marker), MarkerResult::Failed);
    EXPECT_EQ(marker, nullptr);
}

} // namespace
} // namespace kestrola::platform
