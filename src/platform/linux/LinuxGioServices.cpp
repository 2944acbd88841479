#include "platform/linux/LinuxGioServices.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <gio/gio.h>
#include <mutex>
#include <unistd.h>

namespace kestrola::platform {

namespace {

// The services of this process, from the module loaded at the first call of either.
const GioServices* Services() {
    static const GioServices* const services = [] {
        std::string error;
        const GioServices* loaded = LoadGioServices(GioModulePath(), error);
        if (loaded == nullptr)
            std::fprintf(stderr, "kestrola: no desktop notifications and folders: %s\n",
                         error.c_str());
        return loaded;
    }();
    return services;
}

// One object of the module, made at the first call from any thread.
template <typename Interface> class Loaded {
public:
    explicit Loaded(std::unique_ptr<Interface> (*GioServices::*create)()) : m_create(create) {}

    Interface* Get() {
        std::call_once(m_once, [this] {
            if (const GioServices* services = Services())
                m_object = (services->*m_create)();
        });
        return m_object.get();
    }

private:
    std::unique_ptr<Interface> (*GioServices::*m_create)();
    std::once_flag m_once;
    std::unique_ptr<Interface> m_object;
};

class LazyShellNamespace : public ShellNamespace {
public:
    std::optional<std::string> SpecialFolderLocation(int folderId) override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->SpecialFolderLocation(folderId) : std::nullopt;
    }
    std::string DesktopLocation() override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->DesktopLocation() : std::string();
    }
    ShellListing EnumerateFolder(const std::string& location) override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->EnumerateFolder(location) : ShellListing{kMissing, {}};
    }
    int CompareEntries(const ShellEntry& first, const ShellEntry& second) override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->CompareEntries(first, second)
                               : first.displayName.compare(second.displayName);
    }
    ShellMenu QueryContextMenu(const ShellEntry& entry) override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->QueryContextMenu(entry) : ShellMenu{kMissing, {}};
    }
    ShellStatus InvokeCommand(const ShellEntry& entry, const ShellCommand& command) override {
        ShellNamespace* real = m_real.Get();
        return real != nullptr ? real->InvokeCommand(entry, command) : kMissing;
    }

private:
    static constexpr ShellStatus kMissing{false, G_IO_ERROR_NOT_SUPPORTED};
    Loaded<ShellNamespace> m_real{&GioServices::createShellNamespace};
};

class LazyDesktopNotifications : public DesktopNotifications {
public:
    void Show(const std::string& summary, const std::string& body,
              std::function<void()> onActivated) override {
        if (DesktopNotifications* real = m_real.Get())
            real->Show(summary, body, std::move(onActivated));
    }

private:
    Loaded<DesktopNotifications> m_real{&GioServices::createDesktopNotifications};
};

} // namespace

const GioServices* LoadGioServices(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "the program's folder is not known";
        return nullptr;
    }
    // Never unloaded: GIO registers types that cannot be unregistered.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : path + ": cannot be loaded";
        return nullptr;
    }
    using Entry = const GioServices* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, kGioServicesEntry));
    if (entry == nullptr) {
        error = path + ": not a module of this program";
        return nullptr;
    }
    return entry();
}

std::string GioModulePath() {
    // The program's own folder, never the working folder: only its installation is trusted.
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof self)
        return {};
    std::string path(self, static_cast<std::size_t>(length));
    path.erase(path.rfind('/') + 1);
    return path + KESTROLA_GIO_MODULE;
}

std::unique_ptr<ShellNamespace> CreateLazyShellNamespace() {
    return std::make_unique<LazyShellNamespace>();
}

std::unique_ptr<DesktopNotifications> CreateLazyDesktopNotifications() {
    return std::make_unique<LazyDesktopNotifications>();
}

} // namespace kestrola::platform
