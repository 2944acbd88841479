#include "RecordingReportSink.h"
#include "base/StatusTexts.h"

#include <gtest/gtest.h>

namespace kestrola::testing {
namespace {

// A sink installed for a while hands the reports back to the one it replaced, not to standard
// error.
TEST(Reporting, ANestedSinkHandsBackToTheOneItReplaced) {
    RecordingReportSink outer;
    {
        RecordingReportSink inner;
        core::ShowSystemMessage(core::kOpenWriteCreateFile);
        EXPECT_EQ(inner.Take(), std::vector<int>{core::kOpenWriteCreateFile});
    }
    core::ShowSystemMessage(core::kReadErrorLength);
    EXPECT_EQ(outer.Take(), std::vector<int>{core::kReadErrorLength});
}

} // namespace
} // namespace kestrola::testing
