#pragma once

#include "platform/NetworkProvider.h"
#include "platform/linux/LinuxDatagramService.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace kestrola::platform {

/// The network provider of Linux: one network, "NetBIOS over TCP/IP", whose workgroups and
/// computers are those of the datagram service's browse list. Opening the network's group
/// list first asks every known workgroup to announce itself and waits `collect` for the
/// answers; the computer lists are read from the list as it then is.
class LinuxNetworkProvider : public NetworkProvider {
public:
    /// The provider's name, as enumerations give it.
    static constexpr const char* kProviderName = "NetBIOS over TCP/IP";

    LinuxNetworkProvider(std::shared_ptr<BrowseSource> source, std::chrono::milliseconds collect);

    std::uint32_t OpenEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container,
                           std::unique_ptr<ResourceEnumeration>& enumeration) override;
    std::string LastErrorText() const override;
    std::string ComputerName() const override;

private:
    std::uint32_t Fail(std::uint32_t error, std::string text);

    std::shared_ptr<BrowseSource> m_source;
    std::chrono::milliseconds m_collect;
    mutable std::mutex m_mutex;
    std::string m_lastError;
};

} // namespace kestrola::platform
