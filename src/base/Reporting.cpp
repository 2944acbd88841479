#include "base/Reporting.h"

#include "base/StatusTexts.h"

#include <cstdio>

namespace kestrola::core {

namespace {

class StandardErrorSink : public ReportSink {
public:
    void ShowMessage(int id) override { ShowText(std::string(LoadString(id))); }
    void ShowText(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

StandardErrorSink g_standardError;
ReportSink* g_sink = &g_standardError;

} // namespace

ReportSink* InstallReportSink(ReportSink* sink) {
    ReportSink* previous = g_sink == &g_standardError ? nullptr : g_sink;
    g_sink = sink != nullptr ? sink : &g_standardError;
    return previous;
}

void ShowSystemMessage(int id) {
    g_sink->ShowMessage(id);
}

void ShowSystemText(const std::string& text) {
    g_sink->ShowText(text);
}

} // namespace kestrola::core
