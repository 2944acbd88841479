#pragma once

#include <string>

namespace kestrola::core {

/// Where failures go: the program installs its notice window, tests a recorder. Without an
/// installed sink the texts go to the standard error stream.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    /// Shows string-table text `id` and returns once the user has closed it.
    virtual void ShowMessage(int id) = 0;
    /// Shows a composed text and returns once the user has closed it.
    virtual void ShowText(const std::string& text) = 0;
};

/// Installs `sink` (nullptr restores the standard-error sink); returns the one it replaces.
ReportSink* InstallReportSink(ReportSink* sink);

/// Reports string-table text `id` to the user through the installed sink.
void ShowSystemMessage(int id);
/// Reports a composed text to the user through the installed sink.
void ShowSystemText(const std::string& text);

/// Keeps a sink installed for the life of a scope.
class ScopedReportSink {
public:
    explicit ScopedReportSink(ReportSink* sink) : m_previous(InstallReportSink(sink)) {}
    ~ScopedReportSink() { InstallReportSink(m_previous); }
    ScopedReportSink(const ScopedReportSink&) = delete;
    ScopedReportSink& operator=(const ScopedReportSink&) = delete;

private:
    ReportSink* m_previous;
};

} // namespace kestrola::core
