// kestrola-cli send, listen and names: the messenger's transport from the command line, for
// scripts (alerts from servers) and as a real peer in tests.

#include "CliOutput.h"
#include "Commands.h"
#include "messaging/DatagramCodec.h"
#include "messaging/MailslotChannel.h"
#include "platform/Platform.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace kestrola::cli {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && value >= 0;
}

std::string TypeName(std::uint8_t type) {
    switch (type) {
    case 0x10:
        return "DIRECT_UNIQUE";
    case 0x11:
        return "DIRECT_GROUP";
    case 0x12:
        return "BROADCAST";
    default:
        return "0x" + Hex(std::string(1, static_cast<char>(type)));
    }
}

// Peak resident memory of this process, from the kernel's own accounting.
long PeakMemoryKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

constexpr int kMaxRepeat = 1000;

// Bytes from hexadecimal digits (blanks allowed between them); nothing for anything else.
std::optional<std::string> FromHex(const std::string& digits) {
    std::string bytes;
    int high = -1;
    for (const char c : digits) {
        if (c == ' ')
            continue;
        int value = -1;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            value = (c | 0x20) - 'a' + 10;
        if (value < 0)
            return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            bytes += static_cast<char>(high << 4 | value);
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

std::string WithLineFeeds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

} // namespace

std::shared_ptr<platform::Mailslots> TakeListeningMailslots() {
    std::vector<std::string> notes;
    auto mailslots = platform::CreateListeningMailslots(notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    return mailslots;
}

int RunSendCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    const bool parsed = ParseArguments(argc, argv, {"from", "hex", "repeat"}, args, error);
    std::optional<std::string> raw;
    if (parsed && args.Has("hex")) {
        raw = FromHex(args.Option("hex"));
        if (!raw || raw->empty())
            error = "--hex takes an even number of hexadecimal digits";
    }
    const int repeat = parsed ? std::atoi(args.Option("repeat", "1").c_str()) : 0;
    if (parsed && error.empty() && (repeat < 1 || repeat > kMaxRepeat))
        error = "--repeat takes a number from 1 to " + std::to_string(kMaxRepeat);
    const std::size_t words = raw ? 1 : 2;
    if (!parsed || !error.empty() || args.words.size() < words || (raw && args.words.size() > 1)) {
        std::fprintf(stderr,
                     "%s\nusage: kestrola-cli send [--from NAME] [--repeat N] TARGET TEXT...\n"
                     "       kestrola-cli send --hex BYTES [--repeat N] TARGET\n",
                     error.empty() ? "kestrola-cli send: a target and a text are needed"
                                   : ("kestrola-cli send: " + error).c_str());
        return 2;
    }
    const auto codePage = platform::CreateCodePage();
    const auto mailslots = platform::CreateMailslots();
    const std::string from = args.Option("from", mailslots->Identity().computerName);
    const std::string& target = args.words[0];
    std::string text;
    for (std::size_t i = 1; i < args.words.size(); ++i)
        text += (i > 1 ? " " : "") + args.words[i];
    core::MailslotChannel channel(*mailslots);
    bool sent = true;
    // Repeated datagrams go out back to back; each text carries its number.
    for (int i = 1; i <= repeat; ++i) {
        const std::string datagram =
            raw ? *raw
                : core::EncodeDatagram(*codePage, from, target,
                                       repeat > 1 ? text + " " + std::to_string(i) : text);
        sent = channel.Send(target, datagram.data(), datagram.size()) && sent;
    }
    return sent ? 0 : 1;
}

int RunListenCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"count", "timeout", "format", "hold"}, args, error) ||
        !args.words.empty()) {
        std::fprintf(stderr,
                     "%s\nusage: kestrola-cli listen [--count N] [--timeout S] "
                     "[--format text|json|hex] [--hold S] [--stats]\n",
                     error.empty() ? "kestrola-cli listen: unexpected words"
                                   : ("kestrola-cli listen: " + error).c_str());
        return 2;
    }
    double count = 0;
    double timeout = 0;
    double hold = 0;
    const std::string format = args.Option("format", "text");
    if (!ParseNumber(args.Option("count", "0"), count) ||
        !ParseNumber(args.Option("timeout", "0"), timeout) ||
        !ParseNumber(args.Option("hold", "0"), hold) ||
        (format != "text" && format != "json" && format != "hex")) {
        std::fprintf(stderr, "kestrola-cli listen: --count, --timeout and --hold take a number, "
                             "--format text, json or hex\n");
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    const auto mailslots = TakeListeningMailslots();
    const auto codePage = platform::CreateCodePage();
    core::MailslotChannel channel(*mailslots);
    if (!channel.Open())
        return 1;
    const platform::NetbiosIdentity us = mailslots->Identity();
    const long memoryAtOpen = PeakMemoryKb();
    std::fprintf(stderr, "listening on %s as %s in %s\n", core::kLocalMailslot,
                 us.computerName.c_str(), us.workgroup.c_str());
    std::fflush(stderr);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    // With --hold nothing is read for a while, so that the queue fills as behind a busy window.
    while (g_stop == 0 && elapsed() < hold)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    std::uint64_t received = 0;
    core::MessageRecord record;
    // Drops are told once per episode, looked for on a tick like the program's.
    std::map<std::uint32_t, std::uint64_t> dropsBySource;
    auto tellDrops = [&](const std::vector<platform::SourceDrops>& drops) {
        if (drops.empty())
            return;
        std::fprintf(stderr, "kestrola-cli listen: %s\n", core::DropEpisodeText(drops).c_str());
        std::fflush(stderr);
        for (const platform::SourceDrops& d : drops)
            dropsBySource[d.address] += d.dropped;
    };
    auto nextLook = Clock::now();
    while (g_stop == 0 && (count == 0 || received < count) &&
           (timeout == 0 || elapsed() < timeout + hold)) {
        if (Clock::now() >= nextLook) {
            tellDrops(channel.TakeDropEpisode());
            nextLook = Clock::now() + std::chrono::milliseconds(500);
        }
        platform::DatagramOrigin origin;
        std::string whole;
        const core::ReceiveResult result = channel.Receive(record, &origin, &whole);
        if (result == core::ReceiveFailed)
            return 1;
        if (result == core::NothingReceived && origin.sourceAddress == 0 && whole.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        ++received;
        // Dropped by the receive rule (empty, or an empty sender) yet still shown here.
        const bool dropped = result != core::MessageReceived;
        core::DecodeDatagram(*codePage, record);
        // Names travel in OEM bytes; shown, they are text of this system like the message.
        const std::string sourceName = codePage->OemToAnsi(origin.sourceName);
        const std::string destinationName = codePage->OemToAnsi(origin.destinationName);
        const std::string mailslot = codePage->OemToAnsi(origin.mailslot);
        if (format == "hex") {
            std::printf("%s\n", Hex(whole).c_str());
        } else if (format == "json") {
            std::printf(
                "{\"number\": %llu, \"source\": \"%s\", \"sourcePort\": %u, \"destination\": "
                "\"%s\", \"type\": %u, \"sourceName\": %s, \"destinationName\": %s, "
                "\"mailslot\": %s, \"length\": %zu, \"dropped\": %s, \"from\": %s, \"to\": %s, "
                "\"text\": %s, \"bytes\": \"%s\"}\n",
                static_cast<unsigned long long>(received),
                platform::AddressText(origin.sourceAddress).c_str(), origin.sourcePort,
                platform::AddressText(origin.destinationAddress).c_str(), origin.type,
                JsonString(sourceName).c_str(), JsonString(destinationName).c_str(),
                JsonString(mailslot).c_str(), origin.length, dropped ? "true" : "false",
                JsonString(record.from).c_str(), JsonString(record.to).c_str(),
                JsonString(record.text).c_str(), Hex(whole).c_str());
        } else {
            std::printf("#%llu %s:%u %s -> %s %s to %s, %zu bytes%s\nFrom: %s\nTo:   %s\n%s\n\n",
                        static_cast<unsigned long long>(received),
                        platform::AddressText(origin.sourceAddress).c_str(), origin.sourcePort,
                        Printable(sourceName).c_str(), Printable(destinationName).c_str(),
                        TypeName(origin.type).c_str(),
                        platform::AddressText(origin.destinationAddress).c_str(), origin.length,
                        dropped ? " (dropped: empty sender)" : "", Printable(record.from).c_str(),
                        Printable(record.to).c_str(),
                        Printable(WithLineFeeds(record.text), true).c_str());
        }
        std::fflush(stdout);
    }
    // An episode still going on ends here: the second look finds no drop since the first.
    for (int look = 0; look < 2; ++look)
        tellDrops(channel.TakeDropEpisode());
    if (args.Has("stats")) {
        const platform::MailslotCounters counters = channel.Counters();
        const platform::ReceivePath path = mailslots->Receiving();
        std::string bySource;
        for (const auto& [address, dropped] : dropsBySource)
            bySource += (bySource.empty() ? "" : ", ") +
                        JsonString(address == 0 ? "others" : platform::AddressText(address)) +
                        ": " + std::to_string(dropped);
        std::fprintf(stderr,
                     "{\"received\": %llu, \"filed\": %llu, \"dropped\": %llu, \"waiting\": %u, "
                     "\"droppedBySource\": {%s}, \"peakMemoryKbAtOpen\": %ld, "
                     "\"peakMemoryKb\": %ld, \"beside\": %s, \"rawRead\": %llu, "
                     "\"rawTaken\": %llu}\n",
                     static_cast<unsigned long long>(received),
                     static_cast<unsigned long long>(counters.filed),
                     static_cast<unsigned long long>(counters.dropped), counters.waiting,
                     bySource.c_str(), memoryAtOpen, PeakMemoryKb(), path.beside ? "true" : "false",
                     static_cast<unsigned long long>(path.rawRead),
                     static_cast<unsigned long long>(path.rawTaken));
    }
    return 0;
}

int RunNamesCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"resolve", "suffix"}, args, error) || !args.words.empty()) {
        std::fprintf(stderr, "%s\nusage: kestrola-cli names [--resolve NAME [--suffix HEX]]\n",
                     error.empty() ? "kestrola-cli names: unexpected words"
                                   : ("kestrola-cli names: " + error).c_str());
        return 2;
    }
    const auto mailslots = platform::CreateMailslots();
    if (!args.Has("resolve")) {
        const platform::NetbiosIdentity us = mailslots->Identity();
        std::printf("computer: %s\nworkgroup: %s\n", us.computerName.c_str(), us.workgroup.c_str());
        for (const platform::NetworkInterface& itf : mailslots->Interfaces())
            std::printf("interface: %s %s broadcast %s\n", itf.name.c_str(),
                        platform::AddressText(itf.address).c_str(),
                        platform::AddressText(itf.broadcast).c_str());
        const std::vector<std::string> beside = platform::BesideNotes();
        std::printf("mode: %s\n", beside.empty() ? "own ports" : "beside another NetBIOS service");
        for (const std::string& note : beside)
            std::printf("note: %s\n", note.c_str());
        return 0;
    }
    const std::string name = args.Option("resolve");
    char* end = nullptr;
    const std::string suffixText = args.Option("suffix", "00");
    const unsigned long suffix = std::strtoul(suffixText.c_str(), &end, 16);
    if (*end != '\0' || suffix > 0xFF) {
        std::fprintf(stderr, "kestrola-cli names: --suffix takes a hexadecimal byte\n");
        return 2;
    }
    std::vector<platform::ResolvedName> answers;
    const platform::MailslotResult result =
        mailslots->ResolveName(name, static_cast<std::uint8_t>(suffix), answers);
    if (!result.ok()) {
        std::fprintf(stderr, "kestrola-cli names: %s\n", result.detail.c_str());
        return 1;
    }
    char shown[8];
    std::snprintf(shown, sizeof shown, "<%02lX>", suffix);
    if (answers.empty()) {
        std::fprintf(stderr, "kestrola-cli names: nobody answered for %s%s\n", name.c_str(), shown);
        return 1;
    }
    for (const platform::ResolvedName& answer : answers)
        std::printf("%s%s %s %s ttl %u\n", name.c_str(), shown,
                    platform::AddressText(answer.address).c_str(),
                    answer.group ? "group" : "unique", answer.ttlSeconds);
    return 0;
}

} // namespace kestrola::cli
