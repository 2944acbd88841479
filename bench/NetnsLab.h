#pragma once

// Network namespaces for in-process tests and benchmarks: a bridge in a namespace of its own
// and host namespaces joined to it by veth pairs, in 10.213.0.0/24. A thread can step into a
// host to create sockets there; the sockets stay in that host after it steps out. Everything
// is removed when the lab is destroyed.

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrola::testing {

class NetnsLab {
public:
    static std::string SkipReason() {
        if (::geteuid() != 0)
            return "needs root to build network namespaces";
        if (std::system("ip -V >/dev/null 2>&1") != 0)
            return "needs ip (Debian iproute2)";
        return {};
    }
    NetnsLab() : m_prefix("kt" + std::to_string(::getpid()) + "-c") {
        RemoveStale();
        Run("ip netns add " + Bridge());
        m_namespaces.push_back(Bridge());
        Run("ip -n " + Bridge() + " link add br0 type bridge");
        Run("ip -n " + Bridge() + " link set br0 up");
    }
    ~NetnsLab() {
        for (auto it = m_namespaces.rbegin(); it != m_namespaces.rend(); ++it)
            Run("ip netns del " + *it + " 2>/dev/null", false);
    }
    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;
    std::string AddHost(int number) {
        const std::string ns = m_prefix + std::to_string(number);
        const std::string port = "p" + std::to_string(number);
        Run("ip netns add " + ns);
        m_namespaces.push_back(ns);
        Run("ip -n " + Bridge() + " link add " + port + " type veth peer name eth0 netns " + ns);
        Run("ip -n " + Bridge() + " link set " + port + " master br0 up");
        Run("ip -n " + ns + " addr add 10.213.0." + std::to_string(number) +
            "/24 brd 10.213.0.255 dev eth0");
        Run("ip -n " + ns + " link set eth0 up");
        Run("ip -n " + ns + " link set lo up");
        return ns;
    }
    template <class Fn> static auto In(const std::string& ns, Fn fn) {
        const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int there = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
        if (home < 0 || there < 0 || ::setns(there, CLONE_NEWNET) != 0)
            throw std::runtime_error("cannot enter namespace " + ns);
        ::close(there);
        struct Back {
            int fd;
            ~Back() {
                if (::setns(fd, CLONE_NEWNET) != 0)
                    std::abort(); // never go on in the wrong network
                ::close(fd);
            }
        } back{home};
        return fn();
    }
    static void Run(const std::string& command, bool required = true) {
        if (std::system(command.c_str()) != 0 && required)
            throw std::runtime_error("failed: " + command);
    }

private:
    // Namespaces of earlier runs whose process is gone (killed before it could clean up).
    static void RemoveStale() {
        DIR* dir = ::opendir("/run/netns");
        if (dir == nullptr)
            return;
        std::vector<std::string> stale;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            const auto dash = name.find('-');
            if (name.rfind("kt", 0) != 0 || dash == std::string::npos || dash < 3 ||
                name.find_first_not_of("0123456789", 2) != dash)
                continue;
            if (::access(("/proc/" + name.substr(2, dash - 2)).c_str(), F_OK) != 0)
                stale.push_back(name);
        }
        ::closedir(dir);
        for (const std::string& name : stale)
            Run("ip netns del " + name + " 2>/dev/null", false);
    }
    std::string Bridge() const { return m_prefix + "br"; }
    std::string m_prefix;
    std::vector<std::string> m_namespaces;
};

} // namespace kestrola::testing
