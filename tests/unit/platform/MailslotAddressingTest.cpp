#include "platform/netbios/MailslotAddressing.h"

#include "platform/netbios/DatagramPacket.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

TEST(MailslotPath, SplitsServerAndMailslot) {
    struct Case {
        std::string path;
        bool ok;
        std::string server, mailslot;
    };
    const Case cases[] = {
        {"\\\\.\\mailslot\\MESSNGR", true, ".", "MESSNGR"},
        {"\\\\PC2\\mailslot\\messngr", true, "PC2", "messngr"},
        {"\\\\*\\MAILSLOT\\messngr", true, "*", "messngr"},
        {"\\\\my pc\\MailSlot\\a\\b", true, "my pc", "a\\b"},
        {"\\\\a\\b\\mailslot\\messngr", false, "", ""}, // a backslash inside the target
        {"\\\\\\mailslot\\messngr", false, "", ""},     // no target at all
        {"\\PC2\\mailslot\\messngr", false, "", ""},
        {"\\\\PC2\\pipe\\messngr", false, "", ""},
        {"\\\\PC2\\mailslot\\", false, "", ""},
        {"\\\\PC2", false, "", ""},
        {"", false, "", ""}};
    for (const Case& c : cases) {
        MailslotPath parts;
        const bool ok = ParseMailslotPath(c.path, parts).empty();
        EXPECT_EQ(ok, c.ok) << c.path;
        if (ok && c.ok) {
            EXPECT_EQ(parts.server, c.server) << c.path;
            EXPECT_EQ(parts.mailslot, c.mailslot) << c.path;
        }
    }
}

TEST(ReceiveRule, AcceptsOurNamesOnly) {
    struct Case {
        std::uint8_t type;
        NetbiosName destination;
        bool accepted;
    };
    const Case cases[] = {
        {kDirectUnique, {"PC1", 0x00}, true},      {kDirectUnique, {"pc1", 0x03}, true},
        {kDirectGroup, {"WORKGROUP", 0x00}, true}, {kDirectGroup, {"workgroup", 0x03}, true},
        {kBroadcastDatagram, {"*", 0x00}, true},   {kDirectGroup, {"*", 0x00}, false},
        {kDirectUnique, {"PC1", 0x20}, false},     {kDirectGroup, {"WORKGROUP", 0x1D}, false},
        {kDirectUnique, {"PC2", 0x00}, false},     {kDirectGroup, {"OTHERGRP", 0x00}, false},
        {kDirectUnique, {"PC", 0x00}, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(AcceptsDestination(c.type, c.destination, "PC1", "WORKGROUP"), c.accepted)
            << NameForDisplay(c.destination) << " type " << int(c.type);
    }
}

TEST(SendRule, ChoosesDestinationAndRoute) {
    struct Case {
        std::string target;
        NetbiosName destination;
        SendRoute route;
    };
    const std::vector<std::string> known = {"SALES"};
    const Case cases[] = {{"*", {"WORKGROUP", 0}, SendRoute::GroupBroadcast},
                          {"workgroup", {"WORKGROUP", 0}, SendRoute::GroupBroadcast},
                          {"Sales", {"SALES", 0}, SendRoute::GroupBroadcast},
                          {"pc2", {"PC2", 0}, SendRoute::ResolveUnique},
                          {"OTHERGRP", {"OTHERGRP", 0}, SendRoute::ResolveUnique}};
    for (const Case& c : cases) {
        const SendPlan plan = PlanSend(c.target, "WorkGroup", known);
        EXPECT_EQ(plan.destination, c.destination) << c.target;
        EXPECT_EQ(plan.route, c.route) << c.target;
    }
    EXPECT_TRUE(CheckTarget("*").empty());
    EXPECT_FALSE(CheckTarget("**").empty());
    EXPECT_FALSE(CheckTarget("").empty());
}

} // namespace
} // namespace kestrola::platform::netbios
