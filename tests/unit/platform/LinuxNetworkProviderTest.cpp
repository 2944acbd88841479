#include "platform/linux/LinuxNetworkProvider.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace kestrola::platform {
namespace {

using namespace std::chrono_literals;

// The datagram service's side, scripted.
class ScriptedSource : public BrowseSource {
public:
    std::vector<NetworkInterface> Interfaces() const override { return interfaces; }
    NetbiosIdentity Identity() const override { return {"Hosta", "WORKGROUP"}; }
    MailslotResult RefreshBrowseList(std::chrono::milliseconds collect) override {
        refreshes.push_back(collect);
        return refresh;
    }
    std::vector<BrowseWorkgroup> BrowseSnapshot() override { return groups; }

    std::vector<NetworkInterface> interfaces{{"eth0", 0x0AD50001, 0xFFFFFF00, 0x0AD500FF}};
    MailslotResult refresh;
    std::vector<std::chrono::milliseconds> refreshes;
    std::vector<BrowseWorkgroup> groups{
        {"OTHERGRP", "HOSTC", {{"HOSTC", "", 1, 0}}},
        {"WORKGROUP", "", {{"HOSTA", "", 1, 0}, {"HOSTB", "second floor", 3, 0}}}};
};

struct Fixture {
    std::shared_ptr<ScriptedSource> source = std::make_shared<ScriptedSource>();
    LinuxNetworkProvider provider{source, 1500ms};

    // Opens `container` and reads everything in one call with a large buffer.
    std::uint32_t List(const NetResource* container, std::vector<NetResource>& entries) {
        std::unique_ptr<ResourceEnumeration> enumeration;
        const std::uint32_t opened =
            provider.OpenEnum(kResourceGlobalNet, kResourceTypeAny, 0, container, enumeration);
        if (opened != kNetNoError)
            return opened;
        std::uint32_t count = kEnumerateAll;
        std::size_t size = 0x80000;
        return enumeration->EnumResource(count, size, entries);
    }
};

NetResource Network() {
    NetResource network;
    network.displayType = kDisplayNetwork;
    network.provider = LinuxNetworkProvider::kProviderName;
    return network;
}

NetResource Group(const std::string& name) {
    NetResource group;
    group.displayType = kDisplayGroup;
    group.remoteName = name;
    return group;
}

TEST(LinuxNetworkProviderTest, OneNetworkThenGroupsAfterARefreshAndServersWithBackslashes) {
    Fixture f;
    EXPECT_EQ(f.provider.ComputerName(), "Hosta");
    std::vector<NetResource> top;
    ASSERT_EQ(f.List(nullptr, top), kNetNoError);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].provider, "NetBIOS over TCP/IP");
    EXPECT_EQ(top[0].remoteName, "NetBIOS over TCP/IP");
    EXPECT_EQ(top[0].displayType, kDisplayNetwork);
    EXPECT_EQ(top[0].usage, kUsageContainer);
    EXPECT_TRUE(f.source->refreshes.empty()) << "looking up the provider sends nothing";

    const NetResource network = Network();
    std::vector<NetResource> groups;
    ASSERT_EQ(f.List(&network, groups), kNetNoError);
    EXPECT_EQ(f.source->refreshes, std::vector<std::chrono::milliseconds>{1500ms});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].remoteName, "OTHERGRP");
    EXPECT_EQ(groups[0].comment, "HOSTC") << "a group's comment names its master";
    EXPECT_EQ(groups[1].remoteName, "WORKGROUP");
    for (const NetResource& group : groups) {
        EXPECT_EQ(group.displayType, kDisplayGroup);
        EXPECT_EQ(group.provider, "NetBIOS over TCP/IP");
    }
    std::vector<NetResource> servers;
    const NetResource workgroup = Group("workgroup");
    ASSERT_EQ(f.List(&workgroup, servers), kNetNoError);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].remoteName, "\\\\HOSTA");
    EXPECT_EQ(servers[1].remoteName, "\\\\HOSTB");
    EXPECT_EQ(servers[1].comment, "second floor");
    EXPECT_EQ(servers[1].displayType, kDisplayServer);
    EXPECT_EQ(f.source->refreshes.size(), 1u) << "only the group list is refreshed";
}

TEST(LinuxNetworkProviderTest, FailuresAndTheirNumbers) {
    struct Case {
        std::string what;
        std::function<void(Fixture&)> arrange;
        std::optional<NetResource> container;
        std::uint32_t error;
        std::string text;
    };
    NetResource share;
    share.displayType = kDisplayShare;
    share.remoteName = "\\\\HOSTA\\files";
    NetResource foreign = Network();
    foreign.provider = "Other Network";
    const Case cases[] = {
        {"no interface", [](Fixture& f) { f.source->interfaces.clear(); }, std::nullopt,
         kNetErrorNoNetwork, "no up IPv4 interface"},
        {"no interface for groups", [](Fixture& f) { f.source->interfaces.clear(); }, Network(),
         kNetErrorNoNetwork, "no up IPv4 interface"},
        {"ports held",
         [](Fixture& f) {
             f.source->refresh = {MailslotStatus::NameTaken, "UDP port 138 is already in use"};
         },
         Network(), kNetErrorNoNetwork, "UDP port 138 is already in use"},
        {"unknown workgroup", [](Fixture&) {}, Group("NOWHERE"), kNetErrorNoBrowserServersFound,
         "NOWHERE"},
        {"not a container", [](Fixture&) {}, share, kNetErrorNotContainer, "HOSTA"},
        {"another provider", [](Fixture&) {}, foreign, kNetErrorBadProvider, "Other Network"}};
    for (const Case& c : cases) {
        Fixture f;
        c.arrange(f);
        std::unique_ptr<ResourceEnumeration> enumeration;
        const std::uint32_t result =
            f.provider.OpenEnum(kResourceGlobalNet, kResourceTypeAny, 0,
                                c.container ? &*c.container : nullptr, enumeration);
        EXPECT_EQ(result, c.error) << c.what;
        EXPECT_EQ(enumeration, nullptr) << c.what;
        EXPECT_NE(f.provider.LastErrorText().find(c.text), std::string::npos)
            << c.what << ": " << f.provider.LastErrorText();
    }
}

TEST(LinuxNetworkProviderTest, EnumerationsHandOutWhatFitsTheBuffer) {
    Fixture f;
    f.source->groups = {{"BIG", "", {}}};
    for (int i = 0; i < 10; ++i)
        f.source->groups[0].computers.push_back({"PC" + std::to_string(i), "", 1, 0});
    const NetResource big = Group("BIG");
    std::unique_ptr<ResourceEnumeration> enumeration;
    ASSERT_EQ(f.provider.OpenEnum(kResourceGlobalNet, kResourceTypeAny, 0, &big, enumeration),
              kNetNoError);
    // Each server takes 32 bytes, "\\PCn" with its NUL and the provider's name with its NUL.
    const std::size_t each = 32 + 6 + sizeof("NetBIOS over TCP/IP");
    std::vector<NetResource> entries;
    std::uint32_t count = kEnumerateAll;
    std::size_t size = 4 * each + 1;
    ASSERT_EQ(enumeration->EnumResource(count, size, entries), kNetNoError);
    EXPECT_EQ(count, 4u);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[3].remoteName, "\\\\PC3");
    EXPECT_EQ(EnumeratedSize(entries[0]), each);

    count = 2;
    ASSERT_EQ(enumeration->EnumResource(count, size, entries), kNetNoError);
    EXPECT_EQ(count, 2u) << "the count limits too";
    EXPECT_EQ(entries[0].remoteName, "\\\\PC4");

    size = 10;
    count = kEnumerateAll;
    ASSERT_EQ(enumeration->EnumResource(count, size, entries), kNetErrorMoreData);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(size, each) << "the size the next entry needs";
    count = kEnumerateAll;
    ASSERT_EQ(enumeration->EnumResource(count, size, entries), kNetNoError);
    EXPECT_EQ(entries[0].remoteName, "\\\\PC6");

    size = 0x4000;
    count = kEnumerateAll;
    ASSERT_EQ(enumeration->EnumResource(count, size, entries), kNetNoError);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(enumeration->EnumResource(count, size, entries), kNetErrorNoMoreItems);
    EXPECT_EQ(count, 0u);
}

} // namespace
} // namespace kestrola::platform
