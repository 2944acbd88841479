#include "platform/netbios/ReceiveDecision.h"

#include "platform/netbios/NameServicePacket.h"

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

} // namespace
} // namespace kestrola::platform
