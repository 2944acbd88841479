// The browse list of the Linux datagram service between hosts of a namespace lab, in one process
// (browse_netns.py runs whole programs). Every service is created, bound and used inside its
// host's namespace; its sockets (and so its broadcasts) never leave the lab.
#include "NetnsLab.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxDatagramService.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/netbios/BrowserFrame.h"
#include "platform/netbios/DatagramPacket.h"

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrola::platform {
namespace {

using namespace std::chrono_literals;
using testing::NetnsLab;
namespace nb = netbios;

class BrowseServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!NetnsLab::SkipReason().empty())
            return;
        s_lab = new NetnsLab();
        for (int host = 1; host <= 3; ++host)
            s_ns.push_back(s_lab->AddHost(host));
    }
    static void TearDownTestSuite() {
        delete s_lab;
        s_lab = nullptr;
        s_ns.clear();
    }
    void SetUp() override {
        if (const std::string reason = NetnsLab::SkipReason(); !reason.empty())
            GTEST_SKIP() << reason;
    }
    void TearDown() override {
        // Services go inside their hosts, so that even their last announcement stays there.
        for (auto& [host, service] : m_services)
            NetnsLab::In(s_ns[host - 1], [&] {
                service.reset();
                return 0;
            });
    }

    // The service of host `host` (1 to 3), created and bound inside it.
    std::shared_ptr<LinuxDatagramService>
    Start(int host, const std::string& name, const std::string& workgroup, bool announce = true) {
        auto service = NetnsLab::In(s_ns[host - 1], [&] {
            LinuxDatagramService::Config config;
            config.identity = {name, workgroup};
            std::vector<std::string> notes;
            config.interfaces = ListInterfaces("", notes);
            config.codePage = LinuxCodePage::Create(437);
            config.announce = announce;
            auto created = std::make_shared<LinuxDatagramService>(std::move(config));
            const MailslotResult bound = created->Listen();
            EXPECT_TRUE(bound.ok()) << bound.detail;
            return created;
        });
        m_services.emplace_back(host, service);
        return service;
    }

    // "GROUP: PC1 PC2" per workgroup of the service's list.
    static std::vector<std::string> Listed(LinuxDatagramService& service) {
        std::vector<std::string> out;
        for (const BrowseWorkgroup& group : service.BrowseSnapshot()) {
            std::string line = group.name + ":";
            for (const BrowseComputer& computer : group.computers)
                line += " " + computer.name;
            out.push_back(line);
        }
        return out;
    }

    // Waits (bounded) until the service lists exactly `expected`.
    static bool WaitForList(LinuxDatagramService& service, const std::vector<std::string>& expected,
                            std::chrono::milliseconds limit = 3s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Listed(service) == expected)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return Listed(service) == expected;
    }

    // Sends raw UDP payloads from inside host `host` to 10.213.0.`to`:138.
    static void SendRaw(int host, int to, const std::vector<std::string>& packets) {
        NetnsLab::In(s_ns[host - 1], [&] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(138);
            address.sin_addr.s_addr = htonl(0x0AD50000u | static_cast<std::uint32_t>(to));
            for (const std::string& p : packets)
                ::sendto(fd, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&address),
                         sizeof address);
            ::close(fd);
            return 0;
        });
    }

    static inline NetnsLab* s_lab = nullptr;
    static inline std::vector<std::string> s_ns;
    std::vector<std::pair<int, std::shared_ptr<LinuxDatagramService>>> m_services;
};

std::string Datagram(const nb::NetbiosName& destination, std::string_view mailslot,
                     const std::string& data, const std::string& source = "SENDER") {
    nb::MailslotDatagram d;
    d.type = nb::kDirectGroup;
    d.sourceIp = 0x0AD50001;
    d.source = {source, 0};
    d.destination = destination;
    d.mailslot = std::string(mailslot);
    d.data = data;
    return nb::BuildMailslotDatagram(d);
}

std::string Announce(std::uint8_t opcode, const std::string& name, const std::string& comment = "",
                     std::uint32_t type = nb::kServerTypeWorkstation) {
    nb::Announcement a;
    a.opcode = opcode;
    a.periodicityMs = 720000;
    a.name = name;
    a.comment = comment;
    a.serverType = type;
    return nb::BuildAnnouncement(a);
}

TEST_F(BrowseServiceTest, FramesOfOtherBrowsersAsTheyArrive) {
    auto b = Start(2, "HOSTB", "WORKGROUP", false);
    const nb::NetbiosName msBrowse{std::string(nb::kMsBrowseName), nb::kMsBrowseSuffix};
    std::string lanman("\x01\x00\x03\x0a\x00\x00\x04\x00\xd0\x02OLDHOST\0OS/2\0", 23);
    std::string malformed = Announce(nb::kHostAnnouncement, "CUTSHORT").substr(0, 20);
    SendRaw(1, 2,
            {Datagram({"SALES", 0x1E}, nb::kBrowseMailslot,
                      Announce(nb::kLocalMasterAnnouncement, "MASTERPC", "the master")),
             Datagram({"SALES", 0x1D}, nb::kBrowseMailslot,
                      Announce(nb::kLocalMasterAnnouncement, "WRONGSFX")),
             Datagram(msBrowse, nb::kBrowseMailslot,
                      Announce(nb::kDomainAnnouncement, "FARAWAY", "FARMASTER", 0x80001000)),
             Datagram({"WORKGROUP", 0}, nb::kBrowseMailslot,
                      Announce(nb::kDomainAnnouncement, "NOTMSBROWSE")),
             Datagram({"WORKGROUP", 0}, nb::kLanmanMailslot, lanman),
             Datagram({"WORKGROUP", 0x1D}, nb::kBrowseMailslot, malformed),
             Datagram({"*", 0x1D}, nb::kBrowseMailslot, Announce(nb::kHostAnnouncement, "STAR")),
             Datagram({"WORKGROUP", 0x1D}, "\\MAILSLOT\\NETLOGON",
                      Announce(nb::kHostAnnouncement, "NETLOGON")),
             Datagram({"WORKGROUP", 0x1D}, nb::kBrowseMailslot,
                      Announce(nb::kHostAnnouncement, "\x8e-PC", "k\x94rner"))});
    ASSERT_TRUE(WaitForList(*b, {"FARAWAY:", "SALES: MASTERPC", "WORKGROUP: OLDHOST Ä-PC"}));
    const std::vector<BrowseWorkgroup> groups = b->BrowseSnapshot();
    EXPECT_EQ(groups[0].master, "FARMASTER");
    EXPECT_EQ(groups[1].computers[0].comment, "the master");
    EXPECT_EQ(groups[2].computers[0].comment, "OS/2");
    EXPECT_EQ(groups[2].computers[1].comment, "körner");
    EXPECT_EQ(groups[2].computers[1].address, 0x0AD50001u);
    EXPECT_EQ(b->Stats().browserFrames, 4u);
}

TEST_F(BrowseServiceTest, AServiceNeverBindsOutsideItsOwnNetwork) {
    auto service = NetnsLab::In(s_ns[0], [&] {
        LinuxDatagramService::Config config;
        config.identity = {"HOSTA", "WORKGROUP"};
        std::vector<std::string> notes;
        config.interfaces = ListInterfaces("", notes);
        config.codePage = LinuxCodePage::Create(437);
        return std::make_shared<LinuxDatagramService>(std::move(config));
    });
    m_services.emplace_back(1, service);
    // Called from another host's network, binding is refused before any socket is made.
    const MailslotResult elsewhere = NetnsLab::In(s_ns[1], [&] { return service->Listen(); });
    EXPECT_EQ(elsewhere.status, MailslotStatus::Failed);
    EXPECT_NE(elsewhere.detail.find("another network namespace"), std::string::npos)
        << elsewhere.detail;
    EXPECT_FALSE(service->Bound());
    const MailslotResult home = NetnsLab::In(s_ns[0], [&] { return service->Listen(); });
    EXPECT_TRUE(home.ok()) << home.detail;
}

} // namespace
} // namespace kestrola::platform
