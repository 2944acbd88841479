#pragma once

#include "base/Reporting.h"

#include <string>
#include <utility>
#include <vector>

namespace kestrola::testing {

/// Records every reported id (composed texts as id 0) and installs itself for its lifetime.
class RecordingReportSink : public core::ReportSink {
public:
    RecordingReportSink() : m_previous(core::InstallReportSink(this)) {}
    ~RecordingReportSink() override { core::InstallReportSink(m_previous); }
    void ShowMessage(int id) override { ids.push_back(id); }
    void ShowText(const std::string& text) override {
        ids.push_back(0);
        texts.push_back(text);
    }
    std::vector<int> Take() { return std::exchange(ids, {}); }
    std::vector<int> ids;
    std::vector<std::string> texts;

private:
    core::ReportSink* m_previous;
};

} // namespace kestrola::testing
