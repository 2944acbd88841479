#pragma once

#include "platform/DesktopNotifications.h"

#include <memory>
#include <string>

namespace kestrola::platform {

/// Notifications through the freedesktop notification service on the session bus. Without a
/// session bus or a notification service nothing is shown. Replies and clicks arrive through
/// GLib's default main context, which the desktop toolkit's event loop runs.
class LinuxDesktopNotifications : public DesktopNotifications {
public:
    LinuxDesktopNotifications();
    ~LinuxDesktopNotifications() override;
    LinuxDesktopNotifications(const LinuxDesktopNotifications&) = delete;
    LinuxDesktopNotifications& operator=(const LinuxDesktopNotifications&) = delete;

    void Show(const std::string& summary, const std::string& body,
              std::function<void()> onActivated) override;

    struct Bus;

private:
    bool Connect();
    std::unique_ptr<Bus> m_bus;
};

} // namespace kestrola::platform
