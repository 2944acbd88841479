#pragma once

#include <functional>
#include <string>

namespace kestrola::platform {

/// The desktop's notifications (pop-up banners outside the program's windows).
class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;
    /// Shows a notification with the plain texts `summary` and `body`, replacing the one shown
    /// before, if any. `onActivated` runs on the UI thread when the user clicks it. The
    /// desktop decides whether it pops up (its do-not-disturb state); nothing is reported.
    virtual void Show(const std::string& summary, const std::string& body,
                      std::function<void()> onActivated) = 0;
};

} // namespace kestrola::platform
