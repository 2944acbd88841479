#include "RecordingReportSink.h"

namespace kestrola::testing {

RecordingReportSink::RecordingReportSink() : m_previous(core::InstallReportSink(this)) {}

RecordingReportSink::~RecordingReportSink() {
    core::InstallReportSink(m_previous);
}

std::vector<int> RecordingReportSink::Take() {
    std::vector<int> taken;
    taken.swap(ids);
    return taken;
}

} // namespace kestrola::testing
