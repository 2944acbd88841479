#pragma once

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
};

} // namespace kestrola::platform
