#include "platform/linux/LinuxProcessEnvironment.h"

#include "base/Product.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxInstanceMarker.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrola::platform {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// XDG base-directory variables count only when they hold an absolute path.
std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return WithoutTrailingSlashes(value);
}

std::string HomeFolder() {
    if (std::string home = AbsoluteVariable("HOME"); !home.empty())
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return WithoutTrailingSlashes(found->pw_dir);
    return {};
}

std::string XdgFolder(const char* variable, const char* underHome) {
    if (std::string folder = AbsoluteVariable(variable); !folder.empty())
        return folder;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + underHome;
}

} // namespace

std::string LinuxProcessEnvironment::ExecutablePath() const {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string LinuxProcessEnvironment::ConfigFolder() const {
    return XdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string LinuxProcessEnvironment::DataFolder() const {
    return XdgFolder("XDG_DATA_HOME", "/.local/share");
}

bool LinuxProcessEnvironment::IsPrivateFolder(const std::string& folder) const {
    // Messages land in the working folder: only a folder that is ours alone will do, never
    // one shared with a group or a system folder (writable to root).
    static constexpr std::string_view kSystemFolders[] = {"/bin", "/boot", "/etc", "/lib",
                                                          "/opt", "/sbin", "/usr", "/var"};
    std::error_code error;
    const std::string real = std::filesystem::weakly_canonical(folder, error).string();
    if (error || real == "/")
        return false;
    for (const std::string_view system : kSystemFolders) {
        if (real.rfind(system, 0) == 0 &&
            (real.size() == system.size() || real[system.size()] == '/'))
            return false;
    }
    struct stat st {};
    return ::stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && ::access(real.c_str(), W_OK | X_OK) == 0;
}

bool LinuxProcessEnvironment::MakeFolder(const std::string& folder) {
    return File::MakePrivateFolder(folder);
}

bool LinuxProcessEnvironment::SetWorkingFolder(const std::string& folder) {
    return ::chdir(folder.c_str()) == 0;
}

MarkerResult
LinuxProcessEnvironment::CreateInstanceMarker(const std::string& name,
                                              std::unique_ptr<InstanceMarker>& marker) {
    marker.reset();
    // The runtime folder is per user and per login, the natural place for a lock; without
    // one, the per-user data folder stands in.
    std::string folder = AbsoluteVariable("XDG_RUNTIME_DIR");
    if (folder.empty()) {
        const std::string data = DataFolder();
        if (data.empty())
            return MarkerResult::Failed;
        folder = data + "/" + std::string(core::kDataFolderName);
        if (!MakeFolder(folder))
            return MarkerResult::Failed;
    }
    return CreateLockFileMarker(folder + "/" + name + ".lock", marker);
}

} // namespace kestrola::platform
