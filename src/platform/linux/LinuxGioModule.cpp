// The entry point of the GIO module: the only symbol the program looks up in it.
#include "platform/linux/LinuxDesktopNotifications.h"
#include "platform/linux/LinuxGioServices.h"
#include "platform/linux/LinuxShellNamespace.h"

namespace {

using namespace kestrola::platform;

const GioServices kServices = {
    []() -> std::unique_ptr<ShellNamespace> {
        return std::make_unique<LinuxShellNamespace>(LinuxShellNamespaceOptions::FromEnvironment());
    },
    []() -> std::unique_ptr<DesktopNotifications> {
        return std::make_unique<LinuxDesktopNotifications>();
    },
};

} // namespace

extern "C" __attribute__((visibility("default"))) const GioServices* kestrola_gio_services() {
    return &kServices;
}
