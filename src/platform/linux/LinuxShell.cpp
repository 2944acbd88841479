#include "platform/linux/LinuxShell.h"

#include "platform/BrowserCommand.h"
#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace kestrola::platform {

namespace {

constexpr int kOpened = 42;
// Long enough for any exec to report; a start that has not failed by then has happened.
constexpr int kStartWaitMilliseconds = 5000;
constexpr int kPollMilliseconds = 20;

struct Report {
    int kind;
    int value;
};

// Only async-signal-safe calls between fork and exec: write and _exit.
void WriteReport(int fd, SpawnOutcome::Kind kind, int value) {
    const Report report{static_cast<int>(kind), value};
    [[maybe_unused]] const ssize_t n = ::write(fd, &report, sizeof report);
}

int ResolveProgram(const std::string& name, const std::string& searchPath, std::string& program) {
    if (name.find('/') != std::string::npos) {
        program = name;
        return 0;
    }
    int error = ENOENT;
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
        std::string dir = searchPath.substr(start, end - start);
        start = end + 1;
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::access(candidate.c_str(), X_OK) == 0) {
            program = candidate;
            return 0;
        }
        error = EACCES;
    }
    return error;
}

// Reads the one report, waiting at most `milliseconds`; false on silence or end of pipe.
bool ReadReport(int fd, int milliseconds, Report& report, bool& ended) {
    ended = false;
    std::size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(&report);
    while (got < sizeof report) {
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, milliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, bytes + got, sizeof report - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ended = true;
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// A target that starts with a dash would be read as an option by the opener or the browser.
std::string SafeTarget(const std::string& target) {
    return !target.empty() && target.front() == '-' ? "./" + target : target;
}

} // namespace

LinuxShellOptions LinuxShellOptions::FromEnvironment() {
    LinuxShellOptions options;
    const char* path = std::getenv("PATH");
    options.searchPath = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    options.dirs = XdgDirs::FromEnvironment();
    return options;
}

SpawnOutcome SpawnDetached(const std::vector<std::string>& argv, const std::string& searchPath,
                           int waitMilliseconds) {
    using Kind = SpawnOutcome::Kind;
    if (argv.empty() || argv.front().empty())
        return {Kind::NotStarted, ENOENT};
    std::string program;
    if (const int error = ResolveProgram(argv.front(), searchPath, program); error != 0)
        return {Kind::NotStarted, error};
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {Kind::NotStarted, errno};
    const bool waitForEnd = waitMilliseconds > 0;

    const pid_t first = ::fork();
    if (first < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return {Kind::NotStarted, error};
    }
    if (first == 0) {
        // The first child leaves at once, so the program is adopted by the system and never
        // lingers as a zombie of ours.
        const pid_t second = ::fork();
        if (second != 0) {
            if (second < 0)
                WriteReport(fds[1], Kind::NotStarted, errno);
            ::_exit(0);
        }
        ::setsid();
        if (!waitForEnd) {
            ::execv(program.c_str(), args.data());
            WriteReport(fds[1], Kind::NotStarted, errno);
            ::_exit(127);
        }
        const pid_t third = ::fork();
        if (third < 0) {
            WriteReport(fds[1], Kind::NotStarted, errno);
            ::_exit(127);
        }
        if (third == 0) {
            ::execv(program.c_str(), args.data());
            WriteReport(fds[1], Kind::NotStarted, errno);
            ::_exit(127);
        }
        // Watch the program only as long as the caller waits, so this copy of the process
        // does not outlive the answer.
        int status = 0;
        for (int waited = 0;; waited += kPollMilliseconds) {
            const pid_t ended = ::waitpid(third, &status, WNOHANG);
            if (ended == third)
                break;
            if ((ended < 0 && errno != EINTR) || waited >= waitMilliseconds)
                ::_exit(0);
            const timespec pause{0, kPollMilliseconds * 1000000L};
            ::nanosleep(&pause, nullptr);
        }
        if (WIFEXITED(status))
            WriteReport(fds[1], Kind::Exited, WEXITSTATUS(status));
        else
            WriteReport(fds[1], Kind::Killed, WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        ::_exit(0);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    Report report{};
    bool ended = false;
    const bool got =
        ReadReport(fds[0], waitForEnd ? waitMilliseconds : kStartWaitMilliseconds, report, ended);
    ::close(fds[0]);
    // Silence or a closed pipe without a report means the exec went through.
    if (!got)
        return {Kind::Started, 0};
    return {static_cast<Kind>(report.kind), report.value};
}

int ShellCodeForErrno(int error) {
    switch (error) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return 3;
    case EACCES:
    case EPERM:
    case EISDIR:
        return 5;
    case ENOMEM:
    case E2BIG:
        return 8;
    case ENOEXEC:
    case EINVAL:
    case ELIBBAD:
        return 11;
    case ETXTBSY:
        return 26;
    default:
        return 0;
    }
}

int ShellCodeForOpenerExit(int status) {
    switch (status) {
    case 0:
        return kOpened;
    case 1: // bad command line
    case 2:
        return 2; // the file does not exist
    case 3:
        return 31; // no tool to open it with
    case 5:
        return 5; // no permission to read it
    default:
        return 27; // an application was found but failed
    }
}

std::string OpenerTarget(const std::string& target) {
    if (target.size() < 3 || target[0] != '\\' || target[1] != '\\')
        return target;
    // The desktop's opener knows network shares by their smb URL, not by the UNC path.
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr std::string_view kKept = "-._~!$&'()*+,;=:@/";
    std::string url = "smb://";
    for (std::size_t i = 2; i < target.size(); ++i) {
        const auto c = static_cast<unsigned char>(target[i]);
        if (c == '\\')
            url += '/';
        else if ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ||
                 kKept.find(static_cast<char>(c)) != std::string_view::npos)
            url += static_cast<char>(c);
        else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0xF];
        }
    }
    return url;
}

int LinuxShell::Open(const std::string& /*verb*/, const std::string& target) {
    // The opener has one action for documents, pages and folders alike.
    const SpawnOutcome outcome =
        SpawnDetached({m_options.opener, SafeTarget(OpenerTarget(target))}, m_options.searchPath,
                      m_options.openerWaitMilliseconds > 0 ? m_options.openerWaitMilliseconds : 1);
    switch (outcome.kind) {
    case SpawnOutcome::Kind::NotStarted:
        // Without a desktop opener nothing is associated with anything.
        return outcome.value == ENOENT ? 31 : ShellCodeForErrno(outcome.value);
    case SpawnOutcome::Kind::Started:
        return kOpened;
    case SpawnOutcome::Kind::Exited:
        return ShellCodeForOpenerExit(outcome.value);
    case SpawnOutcome::Kind::Killed:
        return 27;
    }
    return 27;
}

std::optional<int> LinuxShell::RunWebBrowser(const std::string& url) {
    const auto exec = FindMimeHandlerExec(m_options.dirs, "text/html");
    if (!exec)
        return std::nullopt;
    const std::string program = CutExecLine(*exec);
    const std::string target = SafeTarget(url);
    std::string command;
    if (const int refused = ComposeBrowserCommand(program, target, command); refused != 0)
        return refused;
    auto argv = SplitExecLine(program);
    if (!argv || argv->empty())
        return 27; // the registered command is broken
    // The URL stays one argument even when it holds blanks.
    argv->push_back(target);
    const SpawnOutcome outcome = SpawnDetached(*argv, m_options.searchPath, 0);
    if (outcome.kind == SpawnOutcome::Kind::NotStarted)
        return ShellCodeForErrno(outcome.value);
    return kOpened;
}

} // namespace kestrola::platform
