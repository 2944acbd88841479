#pragma once

#include <optional>
#include <string>

namespace kestrola::platform {

/// Opens documents, pages and folders the way the desktop does. Results follow the platform's
/// shell-open convention that callers test: above 32 is success; 2 file not found, 3 path not
/// found, 5 access denied, 8 out of memory (also: command too long), 11 bad format,
/// 26 sharing violation, 27 incomplete association, 28-30 DDE failures, 31 no association,
/// 32 DLL not found; 0 when the system is out of resources.
class Shell {
public:
    virtual ~Shell() = default;
    /// Opens `target` with `verb` ("open", "explore"); returns the result code above.
    virtual int Open(const std::string& verb, const std::string& target) = 0;
    /// Starts the desktop's registered web browser on `url`: its command cut before the
    /// document placeholder, a blank and the URL, run without a shell. Returns the result code
    /// above (8 when the command would not fit its 520 characters), or nothing when no browser
    /// is registered.
    virtual std::optional<int> RunWebBrowser(const std::string& url) = 0;
};

} // namespace kestrola::platform
