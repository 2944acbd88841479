#include "platform/linux/LinuxNetworkProvider.h"

#include "base/Text.h"
#include "platform/netbios/NetbiosName.h"

#include <vector>

namespace kestrola::platform {

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return core::AsciiUpper(a) == core::AsciiUpper(b);
}

} // namespace

LinuxNetworkProvider::LinuxNetworkProvider(std::shared_ptr<BrowseSource> source,
                                           std::chrono::milliseconds collect)
    : m_source(std::move(source)), m_collect(collect) {}

std::uint32_t LinuxNetworkProvider::Fail(std::uint32_t error, std::string text) {
    const std::lock_guard lock(m_mutex);
    m_lastError = std::move(text);
    return error;
}

std::string LinuxNetworkProvider::LastErrorText() const {
    const std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::string LinuxNetworkProvider::ComputerName() const {
    return m_source->Identity().computerName;
}

std::uint32_t LinuxNetworkProvider::OpenEnum(std::uint32_t scope, std::uint32_t /*type*/,
                                             std::uint32_t /*usage*/, const NetResource* container,
                                             std::unique_ptr<ResourceEnumeration>& enumeration) {
    enumeration.reset();
    if (m_source->Interfaces().empty())
        return Fail(kNetErrorNoNetwork,
                    "no up IPv4 interface with a broadcast address to browse the network on");
    std::vector<NetResource> entries;
    if (container == nullptr) {
        // The top level: our one network.
        entries.push_back({scope,
                           kResourceTypeAny,
                           kDisplayNetwork,
                           kUsageContainer,
                           {},
                           kProviderName,
                           {},
                           kProviderName});
    } else if (!container->provider.empty() && container->provider != kProviderName) {
        return Fail(kNetErrorBadProvider,
                    "the provider \"" + container->provider + "\" is not " + kProviderName);
    } else if (container->displayType == kDisplayNetwork) {
        if (const MailslotResult refreshed = m_source->RefreshBrowseList(m_collect);
            !refreshed.ok())
            return Fail(kNetErrorNoNetwork, refreshed.detail);
        for (const BrowseWorkgroup& group : m_source->BrowseSnapshot())
            entries.push_back({scope,
                               kResourceTypeAny,
                               kDisplayGroup,
                               kUsageContainer,
                               {},
                               group.name,
                               group.master,
                               kProviderName});
    } else if (container->displayType == kDisplayGroup ||
               container->displayType == kDisplayDomain) {
        bool found = false;
        for (const BrowseWorkgroup& group : m_source->BrowseSnapshot()) {
            if (!SameText(group.name, container->remoteName))
                continue;
            found = true;
            for (const BrowseComputer& computer : group.computers)
                entries.push_back({scope,
                                   kResourceTypeAny,
                                   kDisplayServer,
                                   kUsageContainer,
                                   {},
                                   "\\\\" + computer.name,
                                   computer.comment,
                                   kProviderName});
        }
        if (!found)
            return Fail(kNetErrorNoBrowserServersFound,
                        "nothing is known of the workgroup \"" + container->remoteName + "\"");
    } else {
        return Fail(kNetErrorNotContainer,
                    "\"" + container->remoteName + "\" holds no workgroups or computers");
    }
    enumeration = ListEnumeration(std::move(entries));
    return kNetNoError;
}

} // namespace kestrola::platform
