// The Linux transport between two hosts of a namespace lab (needs root), against bare UDP
// between the same hosts in the same run:
//  - latency: from a write returning (the name already cached) to the datagram waiting in the
//    receiver's mailslot queue, against sendto returning to recv in a thread of the receiver;
//  - receive rate: datagrams per second the receive thread files, all threads on one core,
//    against a bare receive loop on the same core.
// Prints the medians and the ratios.
#include "NetnsLab.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/linux/LinuxDatagramService.h"
#include "platform/linux/LinuxNetbiosIdentity.h"
#include "platform/netbios/DatagramPacket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kestrola;
using platform::LinuxDatagramService;
using testing::NetnsLab;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kDatagram("HOSTA\0HOSTB\0a message of ordinary length for the benchmark\0", 58);
constexpr std::uint32_t kHostB = 0x0AD50002;
constexpr std::uint16_t kBarePort = 11138;
constexpr int kLatencyRounds = 2000;
constexpr int kFloodCount = 20000;

struct Lab {
    NetnsLab lab;
    std::string a = lab.AddHost(1);
    std::string b = lab.AddHost(2);
    std::unique_ptr<LinuxDatagramService> serviceA = Service(a, "HOSTA");
    std::unique_ptr<LinuxDatagramService> serviceB = Service(b, "HOSTB");
    std::unique_ptr<platform::MailslotReader> atA, atB;

    static std::unique_ptr<LinuxDatagramService> Service(const std::string& ns,
                                                         const std::string& name) {
        return NetnsLab::In(ns, [&] {
            LinuxDatagramService::Config config;
            config.identity = {name, "WORKGROUP"};
            std::vector<std::string> notes;
            config.interfaces = platform::ListInterfaces("", notes);
            config.codePage = platform::LinuxCodePage::Create(437);
            config.announce = false; // only the measured datagrams on the wire
            return std::make_unique<LinuxDatagramService>(std::move(config));
        });
    }
};

Lab* g_lab = nullptr;
std::unique_ptr<Lab> g_pinnedLab;
std::unique_ptr<Lab> g_latencyLab;
std::vector<double> g_oursUs, g_bareUs;         // from the write returning
std::vector<double> g_oursCallUs, g_bareCallUs; // from the write being called
double g_oursRate = 0, g_bareRate = 0;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int UdpSocket(const std::string& ns, std::uint16_t port) {
    return NetnsLab::In(ns, [&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        if (port != 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            std::perror("bind");
        return fd;
    });
}

sockaddr_in To(std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(kHostB);
    return to;
}

bool WaitingInB() {
    std::uint32_t size = 0, count = 0;
    return g_lab->atB->GetInfo(size, count) && count > 0;
}

void TakeFromB() {
    char buffer[1024];
    std::size_t got = 0;
    g_lab->atB->Read(buffer, sizeof buffer, got, nullptr);
}

void BM_MailslotWrite_ReturnToQueue(benchmark::State& state) {
    const std::string path = "\\\\HOSTB\\mailslot\\messngr";
    for (auto _ : state) {
        std::size_t written = 0;
        const auto called = Clock::now();
        g_lab->serviceA->WriteMailslot(path, kDatagram, written);
        const auto returned = Clock::now();
        const auto limit = returned + std::chrono::seconds(1);
        while (!WaitingInB() && Clock::now() < limit) {
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - returned).count();
        if (!WaitingInB()) {
            state.SkipWithError("a datagram did not arrive");
            break;
        }
        TakeFromB();
        g_oursUs.push_back(seconds * 1e6);
        g_oursCallUs.push_back(
            seconds * 1e6 + std::chrono::duration<double, std::micro>(returned - called).count());
        state.SetIterationTime(seconds);
    }
}

void BM_BareUdp_ReturnToRecv(benchmark::State& state) {
    const int in = UdpSocket(g_lab->b, kBarePort);
    const int out = UdpSocket(g_lab->a, 0);
    const std::string packet = [] {
        platform::netbios::MailslotDatagram d;
        d.source = {"HOSTA", 0};
        d.destination = {"HOSTB", 0};
        d.mailslot = "\\MAILSLOT\\MESSNGR";
        d.data = kDatagram;
        return platform::netbios::BuildMailslotDatagram(d);
    }();
    std::atomic<int> received{0};
    std::thread receiver([&] {
        char buffer[2048];
        while (::recv(in, buffer, sizeof buffer, 0) > 0 && buffer[0] != 'q')
            received.fetch_add(1);
    });
    const sockaddr_in to = To(kBarePort);
    for (auto _ : state) {
        const int before = received.load();
        const auto called = Clock::now();
        ::sendto(out, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        const auto returned = Clock::now();
        const auto limit = returned + std::chrono::seconds(1);
        while (received.load() == before && Clock::now() < limit) {
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - returned).count();
        g_bareUs.push_back(seconds * 1e6);
        g_bareCallUs.push_back(
            seconds * 1e6 + std::chrono::duration<double, std::micro>(returned - called).count());
        state.SetIterationTime(seconds);
    }
    ::sendto(out, "q", 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    receiver.join();
    ::close(in);
    ::close(out);
}

// Sends `count` packets as fast as one thread can; the caller measures the receiving side.
void Flood(const std::string& packet, std::uint16_t port) {
    const int out = UdpSocket(g_lab->a, 0);
    const sockaddr_in to = To(port);
    for (int i = 0; i < kFloodCount; ++i)
        ::sendto(out, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    ::close(out);
}

// Waits until `count()` stops growing for 200 ms; returns datagrams per second between the
// start and the last growth.
template <class Count> double RateUntilQuiet(Clock::time_point start, Count count) {
    std::uint64_t last = count();
    auto lastChange = Clock::now();
    while (Clock::now() - lastChange < std::chrono::milliseconds(200)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const std::uint64_t now = count();
        if (now != last) {
            last = now;
            lastChange = Clock::now();
        }
    }
    return last / std::chrono::duration<double>(lastChange - start).count();
}

void PinToOneCore() {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof one, &one);
}

// The receive rate is measured on one core: sender, receive thread and reader share it. The
// lab is built anew after pinning, so that every thread starts on that core.
void UsePinnedLab() {
    if (g_pinnedLab)
        return;
    g_lab = nullptr;
    g_latencyLab.reset(); // both labs share the namespace names
    PinToOneCore();
    g_pinnedLab = std::make_unique<Lab>();
    Lab& lab = *g_pinnedLab;
    NetnsLab::In(lab.b,
                 [&] { return lab.serviceB->CreateMailslot("\\\\.\\mailslot\\MESSNGR", lab.atB); });
    g_lab = &lab;
}

void BM_ReceiveThread_FilesPerSecond(benchmark::State& state) {
    UsePinnedLab();
    platform::netbios::MailslotDatagram d;
    d.source = {"HOSTA", 0};
    d.destination = {"HOSTB", 0};
    d.mailslot = "\\MAILSLOT\\MESSNGR";
    d.data = kDatagram;
    const std::string packet = platform::netbios::BuildMailslotDatagram(d);
    for (auto _ : state) {
        const std::uint64_t before = g_lab->atB->Counters().filed;
        const auto start = Clock::now();
        std::thread sender([&] { Flood(packet, 138); });
        g_oursRate = RateUntilQuiet(start, [&] { return g_lab->atB->Counters().filed - before; });
        sender.join();
        state.counters["datagrams_per_second"] = g_oursRate;
    }
}

void BM_BareUdp_ReceivesPerSecond(benchmark::State& state) {
    UsePinnedLab();
    const std::string packet(200, 'x');
    for (auto _ : state) {
        const int in = UdpSocket(g_lab->b, kBarePort + 1);
        std::atomic<std::uint64_t> received{0};
        std::atomic<bool> stop{false};
        std::thread receiver([&] {
            char buffer[65536];
            while (!stop.load()) {
                if (::recv(in, buffer, sizeof buffer, MSG_DONTWAIT) > 0)
                    received.fetch_add(1);
                else
                    std::this_thread::yield();
            }
        });
        const auto start = Clock::now();
        std::thread sender([&] { Flood(packet, kBarePort + 1); });
        g_bareRate = RateUntilQuiet(start, [&] { return received.load(); });
        sender.join();
        stop = true;
        receiver.join();
        ::close(in);
        state.counters["datagrams_per_second"] = g_bareRate;
    }
}

BENCHMARK(BM_BareUdp_ReturnToRecv)
    ->UseManualTime()
    ->Iterations(kLatencyRounds)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MailslotWrite_ReturnToQueue)
    ->UseManualTime()
    ->Iterations(kLatencyRounds)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareUdp_ReceivesPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiveThread_FilesPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (const std::string reason = NetnsLab::SkipReason(); !reason.empty()) {
        std::printf("transport benchmark skipped: %s\n", reason.c_str());
        return 0;
    }
    {
        auto lab = std::make_unique<Lab>();
        g_lab = lab.get();
        NetnsLab::In(lab->a, [&] {
            return lab->serviceA->CreateMailslot("\\\\.\\mailslot\\MESSNGR", lab->atA);
        });
        NetnsLab::In(lab->b, [&] {
            return lab->serviceB->CreateMailslot("\\\\.\\mailslot\\MESSNGR", lab->atB);
        });
        // The first write asks for the name; every measured one finds it in the cache.
        std::size_t written = 0;
        lab->serviceA->WriteMailslot("\\\\HOSTB\\mailslot\\messngr", kDatagram, written);
        for (int i = 0; i < 100 && !WaitingInB(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        TakeFromB();
        // The latency lab lives until the rate benchmarks replace it with the pinned one.
        g_latencyLab = std::move(lab);
    }
    benchmark::RunSpecifiedBenchmarks();
    g_lab = nullptr;
    g_pinnedLab.reset();
    g_latencyLab.reset();

    auto line = [](const char* what, const std::vector<double>& ours,
                   const std::vector<double>& bare) {
        const double o = Median(ours), b = Median(bare);
        std::printf("%-44s ours %7.2f us, bare UDP %7.2f us, ratio %.2fx\n", what, o, b,
                    b > 0 ? o / b : 0);
    };
    std::printf("\nmedian latency to the datagram waiting at the receiver (name cached):\n");
    line("from the write returning:", g_oursUs, g_bareUs);
    line("from the write being called:", g_oursCallUs, g_bareCallUs);
    std::printf("receive rate on one core: ours %.0f/s, bare UDP %.0f/s, ratio %.2fx\n", g_oursRate,
                g_bareRate, g_bareRate > 0 ? g_oursRate / g_bareRate : 0);
    benchmark::Shutdown();
    return 0;
}
