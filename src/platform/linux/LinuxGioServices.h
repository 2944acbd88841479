#pragma once

#include "platform/DesktopNotifications.h"
#include "platform/ShellNamespace.h"

#include <memory>
#include <string>

namespace kestrola::platform {

/// The desktop services built on GIO: the shell namespace and the notifications. They live in a
/// module of their own (`kestrola-gio.so`, beside the program's libraries), loaded when one of
/// them is first used: GIO and the six libraries it pulls in would otherwise lengthen every
/// start, and the default network tree and a message that nobody is notified of need none.
struct GioServices {
    std::unique_ptr<ShellNamespace> (*createShellNamespace)();
    std::unique_ptr<DesktopNotifications> (*createDesktopNotifications)();
};

/// The name the module exports its services under (a function returning `const GioServices*`).
inline constexpr const char* kGioServicesEntry = "kestrola_gio_services";

/// Loads the module at `path` and returns its services; nullptr, with the reason in `error`,
/// when it cannot be loaded. A loaded module stays loaded: GIO's types cannot be unloaded.
const GioServices* LoadGioServices(const std::string& path, std::string& error);

/// Where the module lies: relative to the running program, as it is installed and built.
std::string GioModulePath();

/// A shell namespace and notifications that load the module at their first call. Without the
/// module the namespace fails every call with "not supported" and no notification shows; the
/// reason is written once to the standard error.
std::unique_ptr<ShellNamespace> CreateLazyShellNamespace();
std::unique_ptr<DesktopNotifications> CreateLazyDesktopNotifications();

} // namespace kestrola::platform
