#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrola::platform {

// Access rights, states and controls of the service control manager, with the numbers Windows
// gives them.
constexpr std::uint32_t kScManagerEnumerateService = 0x0004;
constexpr std::uint32_t kServiceQueryStatus = 0x0004;
constexpr std::uint32_t kServiceStart = 0x0010;
constexpr std::uint32_t kServiceStop = 0x0020;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
constexpr std::uint32_t kServicePaused = 7;
constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kErrorAccessDenied = 5;

/// An opened service; its handle is closed when the object is destroyed.
class ServiceHandle {
public:
    virtual ~ServiceHandle() = default;
    /// Reads the service's current state; false when the query failed.
    virtual bool QueryServiceStatus(std::uint32_t& currentState) = 0;
    /// Sends `control` (kServiceControlStop) and returns at once with the state then; false
    /// when the service manager refused it.
    virtual bool ControlService(std::uint32_t control, std::uint32_t& currentState) = 0;
};

/// An opened service control manager; closed when destroyed.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    /// Opens service `name` with `access`; nullptr when there is no such service or no right.
    virtual std::unique_ptr<ServiceHandle> OpenService(const std::string& name,
                                                       std::uint32_t access) = 0;
    /// The system's error number of the latest failed call on the manager or its services;
    /// 0 when none was given.
    virtual std::uint32_t LastError() const = 0;
};

} // namespace kestrola::platform
