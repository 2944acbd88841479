// Every factory of the Linux platform layer: what each interface of platform/ is built from.
#include "platform/Platform.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxDatagramService.h"
#include "platform/linux/LinuxGioServices.h"
#include "platform/linux/LinuxNetworkProvider.h"
#include "platform/linux/LinuxProcessEnvironment.h"
#include "platform/linux/LinuxQuitRequests.h"
#include "platform/linux/LinuxRawReceiver.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/LinuxSound.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

namespace kestrola::platform {

namespace {

class LinuxClock : public Clock {
public:
    LocalTime Now() const override {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

std::string LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "C";
}

std::shared_ptr<LinuxDatagramService> SystemDatagramService() {
    // One service per process: it is the only owner of UDP 137 and 138.
    static std::mutex mutex;
    static std::weak_ptr<LinuxDatagramService> current;
    const std::lock_guard lock(mutex);
    std::shared_ptr<LinuxDatagramService> service = current.lock();
    if (!service) {
        service = std::make_shared<LinuxDatagramService>(LinuxDatagramService::SystemConfig());
        current = service;
    }
    return service;
}

} // namespace

std::unique_ptr<CodePage> CreateCodePage() {
    int page = OemCodePageForLocale(LocaleName());
    if (const char* forced = std::getenv("KESTROLA_OEM_CODEPAGE"); forced != nullptr && *forced) {
        char* end = nullptr;
        const long value = std::strtol(forced, &end, 10);
        if (*end == '\0' && value > 0 && value < 100000)
            page = static_cast<int>(value);
        else
            std::fprintf(stderr, "kestrola: KESTROLA_OEM_CODEPAGE=%s is not a number\n", forced);
    }
    if (auto table = LinuxCodePage::Create(page))
        return table;
    // Not every OEM page is in glibc's iconv (720 is missing); 437 keeps ASCII exact.
    std::fprintf(stderr, "kestrola: OEM code page %d is not available here, using 437\n", page);
    return LinuxCodePage::Create(437);
}

std::unique_ptr<Clock> CreateClock() {
    return std::make_unique<LinuxClock>();
}

std::shared_ptr<Mailslots> CreateMailslots() {
    return SystemDatagramService();
}

std::shared_ptr<Mailslots> CreateListeningMailslots(std::vector<std::string>& notes) {
    const std::shared_ptr<LinuxDatagramService> service = SystemDatagramService();
    // A failure shows again, with its reason, when the first local mailslot is created.
    service->Reserve();
    if (service->Beside())
        notes = BesideModeNotes();
    if (std::string problem; !DropCapabilities(problem))
        notes.push_back(problem);
    return service;
}

std::shared_ptr<NetworkProvider> CreateNetworkProvider(std::chrono::milliseconds collect) {
    return std::make_shared<LinuxNetworkProvider>(SystemDatagramService(), collect);
}

std::unique_ptr<Shell> CreateShell() {
    return std::make_unique<LinuxShell>(LinuxShellOptions::FromEnvironment());
}

std::unique_ptr<ShellNamespace> CreateShellNamespace() {
    return CreateLazyShellNamespace();
}

std::unique_ptr<Sound> CreateSound(std::vector<std::string> soundFolders) {
    const char* log = std::getenv("KESTROLA_SOUND_LOG");
    return std::make_unique<LinuxSound>(std::move(soundFolders), log != nullptr ? log : "");
}

std::unique_ptr<DesktopNotifications> CreateDesktopNotifications() {
    return CreateLazyDesktopNotifications();
}

std::unique_ptr<ProcessEnvironment> CreateProcessEnvironment() {
    return std::make_unique<LinuxProcessEnvironment>();
}

std::unique_ptr<QuitRequests> CreateQuitRequests() {
    return std::make_unique<LinuxQuitRequests>();
}

std::unique_ptr<ServiceManager> OpenServiceManager(std::uint32_t /*access*/) {
    // Linux has no service control manager; nothing here holds the messenger's mailslot.
    return nullptr;
}

std::string_view NativeLineEnd() {
    return "\n";
}

} // namespace kestrola::platform
