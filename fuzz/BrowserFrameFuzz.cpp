// Arbitrary bytes as a browser frame on \MAILSLOT\BROWSE and on \MAILSLOT\LANMAN: what is read
// must be a frame that builds back into one that reads the same, and the browse list must take
// it without harm.
#include "platform/netbios/BrowseList.h"
#include "platform/netbios/BrowserFrame.h"

#include <cstdint>

using namespace kestrola::platform;
using namespace kestrola::platform::netbios;

namespace {

void Check(const BrowserFrameParse& parsed, std::size_t size) {
    if (!parsed.ok() || parsed.kind != BrowserFrameKind::Announcement)
        return;
    const Announcement& a = parsed.announcement;
    if (!CheckName(a.name).empty() || a.comment.size() > kMaxCommentLength || a.name.size() > size)
        __builtin_trap();
    for (const char c : a.comment) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            __builtin_trap();
    }
    const BrowserFrameParse again = ParseBrowserFrame(AsBytes(BuildAnnouncement(a)));
    if (!again.ok() || again.kind != BrowserFrameKind::Announcement ||
        again.announcement.name != a.name || again.announcement.periodicityMs != a.periodicityMs ||
        again.announcement.serverType != a.serverType)
        __builtin_trap();
    if (a.opcode != kDomainAnnouncement && again.announcement.comment != a.comment)
        __builtin_trap();

    BrowseList list;
    const auto now = BrowseList::Clock::now();
    BrowseComputer computer{a.name, a.comment, a.serverType, 0};
    if (a.opcode == kDomainAnnouncement)
        list.WorkgroupAnnounced(a.name, a.comment, a.periodicityMs, now);
    else
        list.HostAnnounced("WORKGROUP", computer, a.periodicityMs, now);
    if (list.Snapshot(now).size() > 1)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check(ParseBrowserFrame({data, size}), size);
    Check(ParseLanmanFrame({data, size}), size);
    return 0;
}
