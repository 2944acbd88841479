#include "platform/Platform.h"

#include <cstdlib>
#include <sys/utsname.h>

namespace kestrola::platform {

PlatformVersion GetPlatformVersion() {
    // A multi-user system with services of its own, as the NT family is; the numbers are the
    // kernel's release ("6.1.0-18-amd64": 6, 1, 0).
    PlatformVersion version;
    version.platformId = kPlatformWin32Nt;
    utsname names{};
    if (::uname(&names) == 0) {
        char* at = names.release;
        version.majorVersion = static_cast<std::uint32_t>(std::strtoul(at, &at, 10));
        if (*at == '.')
            version.minorVersion = static_cast<std::uint32_t>(std::strtoul(at + 1, &at, 10));
        if (*at == '.')
            version.buildNumber = static_cast<std::uint32_t>(std::strtoul(at + 1, &at, 10));
        version.csdVersion = names.version;
    }
    return version;
}

} // namespace kestrola::platform
