#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrola::platform {

// Scopes, types, display types and usages of network resources, and the results of the
// enumeration, with the numbers the Windows network provider interface gives them.
constexpr std::uint32_t kResourceGlobalNet = 2;
constexpr std::uint32_t kResourceTypeAny = 0;
constexpr std::uint32_t kResourceTypeDisk = 1;
constexpr std::uint32_t kDisplayGeneric = 0;
constexpr std::uint32_t kDisplayDomain = 1;
constexpr std::uint32_t kDisplayServer = 2;
constexpr std::uint32_t kDisplayShare = 3;
constexpr std::uint32_t kDisplayGroup = 5;
constexpr std::uint32_t kDisplayNetwork = 6;
constexpr std::uint32_t kUsageConnectable = 1;
constexpr std::uint32_t kUsageContainer = 2;

constexpr std::uint32_t kNetNoError = 0;
constexpr std::uint32_t kNetErrorMoreData = 234;
constexpr std::uint32_t kNetErrorNoMoreItems = 259;
constexpr std::uint32_t kNetErrorBadProvider = 1204;
constexpr std::uint32_t kNetErrorNotContainer = 1207;
constexpr std::uint32_t kNetErrorNoNetwork = 1222;
constexpr std::uint32_t kNetErrorNoBrowserServersFound = 6118;

/// "As many entries as fit" for `ResourceEnumeration::EnumResource`.
constexpr std::uint32_t kEnumerateAll = 0xFFFFFFFF;

/// A network resource: a provider's network, a workgroup or domain, a server or a share.
struct NetResource {
    std::uint32_t scope = 0;
    std::uint32_t type = kResourceTypeAny;
    std::uint32_t displayType = kDisplayGeneric;
    std::uint32_t usage = 0;
    std::string localName;
    std::string remoteName; ///< a server's is "\\NAME"
    std::string comment;
    std::string provider;
};

/// Bytes a resource takes in an enumeration buffer: the fixed record of 32 bytes and its four
/// texts with their terminating NULs (an empty text takes none: its pointer is null).
std::size_t EnumeratedSize(const NetResource& resource);

/// An open enumeration of a container's resources; closed when destroyed.
class ResourceEnumeration {
public:
    virtual ~ResourceEnumeration() = default;
    /// Reads the next resources: at most `count` of them (kEnumerateAll: as many as fit), as
    /// many as fit into `bufferSize` bytes (see `EnumeratedSize`). Sets `count` to the number
    /// read. kNetErrorMoreData with `bufferSize` set to the size needed when not even the next
    /// one fits; kNetErrorNoMoreItems when none is left.
    virtual std::uint32_t EnumResource(std::uint32_t& count, std::size_t& bufferSize,
                                       std::vector<NetResource>& entries) = 0;
};

/// An enumeration that hands out `entries` in order, as many per call as the caller's count and
/// buffer allow.
std::unique_ptr<ResourceEnumeration> ListEnumeration(std::vector<NetResource> entries);

/// The system's network provider: its networks, their workgroups and their servers.
class NetworkProvider {
public:
    virtual ~NetworkProvider() = default;
    /// Opens an enumeration of `container` (nullptr: the top level, one entry per provider
    /// network); kNetNoError and `enumeration` set, or an error number.
    virtual std::uint32_t OpenEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                                   const NetResource* container,
                                   std::unique_ptr<ResourceEnumeration>& enumeration) = 0;
    /// Says for people what the latest failure was about.
    virtual std::string LastErrorText() const = 0;
    /// The local computer's name as the network knows it.
    virtual std::string ComputerName() const = 0;
};

} // namespace kestrola::platform
