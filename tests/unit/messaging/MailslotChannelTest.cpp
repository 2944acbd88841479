#include "messaging/MailslotChannel.h"

#include "RecordingReportSink.h"
#include "base/StatusTexts.h"
#include "fakes/LoopbackNetwork.h"
#include "messaging/DatagramCodec.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using platform::testing::LoopbackNetwork;

class MailslotChannelTest : public ::testing::Test {
protected:
    std::shared_ptr<LoopbackNetwork> net = LoopbackNetwork::Create();
    std::shared_ptr<LoopbackNetwork::Host> pc1 = net->AddHost("PC1", "WORKGROUP");
    std::shared_ptr<LoopbackNetwork::Host> pc2 = net->AddHost("PC2", "WORKGROUP");
    std::shared_ptr<LoopbackNetwork::Host> pc3 = net->AddHost("PC3", "OTHERGRP");
    testing::RecordingReportSink sink;

    // Puts raw bytes into a host's messenger mailslot as if they had arrived.
    static void Arrive(LoopbackNetwork::Host& host, const std::string& bytes) {
        ASSERT_TRUE(host.Deliver("MESSNGR", bytes, {}));
    }
};

TEST_F(MailslotChannelTest, OpenCreatesTheMessengerMailslotOnce) {
    MailslotChannel channel(*pc1);
    EXPECT_FALSE(channel.IsOpen());
    ASSERT_TRUE(channel.Open());
    EXPECT_TRUE(channel.IsOpen());
    // A second endpoint on the same computer finds the name taken.
    MailslotChannel second(*pc1);
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(sink.Take(), std::vector<int>{kFailedCreateMailslot});
    // Closing gives the name back.
    channel.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(MailslotChannelTest, OpenFailsWhenAnotherServiceHoldsThePort) {
    pc1->portTaken = true;
    MailslotChannel channel(*pc1);
    EXPECT_FALSE(channel.Open());
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(sink.Take(), std::vector<int>{kFailedCreateMailslot});
    MessageRecord r;
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(MailslotChannelTest, ReceivesOneDatagramPerCall) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    MessageRecord r;
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    Arrive(*pc2, std::string("A\0B\0hi\0", 7));
    Arrive(*pc2, std::string("C\0D\0yo\0", 7));
    r.state = 1;
    r.body.fill(0xEE); // stale bytes from an earlier message
    EXPECT_EQ(channel.Receive(r), MessageReceived);
    EXPECT_EQ(r.BodyBytes(), std::string("A\0B\0hi\0", 7));
    EXPECT_EQ(r.state, 0);
    EXPECT_EQ(r.body[7], 0) << "the buffer is zeroed before the read";
    EXPECT_EQ(r.body[1023], 0);
    EXPECT_EQ(channel.Receive(r), MessageReceived);
    EXPECT_EQ(r.BodyBytes(), std::string("C\0D\0yo\0", 7));
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(MailslotChannelTest, KeepsOnly110BytesOfALongDatagram) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    std::string long150(150, 'x');
    long150[3] = '\0';
    long150[7] = '\0';
    for (const std::size_t size : {150u, 1024u, 1500u}) {
        std::string bytes = long150;
        bytes.resize(size, 'y');
        Arrive(*pc2, bytes);
        MessageRecord r;
        std::string whole;
        ASSERT_EQ(channel.Receive(r, nullptr, &whole), MessageReceived) << size;
        EXPECT_EQ(r.bodyLength, kKeptDatagramBytes);
        EXPECT_EQ(r.BodyBytes(), bytes.substr(0, 110));
        EXPECT_EQ(r.body[110], 0);
        EXPECT_EQ(r.body[149], 0) << "the cut tail does not linger";
        EXPECT_EQ(whole, bytes.substr(0, kReceiveBufferBytes)) << "the read stays in the buffer";
    }
}

TEST_F(MailslotChannelTest, EmptyOrNulLedDatagramsAreConsumedSilently) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    Arrive(*pc2, std::string(1, '\0'));
    Arrive(*pc2, "");
    Arrive(*pc2, std::string("\0B\0text\0", 8));
    Arrive(*pc2, "hello");
    MessageRecord r;
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_EQ(channel.Receive(r), NothingReceived);
    EXPECT_EQ(channel.Receive(r), MessageReceived) << "the three before it were consumed";
    EXPECT_EQ(r.BodyBytes(), "hello");
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(MailslotChannelTest, StatusFailureClosesTheChannelForGood) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    Arrive(*pc2, std::string("A\0B\0hi\0", 7));
    pc2->infoFails = true;
    MessageRecord r;
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_EQ(sink.Take(), std::vector<int>{kFailedGetStatus});
    EXPECT_FALSE(channel.IsOpen());
    pc2->infoFails = false;
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_TRUE(sink.Take().empty()) << "later polls fail silently";
}

TEST_F(MailslotChannelTest, ReadFailureReportsTheCreationTextAndCloses) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    Arrive(*pc2, std::string("A\0B\0hi\0", 7));
    pc2->readFails = true;
    MessageRecord r;
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_EQ(sink.Take(), std::vector<int>{kFailedCreateMailslot});
    EXPECT_FALSE(channel.IsOpen());
    pc2->readFails = false;
    EXPECT_EQ(channel.Receive(r), ReceiveFailed);
    EXPECT_TRUE(sink.Take().empty());
}

struct Delivery {
    std::string target;
    std::uint8_t type;
    std::string destination;
    std::vector<std::string> reached;
};

void PrintTo(const Delivery& d, std::ostream* os) {
    *os << "target " << d.target;
}

class MailslotChannelSend : public MailslotChannelTest,
                            public ::testing::WithParamInterface<Delivery> {};

TEST_P(MailslotChannelSend, ReachesTheRightComputers) {
    MailslotChannel c1(*pc1), c2(*pc2), c3(*pc3);
    ASSERT_TRUE(c1.Open() && c2.Open() && c3.Open());
    const std::string datagram("PC1\0X\0hi\0", 9);
    MailslotChannel sender(*pc1);
    EXPECT_TRUE(sender.Send(GetParam().target, datagram.data(), datagram.size()));
    EXPECT_TRUE(sink.Take().empty());
    const auto carried = net->Carried();
    ASSERT_EQ(carried.size(), 1u);
    EXPECT_EQ(carried[0].type, GetParam().type);
    EXPECT_EQ(carried[0].destination, GetParam().destination);
    EXPECT_EQ(carried[0].mailslot, "\\MAILSLOT\\MESSNGR");
    EXPECT_EQ(carried[0].deliveredTo, GetParam().reached);
    for (auto* channel : {&c1, &c2, &c3}) {
        MessageRecord r;
        platform::DatagramOrigin origin;
        if (channel->Receive(r, &origin) == MessageReceived) {
            EXPECT_EQ(r.BodyBytes(), datagram) << "the bytes travel as given";
            EXPECT_EQ(origin.sourceName, "PC1<00>");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, MailslotChannelSend,
                         ::testing::Values(Delivery{"PC2", 0x10, "PC2<00>", {"PC2"}},
                                           Delivery{"pc3", 0x10, "PC3<00>", {"PC3"}},
                                           Delivery{
                                               "WORKGROUP", 0x11, "WORKGROUP<00>", {"PC1", "PC2"}},
                                           Delivery{"othergrp", 0x11, "OTHERGRP<00>", {"PC3"}},
                                           Delivery{"*", 0x11, "WORKGROUP<00>", {"PC1", "PC2"}},
                                           Delivery{"NOBODY", 0x11, "NOBODY<00>", {}}));

TEST_F(MailslotChannelTest, SendWorksWithoutAnOpenChannel) {
    MailslotChannel receiver(*pc2);
    ASSERT_TRUE(receiver.Open());
    pc1->portTaken = true;
    MailslotChannel sender(*pc1);
    EXPECT_FALSE(sender.Open());
    sink.Take();
    EXPECT_TRUE(sender.Send("PC2", "A\0B\0c\0", 6));
    MessageRecord r;
    EXPECT_EQ(receiver.Receive(r), MessageReceived);
}

TEST_F(MailslotChannelTest, InvalidTargetsCannotBeOpened) {
    MailslotChannel sender(*pc1);
    for (const std::string& target :
         {std::string(), std::string("SIXTEEN-CHARS-XY"), std::string("A*B"), std::string("A\\B"),
          std::string("A/B"), std::string("A\x01"), std::string("a?b"), std::string("x|y")}) {
        EXPECT_FALSE(sender.Send(target, "A\0B\0c\0", 6)) << target;
        EXPECT_EQ(sink.Take(), std::vector<int>{kFailedCreateFileToWrite}) << target;
    }
    EXPECT_TRUE(net->Carried().empty());
}

TEST_F(MailslotChannelTest, WriteFailuresReportTheirTexts) {
    MailslotChannel sender(*pc1);
    const std::string datagram("PC1\0PC2\0hi\0", 11);

    pc1->noInterface = true;
    EXPECT_FALSE(sender.Send("PC2", datagram.data(), datagram.size()));
    EXPECT_EQ(sink.Take(), std::vector<int>{kFailedCreateFileToWrite});
    pc1->noInterface = false;

    pc1->writeFails = true;
    EXPECT_FALSE(sender.Send("PC2", datagram.data(), datagram.size()));
    EXPECT_EQ(sink.Take(), (std::vector<int>{kFailedSendToSlot, kNoRightSendLength}));
    pc1->writeFails = false;

    pc1->shortWriteBy = 3;
    EXPECT_FALSE(sender.Send("PC2", datagram.data(), datagram.size()));
    EXPECT_EQ(sink.Take(), std::vector<int>{kNoRightSendLength});
    pc1->shortWriteBy = 0;

    const std::string tooLong(425, 'x');
    EXPECT_FALSE(sender.Send("PC2", tooLong.data(), tooLong.size()));
    EXPECT_EQ(sink.Take(), (std::vector<int>{kFailedSendToSlot, kNoRightSendLength}));
    const std::string longest(424, 'x');
    EXPECT_TRUE(sender.Send("PC2", longest.data(), longest.size()));
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(MailslotChannelTest, CountersFollowTheQueue) {
    MailslotChannel channel(*pc2);
    ASSERT_TRUE(channel.Open());
    // One source: it keeps its share of the queue, the newest.
    for (int i = 0; i < 100; ++i)
        Arrive(*pc2, "A" + std::to_string(i));
    const platform::MailslotCounters counters = channel.Counters();
    EXPECT_EQ(counters.filed, 100u);
    EXPECT_EQ(counters.dropped, 36u);
    EXPECT_EQ(counters.waiting, 64u);
    MessageRecord r;
    ASSERT_EQ(channel.Receive(r), MessageReceived);
    EXPECT_EQ(r.BodyBytes(), "A36") << "the oldest were dropped";
    channel.Close();
    EXPECT_EQ(channel.Counters().filed, 0u);
}

} // namespace
} // namespace kestrola::core
