// Sequences of datagrams from anywhere through the receive thread's decisions, with time moving
// on between them: no answer goes to an address that is no single host's, an answer only ever
// answers a query, the browse list stays within its bounds however it is fed, and requests
// never make this computer announce twice within the answer gap, nor twice for one requester
// within the requester gap.
#include "platform/netbios/NameServicePacket.h"
#include "platform/netbios/ReceiveDecision.h"

#include <cstdint>
#include <cstring>

using namespace kestrola::platform;

namespace {

constexpr std::uint32_t kOurAddress = 0x0AD50002;

// One record of the input: kind (bit 0: the name port), source (4), source port (2), how far
// time moves on before it in tenths of a second (1), length (1), then that many bytes.
struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    bool Take(void* out, std::size_t n) {
        if (n > size)
            return false;
        std::memcpy(out, data, n);
        data += n;
        size -= n;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReceiverState state;
    state.oemName = "HOSTB";
    state.oemWorkgroup = "WORKGROUP";
    state.interfaces = {{"eth0", kOurAddress, 0xFFFFFF00, 0x0AD500FF}};
    state.browse = BrowseList(state.oemWorkgroup);
    auto now = std::chrono::steady_clock::time_point(std::chrono::hours(1));
    state.schedule.Start(now);
    state.schedule.Announce(now);
    auto lastAnnouncement = now;

    Reader in{data, size};
    std::uint8_t kind = 0, step = 0, length = 0;
    std::uint32_t source = 0;
    std::uint16_t sourcePort = 0;
    std::uint8_t bytes[256];
    while (in.Take(&kind, 1) && in.Take(&source, 4) && in.Take(&sourcePort, 2) &&
           in.Take(&step, 1) && in.Take(&length, 1) && in.Take(bytes, length)) {
        now += std::chrono::milliseconds(100) * step;
        Arrival arrival;
        arrival.port = (kind & 1) != 0 ? netbios::kNameServicePort : 138;
        arrival.source = source;
        arrival.sourcePort = sourcePort;
        arrival.destination = (kind & 2) != 0 ? 0x0AD500FF : kOurAddress;
        arrival.localAddress = kOurAddress;
        arrival.data = bytes;
        arrival.size = length;
        const ReceiveDecision decision =
            DecideArrival(state, arrival, now, std::chrono::milliseconds(kind >> 2) * 8);
        if (decision.answer) {
            if (arrival.port != netbios::kNameServicePort ||
                !AnswerableSource(decision.answer->to, decision.answer->toPort, state.interfaces) ||
                decision.answer->to != source || decision.answer->toPort != sourcePort)
                __builtin_trap();
        }
        if (decision.filing && arrival.port == netbios::kNameServicePort)
            __builtin_trap();
        if (state.browse.ComputerCount() > BrowseList::kMaxComputers ||
            state.browse.WorkgroupCount() > BrowseList::kMaxWorkgroups ||
            state.browse.HeldBy(source) > BrowseList::kMaxPerSource)
            __builtin_trap();
        // The receive thread announces whatever is due; requests alone bring nothing sooner.
        if (state.schedule.Due(now)) {
            if (now - lastAnnouncement < AnnouncementSchedule::kAnswerGap)
                __builtin_trap();
            state.schedule.Announce(now);
            lastAnnouncement = now;
        }
    }
    return 0;
}
