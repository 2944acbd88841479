// Our NetBIOS packets for independent decoders, and our parsers for their packets:
//   packets             "KIND HEX FROM TO FROMPORT TOPORT" per sample packet we build
//   parse-datagram HEX  our reading of a datagram-port payload, one "key=value" per line
//   parse-name HEX      our reading of a name-service payload
#include "platform/Mailslots.h"
#include "platform/netbios/DatagramPacket.h"
#include "platform/netbios/NameServicePacket.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrola::platform;
using namespace kestrola::platform::netbios;

namespace {

struct Sample {
    std::string kind;
    std::string payload;
    std::uint32_t from, to;
    std::uint16_t fromPort, toPort;
};

constexpr std::uint32_t kPc1 = 0xC0A8010A; // 192.168.1.10
constexpr std::uint32_t kPc2 = 0xC0A80114; // 192.168.1.20
constexpr std::uint32_t kSubnet = 0xC0A801FF;

std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    MailslotDatagram d;
    d.id = 0x1234;
    d.sourceIp = kPc1;
    d.source = {"PC1", 0};
    d.destination = {"PC2", 0};
    d.mailslot = "\\MAILSLOT\\MESSNGR";
    d.data = std::string("PC1\0PC2\0hi\0", 11);
    samples.push_back({"unicast", BuildMailslotDatagram(d), kPc1, kPc2, 138, 138});

    d.type = kDirectGroup;
    d.id = 0x1235;
    d.destination = {"WORKGROUP", 0};
    d.data = std::string("PC1\0WORKGROUP\0to all\0", 21);
    samples.push_back({"group", BuildMailslotDatagram(d), kPc1, kSubnet, 138, 138});

    d.type = kDirectUnique;
    d.id = 0x1236;
    d.sourcePort = 40000;
    d.destination = {"PC2", 0};
    d.data = "PC1" + std::string(1, '\0') + "PC2" + std::string(1, '\0') + std::string(415, 'x') +
             std::string(1, '\0');
    samples.push_back({"longest", BuildMailslotDatagram(d), kPc1, kPc2, 40000, 138});

    d.type = kDirectGroup;
    d.id = 0x1237;
    d.sourcePort = 138;
    d.destination = {"WORKGROUP", 0x1D};
    d.mailslot = "\\MAILSLOT\\BROWSE";
    d.data = std::string("\x01\x00\x60\xea\x00\x00PC1\0\0\0\0\0\0\0\0\0\0\0\0\0\x06\x01\x03\0\0\0"
                         "\x0f\x01\x55\xaa\0",
                         33);
    samples.push_back({"browse", BuildMailslotDatagram(d), kPc1, kSubnet, 138, 138});

    samples.push_back({"query", BuildNameQuery(0x5678, {"PC2", 0}, true), kPc1, kSubnet, 137, 137});
    samples.push_back({"response", BuildPositiveResponse(0x5678, {"PC2", 0}, 259200, {{0, kPc2}}),
                       kPc2, kPc1, 137, 137});
    samples.push_back({"groupresponse",
                       BuildPositiveResponse(0x5679, {"WORKGROUP", 0}, 300,
                                             {{kGroupNameFlag, kPc2}, {kGroupNameFlag, kPc1}}),
                       kPc2, kPc1, 137, 40001});
    return samples;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

bool FromHex(const char* hex, std::string& out) {
    const std::size_t n = std::strlen(hex);
    if (n % 2 != 0)
        return false;
    for (std::size_t i = 0; i < n; i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex + i, "%2x", &value) != 1)
            return false;
        out += static_cast<char>(value);
    }
    return true;
}

int ParseDatagram(const std::string& bytes) {
    const DatagramParse parsed = ParseMailslotDatagram(AsBytes(bytes));
    if (!parsed.ok()) {
        std::printf("refused=%.*s\n", static_cast<int>(parsed.refused.size()),
                    parsed.refused.data());
        return 1;
    }
    const MailslotDatagram& d = parsed.datagram;
    std::printf("type=%u\nflags=%u\nid=%u\nsourceIp=%s\nsourcePort=%u\nsource=%s\n"
                "destination=%s\nmailslot=%s\ndata=%s\n",
                d.type, d.flags, d.id, AddressText(d.sourceIp).c_str(), d.sourcePort,
                NameForDisplay(d.source).c_str(), NameForDisplay(d.destination).c_str(),
                d.mailslot.c_str(), Hex(d.data).c_str());
    return 0;
}

int ParseName(const std::string& bytes) {
    const NameServiceParse parsed = ParseNameServicePacket(AsBytes(bytes));
    if (!parsed.ok()) {
        std::printf("refused=%.*s\n", static_cast<int>(parsed.refused.size()),
                    parsed.refused.data());
        return 1;
    }
    const NameServicePacket& p = parsed.packet;
    std::printf("id=%u\nresponse=%d\nopcode=%u\nrcode=%u\nbroadcast=%d\nname=%s\ntype=%u\nttl=%u\n",
                p.id, p.response(), p.opcode(), p.rcode(), p.broadcast(),
                NameForDisplay(p.name).c_str(), p.type, p.ttl);
    for (const NameEntry& e : p.entries)
        std::printf("entry=%s %s\n", AddressText(e.address).c_str(),
                    e.group() ? "group" : "unique");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "packets") {
        for (const Sample& s : Samples())
            std::printf("%s %s %s %s %u %u\n", s.kind.c_str(), Hex(s.payload).c_str(),
                        AddressText(s.from).c_str(), AddressText(s.to).c_str(), s.fromPort,
                        s.toPort);
        return 0;
    }
    std::string bytes;
    if ((command == "parse-datagram" || command == "parse-name") && argc == 3 &&
        FromHex(argv[2], bytes))
        return command == "parse-datagram" ? ParseDatagram(bytes) : ParseName(bytes);
    std::fprintf(stderr, "usage: %s packets | parse-datagram HEX | parse-name HEX\n", argv[0]);
    return 2;
}
