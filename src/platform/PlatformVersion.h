#pragma once

#include <cstdint>
#include <string>

namespace kestrola::platform {

/// Platform families of the version record, numbered as Windows numbers them.
constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWin32Windows = 1;
constexpr std::uint32_t kPlatformWin32Nt = 2;

/// The operating system's version record (the fields of Windows' OSVERSIONINFOA that the
/// program reads).
struct PlatformVersion {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = kPlatformWin32Nt;
    std::string csdVersion;
};

} // namespace kestrola::platform
