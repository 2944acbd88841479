#include "platform/Platform.h"
#include "platform/linux/LinuxCodePage.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kestrola::platform {

namespace {

class LinuxClock : public Clock {
public:
    LocalTime Now() const override {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

std::string LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "C";
}

} // namespace

std::unique_ptr<CodePage> CreateCodePage() {
    int page = OemCodePageForLocale(LocaleName());
    if (const char* forced = std::getenv("KESTROLA_OEM_CODEPAGE"); forced != nullptr && *forced) {
        char* end = nullptr;
        const long value = std::strtol(forced, &end, 10);
        if (*end == '\0' && value > 0 && value < 100000)
            page = static_cast<int>(value);
        else
            std::fprintf(stderr, "kestrola: KESTROLA_OEM_CODEPAGE=%s is not a number\n", forced);
    }
    if (auto table = LinuxCodePage::Create(page))
        return table;
    // Not every OEM page is in glibc's iconv (720 is missing); 437 keeps ASCII exact.
    std::fprintf(stderr, "kestrola: OEM code page %d is not available here, using 437\n", page);
    return LinuxCodePage::Create(437);
}

std::unique_ptr<Clock> CreateClock() {
    return std::make_unique<LinuxClock>();
}

std::string_view NativeLineEnd() {
    return "\n";
}

} // namespace kestrola::platform
