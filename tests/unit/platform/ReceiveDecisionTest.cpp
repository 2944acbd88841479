#include "platform/netbios/ReceiveDecision.h"

#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/NameServicePacket.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

namespace nb = netbios;

constexpr std::uint32_t kUs = 0x0AD50002;
constexpr std::uint32_t kOther = 0x0AD50003;

// Packets on the name port: which get an answer, which are forged, which tell of another host
// holding or claiming our name.
TEST(ReceiveDecision, NamePacketsAnsweredForgedOrInConflict) {
    const nb::NetbiosName ours{"HOSTB", 0};
    const std::string query = nb::BuildNameQuery(7, ours, true);
    const std::string claim = nb::BuildRegistrationRequest(8, ours, 300, {0, kOther});
    std::string denial = nb::BuildPositiveResponse(12, ours, 300, {{0, kOther}});
    denial[3] = static_cast<char>(denial[3] | 0x03); // rcode 3: the name is not held there
    struct Case {
        const char* what;
        std::string packet;
        std::uint32_t source;
        std::uint16_t port;
        int answerRcode; // -1: no answer
        bool forged;
        std::uint32_t conflict;
    };
    const Case cases[] = {
        {"a query from a host", query, kOther, 137, 0, false, 0},
        {"a query from the subnet's broadcast", query, 0x0AD500FF, 137, -1, true, 0},
        {"a query from no address", query, 0, 137, -1, true, 0},
        {"a query from the limited broadcast", query, 0xFFFFFFFF, 137, -1, true, 0},
        {"a query from a multicast address", query, 0xE00000FB, 5353, -1, true, 0},
        {"a query from port 0", query, kOther, 0, -1, true, 0},
        {"our own start-up query", query, kUs, 137, -1, false, 0},
        {"another host claims our name", claim, kOther, 137, nb::kActiveError, false, kOther},
        {"our own claim comes back", claim, kUs, 137, -1, false, 0},
        {"another host answers for our name",
         nb::BuildPositiveResponse(9, ours, 300, {{0, kOther}}), kOther, 137, -1, false, kOther},
        {"another host objects to our claim",
         nb::BuildNegativeRegistrationResponse(10, ours, {0, kOther}), kOther, 137, -1, false,
         kOther},
        {"another host's denial is no conflict", denial, kOther, 137, -1, false, 0},
        {"a group answer for our workgroup is no conflict",
         nb::BuildPositiveResponse(11, {"WORKGROUP", 0}, 300, {{nb::kGroupNameFlag, kOther}}),
         kOther, 137, -1, false, 0}};
    for (const Case& c : cases) {
        ReceiverState state;
        state.oemName = "HOSTB";
        state.oemWorkgroup = "WORKGROUP";
        state.interfaces = {{"eth0", kUs, 0xFFFFFF00, 0x0AD500FF}};
        Arrival arrival;
        arrival.port = 137;
        arrival.source = c.source;
        arrival.sourcePort = c.port;
        arrival.localAddress = kUs;
        arrival.data = reinterpret_cast<const std::uint8_t*>(c.packet.data());
        arrival.size = c.packet.size();
        const ReceiveDecision d = DecideArrival(state, arrival, {}, {});
        EXPECT_EQ(d.forged, c.forged) << c.what;
        EXPECT_EQ(d.conflict, c.conflict) << c.what;
        ASSERT_EQ(d.answer.has_value(), c.answerRcode >= 0) << c.what;
        if (d.answer) {
            EXPECT_EQ(d.answer->to, c.source) << c.what;
            EXPECT_EQ(d.answer->toPort, c.port) << c.what;
            const nb::NameServiceParse back =
                nb::ParseNameServicePacket(nb::AsBytes(d.answer->packet));
            ASSERT_TRUE(back.ok()) << c.what;
            EXPECT_EQ(back.packet.rcode(), c.answerRcode) << c.what;
            EXPECT_EQ(back.packet.entries, (std::vector<nb::NameEntry>{{0, kUs}})) << c.what;
        }
    }
}

// Datagrams on the datagram port: which are filed for a mailslot, which go into the browse
// list (and as what), which bring our announcement closer, which are refused.
TEST(ReceiveDecision, DatagramsFiledListedOrRefused) {
    const nb::NetbiosName msBrowse{std::string(nb::kMsBrowseName), nb::kMsBrowseSuffix};
    const auto datagram = [](nb::NetbiosName from, nb::NetbiosName to, std::string_view slot,
                             std::string data) {
        nb::MailslotDatagram d;
        d.type = to.suffix == 0 && to.name == "HOSTB" ? nb::kDirectUnique : nb::kDirectGroup;
        d.sourceIp = kOther;
        d.source = std::move(from);
        d.destination = std::move(to);
        d.mailslot = slot;
        d.data = std::move(data);
        return nb::BuildMailslotDatagram(d);
    };
    const auto announcement = [](std::uint8_t opcode, std::string name, std::string comment) {
        nb::Announcement a;
        a.opcode = opcode;
        a.periodicityMs = 60000;
        a.name = std::move(name);
        a.comment = std::move(comment);
        return nb::BuildAnnouncement(a);
    };
    const std::string host = announcement(nb::kHostAnnouncement, "PC3", "");
    const std::string master = announcement(nb::kLocalMasterAnnouncement, "PC3", "");
    const std::string domain = announcement(nb::kDomainAnnouncement, "FARGRP", "FARMASTER");
    const std::string request = nb::BuildAnnouncementRequest("PC3");
    const nb::NetbiosName pc3{"PC3", 0};
    const nb::NetbiosName workgroup{"WORKGROUP", 0};
    struct Case {
        const char* what;
        std::string packet;
        const char* filedIn; // the mailslot leaf, or nullptr
        bool notForUs;
        bool malformed;
        const char* listed; // "workgroup/computer" the browse list then holds, or ""
        bool requested;
    };
    const Case cases[] = {
        {"a message to our name", datagram(pc3, {"hostb", 0}, "\\MAILSLOT\\MESSNGR", "m"),
         "MESSNGR", false, false, "", false},
        {"a message to our workgroup", datagram(pc3, workgroup, "\\MAILSLOT\\MESSNGR", "m"),
         "MESSNGR", false, false, "", false},
        {"a message to another name", datagram(pc3, {"HOSTC", 0}, "\\MAILSLOT\\MESSNGR", "m"),
         nullptr, true, false, "", false},
        {"a cut datagram", datagram(pc3, {"HOSTB", 0}, "\\MAILSLOT\\MESSNGR", "m").substr(0, 80),
         nullptr, false, true, "", false},
        {"a host announcement", datagram(pc3, workgroup, nb::kBrowseMailslot, host), "BROWSE",
         false, false, "WORKGROUP/PC3", false},
        {"a host announcement on LANMAN is read as one",
         datagram(pc3, {"OTHERGRP", 0}, nb::kLanmanMailslot,
                  std::string("\x01\x00\x03\x00\x00\x00\x06\x01\x3c\x00PC3\0\0", 15)),
         nullptr, true, false, "OTHERGRP/PC3", false},
        {"a local master announcement to the browser election name",
         datagram(pc3, {"WORKGROUP", nb::kBrowserElectionSuffix}, nb::kBrowseMailslot, master),
         nullptr, true, false, "WORKGROUP/PC3", false},
        {"a local master announcement to another name",
         datagram(pc3, {"WORKGROUP", nb::kMasterBrowserSuffix}, nb::kBrowseMailslot, master),
         nullptr, true, false, "", false},
        {"a domain announcement to __MSBROWSE__",
         datagram(pc3, msBrowse, nb::kBrowseMailslot, domain), nullptr, true, false, "FARGRP/",
         false},
        {"a domain announcement to a workgroup",
         datagram(pc3, workgroup, nb::kBrowseMailslot, domain), "BROWSE", false, false, "", false},
        {"an announcement request to our workgroup",
         datagram(pc3, workgroup, nb::kBrowseMailslot, request), "BROWSE", false, false, "", true},
        {"our own announcement request",
         datagram({"HOSTB", 0}, workgroup, nb::kBrowseMailslot, request), "BROWSE", false, false,
         "", false},
        {"an announcement request to another workgroup",
         datagram(pc3, {"OTHERGRP", 0}, nb::kBrowseMailslot, request), nullptr, true, false, "",
         false}};
    const auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    for (const Case& c : cases) {
        ReceiverState state;
        state.oemName = "HOSTB";
        state.oemWorkgroup = "WORKGROUP";
        state.schedule.Start(now - std::chrono::seconds(1));
        state.schedule.Announce(now - std::chrono::seconds(1)); // the next one a minute later
        const auto due = state.schedule.Next();
        Arrival arrival;
        arrival.port = 138;
        arrival.source = kOther;
        arrival.sourcePort = 138;
        arrival.localAddress = kUs;
        arrival.data = reinterpret_cast<const std::uint8_t*>(c.packet.data());
        arrival.size = c.packet.size();
        const ReceiveDecision d = DecideArrival(state, arrival, now, std::chrono::seconds(1));
        EXPECT_EQ(d.malformed, c.malformed) << c.what;
        EXPECT_EQ(d.notForUs, c.notForUs) << c.what;
        ASSERT_EQ(d.filing.has_value(), c.filedIn != nullptr) << c.what;
        if (d.filing) {
            EXPECT_EQ(d.filing->mailslot, c.filedIn) << c.what;
            EXPECT_EQ(d.filing->origin.sourceAddress, kOther) << c.what;
        }
        std::string listed;
        for (const BrowseWorkgroup& g : state.browse.Snapshot(now))
            for (std::size_t i = 0; i < std::max<std::size_t>(1, g.computers.size()); ++i)
                listed += g.name + "/" + (g.computers.empty() ? "" : g.computers[i].name);
        EXPECT_EQ(listed, c.listed) << c.what;
        EXPECT_EQ(d.listed, !listed.empty()) << c.what;
        EXPECT_EQ(d.requested, c.requested) << c.what;
        EXPECT_EQ(state.schedule.Next() < due, c.requested) << c.what;
    }
}

} // namespace
} // namespace kestrola::platform
