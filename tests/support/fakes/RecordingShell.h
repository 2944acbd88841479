#pragma once

#include "platform/Shell.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::platform::testing {

/// Records every open and answers with a chosen result code.
class RecordingShell : public Shell {
public:
    int Open(const std::string& verb, const std::string& target) override {
        calls.emplace_back(verb, target);
        return result;
    }
    std::optional<int> RunWebBrowser(const std::string& url) override {
        browserRuns.push_back(url);
        return browserResult;
    }
    int result = 42;
    std::vector<std::pair<std::string, std::string>> calls;
    std::optional<int> browserResult;
    std::vector<std::string> browserRuns;
};

} // namespace kestrola::platform::testing
