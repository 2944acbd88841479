#pragma once

#include "platform/DesktopNotifications.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrola::platform::testing {

/// Records every notification as "summary: body" and keeps the click action of the last one.
class RecordingNotifications : public DesktopNotifications {
public:
    void Show(const std::string& summary, const std::string& body,
              std::function<void()> onActivated) override {
        shown.push_back(summary + ": " + body);
        click = std::move(onActivated);
    }
    std::vector<std::string> shown;
    std::function<void()> click;
};

} // namespace kestrola::platform::testing
