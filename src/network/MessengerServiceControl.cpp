#include "network/MessengerServiceControl.h"

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "platform/Platform.h"

#include <string>
#include <thread>

namespace kestrola::core {

MessengerServiceControl::MessengerServiceControl()
    : openManager([](std::uint32_t access) { return platform::OpenServiceManager(access); }),
      sleep([](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }) {}

int MessengerServiceControl::StopMessengerService(const platform::PlatformVersion* version,
                                                  int warnings, int exitFlag) {
    if (version == nullptr || version->platformId != platform::kPlatformWin32Nt)
        return 0;
    const std::unique_ptr<platform::ServiceManager> manager =
        openManager ? openManager(platform::kScManagerEnumerateService) : nullptr;
    if (!manager)
        return 0;
    // The exit-time call asks for the right to start, not to stop; its stop request is
    // therefore refused by the service manager while the service runs.
    const std::uint32_t access = exitFlag == 0
                                     ? (platform::kServiceQueryStatus | platform::kServiceStop)
                                     : (platform::kServiceQueryStatus | platform::kServiceStart);
    std::unique_ptr<platform::ServiceHandle> service =
        manager->OpenService(kMessengerServiceName, access);
    if (!service)
        return 0;
    std::uint32_t state = 0;
    if (!service->QueryServiceStatus(state) || state != platform::kServiceRunning)
        return 0;
    if (warnings != 0 && !(askYesNo && askYesNo(LoadString(kStopMessengerQuestion))))
        return 0;
    int result = 0;
    if (service->ControlService(platform::kServiceControlStop, state) &&
        WaitForServiceState(*service, platform::kServiceStopped) != 0) {
        result = 1;
    } else {
        std::uint32_t error = manager->LastError();
        if (error == 0)
            error = platform::kErrorAccessDenied;
        ShowSystemText(std::string(LoadString(kErrorNumber)) + " " + std::to_string(error));
    }
    // The service handle closes before the manager's.
    service.reset();
    return result;
}

int MessengerServiceControl::WaitForServiceState(platform::ServiceHandle& service,
                                                 std::uint32_t wantedState) {
    for (int query = 0; query < kWaitQueries; ++query) {
        std::uint32_t state = 0;
        if (!service.QueryServiceStatus(state))
            return 0;
        if (state == wantedState)
            return 1;
        if (sleep)
            sleep(kWaitPause);
    }
    return 0;
}

} // namespace kestrola::core
