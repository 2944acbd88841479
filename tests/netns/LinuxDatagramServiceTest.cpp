// The Linux datagram service between two hosts of a namespace lab, in one process: each service
// is created inside its host's namespace, so its sockets live there.
#include "platform/linux/LinuxDatagramService.h"

#include "NetnsLab.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/NameServicePacket.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace kestrola::platform {
namespace {

using testing::NetnsLab;

class LinuxDatagramServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!NetnsLab::SkipReason().empty())
            return;
        s_lab = new NetnsLab();
        s_a = s_lab->AddHost(1);
        s_b = s_lab->AddHost(2);
        s_c = s_lab->AddHost(3);
    }
    static void TearDownTestSuite() {
        delete s_lab;
        s_lab = nullptr;
    }
    void SetUp() override {
        if (const std::string reason = NetnsLab::SkipReason(); !reason.empty())
            GTEST_SKIP() << reason;
    }

    // A service of host `ns` named `name` in `workgroup`, created inside the host. These tests
    // count datagrams exactly, so the service does not announce itself unless asked to.
    static std::unique_ptr<LinuxDatagramService> Service(const std::string& ns,
                                                         const std::string& name,
                                                         const std::string& workgroup,
                                                         bool announce = false) {
        return NetnsLab::In(ns, [&] {
            LinuxDatagramService::Config config;
            config.identity = {name, workgroup};
            std::vector<std::string> notes;
            config.interfaces = ListInterfaces("", notes);
            config.codePage = LinuxCodePage::Create(437);
            config.queryWait = std::chrono::milliseconds(100);
            config.announce = announce;
            // Binding happens with the first mailslot, so that comes here too, inside the host.
            return std::make_unique<LinuxDatagramService>(std::move(config));
        });
    }

    static MailslotResult Create(const std::string& ns, LinuxDatagramService& service,
                                 const std::string& path, std::unique_ptr<MailslotReader>& reader) {
        return NetnsLab::In(ns, [&] { return service.CreateMailslot(path, reader); });
    }

    // Waits (bounded) until `reader` has `count` messages waiting.
    static bool WaitFor(MailslotReader& reader, std::uint32_t count) {
        for (int i = 0; i < 200; ++i) {
            std::uint32_t size = 0;
            std::uint32_t waiting = 0;
            if (reader.GetInfo(size, waiting) && waiting >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    static std::string Take(MailslotReader& reader, DatagramOrigin* origin = nullptr) {
        std::string buffer(1024, '\0');
        std::size_t got = 0;
        EXPECT_TRUE(reader.Read(buffer.data(), buffer.size(), got, origin));
        buffer.resize(got);
        return buffer;
    }

    // Every write happens inside the sender's host, never in the machine's own network.
    static bool Write(const std::string& ns, LinuxDatagramService& service, const std::string& path,
                      const std::string& bytes) {
        std::size_t written = 0;
        const MailslotResult result =
            NetnsLab::In(ns, [&] { return service.WriteMailslot(path, bytes, written); });
        EXPECT_TRUE(result.ok()) << result.detail;
        return result.ok() && written == bytes.size();
    }

    static inline NetnsLab* s_lab = nullptr;
    static inline std::string s_a;
    static inline std::string s_b;
    static inline std::string s_c;
};

TEST_F(LinuxDatagramServiceTest, UnicastFromPort138AfterOneQueryThenFromTheCache) {
    auto a = Service(s_a, "HOSTA", "WORKGROUP");
    auto b = Service(s_b, "hostb", "WORKGROUP");
    std::unique_ptr<MailslotReader> atA, atB;
    ASSERT_TRUE(Create(s_a, *a, "\\\\.\\mailslot\\MESSNGR", atA).ok());
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", atB).ok());
    ASSERT_TRUE(a->Bound());

    ASSERT_TRUE(
        Write(s_a, *a, "\\\\HostB\\mailslot\\messngr", std::string("HOSTA\0HOSTB\0one\0", 16)));
    ASSERT_TRUE(
        Write(s_a, *a, "\\\\HOSTB\\mailslot\\messngr", std::string("HOSTA\0HOSTB\0two\0", 16)));
    ASSERT_TRUE(WaitFor(*atB, 2));
    DatagramOrigin origin;
    EXPECT_EQ(Take(*atB, &origin), std::string("HOSTA\0HOSTB\0one\0", 16));
    EXPECT_EQ(origin.sourceAddress, 0x0AD50001u);
    EXPECT_EQ(origin.sourcePort, 138) << "the service holds 138, so it sends from there";
    EXPECT_EQ(origin.destinationAddress, 0x0AD50002u);
    EXPECT_EQ(origin.type, netbios::kDirectUnique);
    EXPECT_EQ(origin.sourceName, "HOSTA<00>");
    EXPECT_EQ(origin.destinationName, "HOSTB<00>");
    EXPECT_EQ(Take(*atB), std::string("HOSTA\0HOSTB\0two\0", 16));
    EXPECT_EQ(b->Stats().queriesAnswered, 1u) << "the second send used the cached answer";
    std::uint32_t size = 0, waiting = 0;
    ASSERT_TRUE(atA->GetInfo(size, waiting));
    EXPECT_EQ(waiting, 0u) << "a unicast reaches the named computer only";
}

TEST_F(LinuxDatagramServiceTest, RefusesMalformedAndForeignDatagrams) {
    auto b = Service(s_b, "HOSTB", "WORKGROUP");
    std::unique_ptr<MailslotReader> atB;
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", atB).ok());
    netbios::MailslotDatagram d;
    d.source = {"HOSTA", 0};
    d.destination = {"HOSTB", 0};
    d.mailslot = "\\MAILSLOT\\MESSNGR";
    d.data = std::string("A\0B\0ok\0", 7);
    const std::string good = netbios::BuildMailslotDatagram(d);
    std::string fragment = good;
    fragment[1] = 0x03;
    netbios::MailslotDatagram other = d;
    other.destination = {"HOSTC", 0};
    netbios::MailslotDatagram suffix20 = d;
    suffix20.destination = {"HOSTB", 0x20};
    const std::vector<std::string> packets = {"garbage",
                                              fragment,
                                              netbios::BuildMailslotDatagram(other),
                                              netbios::BuildMailslotDatagram(suffix20),
                                              good.substr(0, good.size() - 1),
                                              good};
    NetnsLab::In(s_a, [&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(138);
        to.sin_addr.s_addr = htonl(0x0AD50002);
        for (const std::string& p : packets)
            ::sendto(fd, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(fd);
        return 0;
    });
    ASSERT_TRUE(WaitFor(*atB, 1));
    for (int i = 0; i < 100 && b->Stats().datagrams < packets.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const LinuxDatagramService::Statistics stats = b->Stats();
    EXPECT_EQ(stats.datagrams, packets.size());
    EXPECT_EQ(stats.refused, 3u);
    EXPECT_EQ(stats.notForUs, 2u);
    EXPECT_EQ(Take(*atB), std::string("A\0B\0ok\0", 7));
    EXPECT_EQ(atB->Counters().filed, 1u);
}

// A UDP datagram with a source address and port of our choosing, as a forger sends it.
void SendForged(std::uint32_t source, std::uint16_t sourcePort, std::uint32_t destination,
                std::uint16_t port, const std::string& payload) {
    std::string packet(28, '\0');
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        packet[at] = static_cast<char>(v >> 8);
        packet[at + 1] = static_cast<char>(v);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, static_cast<std::uint16_t>(v >> 16));
        put16(at + 2, static_cast<std::uint16_t>(v));
    };
    // IPv4, 20 bytes of header; the kernel fills length, id and checksum (and a source of
    // 0.0.0.0, so that one cannot be forged here).
    packet[0] = 0x45;
    packet[8] = 64;
    packet[9] = IPPROTO_UDP;
    put32(12, source);
    put32(16, destination);
    put16(20, sourcePort);
    put16(22, port);
    put16(24, static_cast<std::uint16_t>(8 + payload.size())); // checksum 0: none
    packet += payload;
    const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    ASSERT_GE(fd, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    EXPECT_EQ(
        ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
        static_cast<ssize_t>(packet.size()));
    ::close(fd);
}

TEST_F(LinuxDatagramServiceTest, NoAnswerToAForgedSource) {
    auto b = Service(s_b, "HOSTB", "WORKGROUP");
    std::unique_ptr<MailslotReader> atB;
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", atB).ok());
    const std::string query = netbios::BuildNameQuery(0x4242, {"HOSTB", 0}, true);
    struct Case {
        std::uint32_t source, destination;
        std::uint16_t port;
        bool answered;
    };
    // Host A listens on UDP 137 and hears whatever B answers, to it or as a broadcast.
    const Case cases[] = {
        {0x0AD500FF, 0x0AD50002, 137, false}, // the subnet's broadcast address
        {0x0AD50001, 0x0AD50002, 0, false},   // port 0
        {0x0AD50001, 0x0AD50002, 137, true}   // host A itself
    };
    std::uint64_t answered = 0;
    for (const Case& c : cases) {
        const int heard = NetnsLab::In(s_a, [&] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in at{};
            at.sin_family = AF_INET;
            at.sin_port = htons(137);
            EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
            SendForged(c.source, c.port, c.destination, 137, query);
            timeval wait{0, 300'000};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char buffer[512];
            int count = 0; // responses; B's own start-up broadcasts are requests
            while (::recv(fd, buffer, sizeof buffer, 0) > 2)
                count += (buffer[2] & 0x80) != 0;
            ::close(fd);
            return count;
        });
        EXPECT_EQ(heard, c.answered ? 1 : 0) << std::hex << c.source << " port " << c.port;
        answered += c.answered;
    }
    EXPECT_EQ(b->Stats().queriesAnswered, answered);
    EXPECT_EQ(b->Stats().forgedSources, std::size(cases) - answered);
}

TEST_F(LinuxDatagramServiceTest, TwoHostsWithOneNameAreToldAndASendSaysSo) {
    auto b = Service(s_b, "HOSTB", "WORKGROUP");
    std::unique_ptr<MailslotReader> atB, atC;
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", atB).ok());
    // C comes second with the same name: B refuses C's claim, and C hears B answer for it.
    auto c = Service(s_c, "hostb", "WORKGROUP");
    ASSERT_TRUE(Create(s_c, *c, "\\\\.\\mailslot\\MESSNGR", atC).ok());
    const std::pair<LinuxDatagramService*, std::string> told[] = {{b.get(), "10.213.0.3"},
                                                                  {c.get(), "10.213.0.2"}};
    for (const auto& [service, other] : told) {
        std::vector<std::string> notices;
        for (int i = 0; i < 100 && notices.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            notices = service->TakeNotices();
        }
        ASSERT_EQ(notices.size(), 1u) << other;
        EXPECT_NE(notices[0].find("(" + other + ") uses the name"), std::string::npos)
            << notices[0];
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(b->TakeNotices().empty()) << "told once";
    EXPECT_TRUE(c->TakeNotices().empty()) << "told once";

    auto a = Service(s_a, "HOSTA", "WORKGROUP");
    std::size_t written = 0;
    const MailslotResult sent = NetnsLab::In(
        s_a, [&] { return a->WriteMailslot("\\\\HOSTB\\mailslot\\messngr", "x", written); });
    ASSERT_TRUE(sent.ok()) << sent.detail;
    EXPECT_NE(sent.detail.find("two computers answer for HOSTB"), std::string::npos) << sent.detail;
}

TEST_F(LinuxDatagramServiceTest, GroupsGoAsBroadcastsFromAnEphemeralPortWithoutThePorts) {
    auto a = Service(s_a, "HOSTA", "WORKGROUP");
    auto b = Service(s_b, "HOSTB", "SALES");
    std::unique_ptr<MailslotReader> atB;
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", atB).ok());
    ASSERT_FALSE(a->Bound());
    // Asked for, answered as a group: broadcast.
    ASSERT_TRUE(Write(s_a, *a, "\\\\sales\\mailslot\\messngr", std::string("A\0SALES\0one\0", 12)));
    auto a2 = Service(s_a, "HOSTA", "WORKGROUP");
    a2->AddKnownGroup("Sales");
    // Known as a group: no question asked.
    ASSERT_TRUE(
        Write(s_a, *a2, "\\\\SALES\\mailslot\\messngr", std::string("A\0SALES\0two\0", 12)));
    ASSERT_TRUE(WaitFor(*atB, 2));
    EXPECT_EQ(b->Stats().queriesAnswered, 1u);
    for (int i = 0; i < 2; ++i) {
        DatagramOrigin origin;
        Take(*atB, &origin);
        EXPECT_EQ(origin.type, netbios::kDirectGroup);
        EXPECT_EQ(origin.destinationAddress, 0x0AD500FFu);
        EXPECT_NE(origin.sourcePort, 138);
        EXPECT_NE(origin.sourcePort, 0);
    }
}

TEST_F(LinuxDatagramServiceTest, OneOwnerOfThePortsPerNetwork) {
    auto b = Service(s_b, "HOSTB", "WORKGROUP");
    std::unique_ptr<MailslotReader> first, second;
    ASSERT_TRUE(Create(s_b, *b, "\\\\.\\mailslot\\MESSNGR", first).ok());
    auto rival = Service(s_b, "HOSTB", "WORKGROUP");
    const MailslotResult taken = Create(s_b, *rival, "\\\\.\\mailslot\\MESSNGR", second);
    EXPECT_EQ(taken.status, MailslotStatus::NameTaken);
    EXPECT_NE(taken.detail.find("UDP port 138"), std::string::npos) << taken.detail;
    first.reset();
    b.reset(); // the ports go with the service
    EXPECT_TRUE(Create(s_b, *rival, "\\\\.\\mailslot\\MESSNGR", second).ok());
}

TEST_F(LinuxDatagramServiceTest, BesideTheHolderOfThePortsItReceivesCopiesAndAnswersNothing) {
    auto a = Service(s_a, "HOSTA", "WORKGROUP");
    auto holder = Service(s_b, "HOSTB", "WORKGROUP");
    auto beside = Service(s_b, "HOSTB", "WORKGROUP", /*announce=*/true);
    std::unique_ptr<MailslotReader> held, copies;
    ASSERT_TRUE(Create(s_b, *holder, "\\\\.\\mailslot\\MESSNGR", held).ok());
    const MailslotResult reserved = NetnsLab::In(s_b, [&] { return beside->Reserve(); });
    ASSERT_TRUE(reserved.ok()) << reserved.detail;
    ASSERT_TRUE(beside->Beside());
    ASSERT_TRUE(Create(s_b, *beside, "\\\\.\\mailslot\\MESSNGR", copies).ok());

    std::vector<ResolvedName> answers;
    ASSERT_TRUE(NetnsLab::In(s_a, [&] { return a->ResolveName("HOSTB", 0, answers); }).ok());
    EXPECT_EQ(answers.size(), 1u) << "only the holder of the ports answers";
    ASSERT_TRUE(Write(s_a, *a, "\\\\HOSTB\\mailslot\\messngr", "unicast"));
    ASSERT_TRUE(Write(s_a, *a, "\\\\WORKGROUP\\mailslot\\messngr", "group"));
    ASSERT_TRUE(WaitFor(*held, 2));
    ASSERT_TRUE(WaitFor(*copies, 2));
    DatagramOrigin origin;
    EXPECT_EQ(Take(*copies, &origin), "unicast");
    EXPECT_EQ(origin.sourceAddress, a->Interfaces().at(0).address);
    EXPECT_EQ(origin.destinationAddress, beside->Interfaces().at(0).address);
    EXPECT_EQ(origin.type, netbios::kDirectUnique);
    EXPECT_EQ(Take(*copies, &origin), "group");
    EXPECT_EQ(origin.destinationAddress, beside->Interfaces().at(0).broadcast);
    const LinuxDatagramService::Statistics stats = beside->Stats();
    EXPECT_EQ(stats.announcementsSent, 0u);
    EXPECT_EQ(stats.rawTaken, 2u);
}

} // namespace
} // namespace kestrola::platform
