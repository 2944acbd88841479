#pragma once

#include "platform/PlatformVersion.h"
#include "platform/ServiceControl.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace kestrola::core {

/// The name of the operating system's service that holds the messenger mailslot.
inline constexpr const char* kMessengerServiceName = "Messenger";

/// Stops the operating system's Messenger service, which serves the mailslot this program
/// reads. Where the platform has no service control manager nothing is done.
class MessengerServiceControl {
public:
    /// Opens the service control manager (the platform's by default).
    using OpenManager =
        std::function<std::unique_ptr<platform::ServiceManager>(std::uint32_t access)>;
    /// Asks a question with Yes and No buttons and the stop icon; true for Yes. Without one
    /// the answer is No.
    using AskYesNo = std::function<bool(std::string_view question)>;
    /// Waits between two status queries (the thread's sleep by default).
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    MessengerServiceControl();

    /// 1 when the service was running and has been stopped, else 0. `version` and `warnings`
    /// are the scanner's platform record and "MessengerWarnings"; `exitFlag` 1 is the call at
    /// window destruction. A refused or unfinished stop shows "Error number: N".
    int StopMessengerService(const platform::PlatformVersion* version, int warnings, int exitFlag);
    /// 1 when `service` reaches `wantedState` within ten queries one second apart (the first
    /// at once), 0 when it does not or a query fails.
    int WaitForServiceState(platform::ServiceHandle& service, std::uint32_t wantedState);

    /// Queries of `WaitForServiceState` and the pause after each one that misses.
    static constexpr int kWaitQueries = 10;
    static constexpr std::chrono::milliseconds kWaitPause{1000};

    OpenManager openManager;
    AskYesNo askYesNo;
    Sleep sleep;
};

} // namespace kestrola::core
