#pragma once

#include "platform/Shell.h"
#include "platform/linux/LinuxDesktopEntry.h"

#include <string>
#include <vector>

namespace kestrola::platform {

/// Where the Linux shell finds its programs and associations.
struct LinuxShellOptions {
    /// The desktop's opener, run with the target as its one argument.
    std::string opener = "xdg-open";
    /// How long an open waits for the opener's answer; an opener still running then is taken as
    /// having opened the target (some run the application in the foreground).
    int openerWaitMilliseconds = 5000;
    /// The program search path (colon-separated, as $PATH).
    std::string searchPath;
    /// Where the registered web browser is looked up.
    XdgDirs dirs;

    /// The options of this session: $PATH and the XDG folders of the environment.
    static LinuxShellOptions FromEnvironment();
};

/// Opens targets through the desktop's opener and starts the registered web browser (the
/// application of text/html), both without a shell.
class LinuxShell : public Shell {
public:
    explicit LinuxShell(LinuxShellOptions options) : m_options(std::move(options)) {}

    int Open(const std::string& verb, const std::string& target) override;
    std::optional<int> RunWebBrowser(const std::string& url) override;

private:
    LinuxShellOptions m_options;
};

/// What became of a started program.
struct SpawnOutcome {
    enum class Kind {
        NotStarted, ///< the program could not be started; `value` is the errno
        Started,    ///< the program runs (or ran) on its own
        Exited,     ///< the program ended within the wait; `value` is its exit status
        Killed,     ///< the program ended by a signal within the wait
    };
    Kind kind = Kind::NotStarted;
    int value = 0;
};

/// Starts `argv` (argv[0] looked up in `searchPath` unless it holds a slash) detached from this
/// process, without a shell. With `waitMilliseconds` above 0 it waits that long for the program
/// to end; otherwise only until the program has been started.
SpawnOutcome SpawnDetached(const std::vector<std::string>& argv, const std::string& searchPath,
                           int waitMilliseconds);

/// What the opener is given for `target`: a network path "\\host\share\dir" becomes
/// "smb://host/share/dir" (bytes outside a URL path's characters percent-encoded); any other
/// target is left as it is.
std::string OpenerTarget(const std::string& target);

/// The shell-open result code for a failed start with `error` (an errno value).
int ShellCodeForErrno(int error);
/// The shell-open result code for the opener's exit status (0 is success).
int ShellCodeForOpenerExit(int status);

} // namespace kestrola::platform
