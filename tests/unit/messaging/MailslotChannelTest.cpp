#include "messaging/MailslotChannel.h"

#include "RecordingReportSink.h"
#include "base/StatusTexts.h"
#include "fakes/LoopbackNetwork.h"
#include "messaging/DatagramCodec.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using namespace std::string_literals;
using platform::testing::LoopbackNetwork;
using Ids = std::vector<int>;

class MailslotChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(channel.Open()); }
    void Arrive(const std::string& bytes) { ASSERT_TRUE(pc2->Deliver("MESSNGR", bytes, {})); }

    std::shared_ptr<LoopbackNetwork> net = LoopbackNetwork::Create();
    std::shared_ptr<LoopbackNetwork::Host> pc1 = net->AddHost("PC1", "WORKGROUP");
    std::shared_ptr<LoopbackNetwork::Host> pc2 = net->AddHost("PC2", "WORKGROUP");
    std::shared_ptr<LoopbackNetwork::Host> pc3 = net->AddHost("PC3", "OTHERGRP");
    testing::RecordingReportSink sink;
    MailslotChannel channel{*pc2};
    MessageRecord r;
};

TEST_F(MailslotChannelTest, OpenTakesTheMessengerMailslotOnce) {
    MailslotChannel second(*pc2); // the name is taken on this computer
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(sink.Take(), Ids{kFailedCreateMailslot});
    channel.Close();
    EXPECT_TRUE(second.Open()) << "closing gives the name back";

    pc1->portTaken = true; // another service holds the port
    MailslotChannel blocked(*pc1);
    EXPECT_FALSE(blocked.Open());
    EXPECT_EQ(sink.Take(), Ids{kFailedCreateMailslot});
    EXPECT_EQ(blocked.Receive(r), ReceiveFailed);
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_TRUE(blocked.Send("PC2", "A\0B\0c\0", 6)) << "sending needs no open channel";
    EXPECT_EQ(second.Receive(r), MessageReceived);
}

TEST_F(MailslotChannelTest, ReceivesOneDatagramPerCallAndConsumesEmptyOnesSilently) {
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    for (const std::string& bytes : {"A\0B\0hi\0"s, "\0"s, ""s, "\0B\0text\0"s, "C\0D\0yo\0"s})
        Arrive(bytes);
    r.state = 1;
    r.body.fill(0xEE); // stale bytes from an earlier message
    EXPECT_EQ(channel.Receive(r), MessageReceived);
    EXPECT_EQ(r.BodyBytes(), "A\0B\0hi\0"s);
    EXPECT_EQ(r.state, 0);
    EXPECT_EQ(r.body[7], 0) << "the buffer is zeroed before the read";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_EQ(channel.Receive(r), MessageReceived);
    EXPECT_EQ(r.BodyBytes(), "C\0D\0yo\0"s);
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_EQ(channel.Counters().filed, 5u) << "the mailslot's counters while open";
    channel.Close();
    EXPECT_EQ(channel.Counters().filed, 0u);
}

TEST_F(MailslotChannelTest, KeepsOnly110BytesOfALongDatagram) {
    for (const std::size_t size : {150u, 1024u, 1500u}) {
        std::string bytes = "PC1\0PC2\0"s + std::string(size - 8, 'y');
        Arrive(bytes);
        std::string whole;
        ASSERT_EQ(channel.Receive(r, nullptr, &whole), MessageReceived) << size;
        EXPECT_EQ(r.bodyLength, kKeptDatagramBytes);
        EXPECT_EQ(r.BodyBytes(), bytes.substr(0, 110));
        EXPECT_EQ(r.body[149], 0) << "the cut tail does not linger";
        EXPECT_EQ(whole, bytes.substr(0, kReceiveBufferBytes)) << "the read stays in the buffer";
    }
}

TEST_F(MailslotChannelTest, FailuresCloseTheChannelForGood) {
    const struct {
        bool LoopbackNetwork::Host::*fault;
        int reported;
    } cases[] = {{&LoopbackNetwork::Host::infoFails, kFailedGetStatus},
                 {&LoopbackNetwork::Host::readFails, kFailedCreateMailslot}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reported);
        channel.Close();
        ASSERT_TRUE(channel.Open());
        Arrive("A\0B\0hi\0"s);
        (*pc2).*c.fault = true;
        EXPECT_EQ(channel.Receive(r), ReceiveFailed);
        EXPECT_EQ(sink.Take(), Ids{c.reported});
        EXPECT_FALSE(channel.IsOpen());
        (*pc2).*c.fault = false;
        EXPECT_EQ(channel.Receive(r), ReceiveFailed);
        EXPECT_TRUE(sink.Take().empty()) << "later polls fail silently";
    }
}

TEST_F(MailslotChannelTest, SendReachesTheRightComputers) {
    MailslotChannel c1(*pc1), c3(*pc3);
    ASSERT_TRUE(c1.Open() && c3.Open());
    const struct {
        std::string target;
        std::uint8_t type;
        std::string destination;
        std::vector<std::string> reached;
    } cases[] = {
        // The addressing rules have their own table; here the channel's path and bytes.
        {"PC2", 0x10, "PC2<00>", {"PC2"}},
        {"WORKGROUP", 0x11, "WORKGROUP<00>", {"PC1", "PC2"}},
        {"NOBODY", 0x11, "NOBODY<00>", {}},
    };
    const std::string datagram = "PC1\0X\0hi\0"s;
    MailslotChannel sender(*pc1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.target);
        EXPECT_TRUE(sender.Send(c.target, datagram.data(), datagram.size()));
        const auto carried = net->Carried();
        ASSERT_EQ(carried.size(), i + 1);
        EXPECT_EQ(carried[i].type, c.type);
        EXPECT_EQ(carried[i].destination, c.destination);
        EXPECT_EQ(carried[i].mailslot, "\\MAILSLOT\\MESSNGR");
        EXPECT_EQ(carried[i].deliveredTo, c.reached);
        for (auto* receiver : {&c1, &channel, &c3}) {
            platform::DatagramOrigin origin;
            if (receiver->Receive(r, &origin) == MessageReceived) {
                EXPECT_EQ(r.BodyBytes(), datagram) << "the bytes travel as given";
                EXPECT_EQ(origin.sourceName, "PC1<00>");
            }
        }
    }
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(MailslotChannelTest, BadTargetsAndWriteFailuresReportTheirTexts) {
    MailslotChannel sender(*pc1);
    for (const std::string& target :
         {""s, "SIXTEEN-CHARS-XY"s, "A*B"s, "A\\B"s, "A/B"s, "A\x01"s, "a?b"s, "x|y"s}) {
        EXPECT_FALSE(sender.Send(target, "A\0B\0c\0", 6)) << target;
        EXPECT_EQ(sink.Take(), Ids{kFailedCreateFileToWrite}) << target;
    }
    EXPECT_TRUE(net->Carried().empty());

    const auto failing = [&](auto setup, std::size_t size) {
        setup(true);
        EXPECT_FALSE(sender.Send("PC2", std::string(size, 'x').data(), size));
        setup(false);
        return sink.Take();
    };
    EXPECT_EQ(failing([&](bool on) { pc1->noInterface = on; }, 11), Ids{kFailedCreateFileToWrite});
    EXPECT_EQ(failing([&](bool on) { pc1->writeFails = on; }, 11),
              (Ids{kFailedSendToSlot, kNoRightSendLength}));
    EXPECT_EQ(failing([&](bool on) { pc1->shortWriteBy = on ? 3 : 0; }, 11),
              Ids{kNoRightSendLength});
    EXPECT_EQ(failing([](bool) {}, 425), (Ids{kFailedSendToSlot, kNoRightSendLength}));
    EXPECT_TRUE(sender.Send("PC2", std::string(424, 'x').data(), 424));
    EXPECT_TRUE(sink.Take().empty());
}

} // namespace
} // namespace kestrola::core
