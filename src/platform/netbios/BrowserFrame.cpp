#include "platform/netbios/BrowserFrame.h"

namespace kestrola::platform::netbios {

namespace {

constexpr std::size_t kNameFieldAt = 6;
constexpr std::size_t kNameFieldSize = 16;
constexpr std::size_t kLanmanFixedSize = 10;

void Put16Little(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32Little(std::string& out, std::uint32_t v) {
    Put16Little(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16Little(out, static_cast<std::uint16_t>(v >> 16));
}

std::uint16_t Get16Little(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Get32Little(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(Get16Little(b, at)) |
           (static_cast<std::uint32_t>(Get16Little(b, at + 2)) << 16);
}

// The bytes from `at` up to the first NUL (or the end of `limit` bytes), and where the string
// ends; `terminated` says whether a NUL was found.
std::string_view CString(Bytes b, std::size_t at, std::size_t limit, bool& terminated) {
    std::size_t end = at;
    const std::size_t stop = limit < b.size() - at ? at + limit : b.size();
    while (end < stop && b[end] != 0)
        ++end;
    terminated = end < b.size() && b[end] == 0;
    return {reinterpret_cast<const char*>(b.data() + at), end - at};
}

// A name as announced: trailing blanks are padding, the rest must be a NetBIOS name.
bool TakeName(std::string_view raw, std::string& name) {
    while (!raw.empty() && raw.back() == ' ')
        raw.remove_suffix(1);
    if (!CheckName(raw).empty())
        return false;
    name = std::string(raw);
    return true;
}

// Comments come from the network and end up on screens and terminals: control characters are
// replaced, and the text is cut to what a comment may hold.
std::string CleanComment(std::string_view raw) {
    std::string out(raw.substr(0, kMaxCommentLength));
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = '?';
    }
    return out;
}

} // namespace

std::string BuildAnnouncement(const Announcement& a) {
    std::string out;
    out.reserve(kAnnouncementFixedSize + a.comment.size() + 1);
    out += static_cast<char>(a.opcode);
    out += static_cast<char>(a.updateCount);
    Put32Little(out, a.periodicityMs);
    const std::string name = a.name.substr(0, kNameLength);
    out += name;
    out.append(kNameFieldSize - name.size(), '\0');
    out += static_cast<char>(a.osMajor);
    out += static_cast<char>(a.osMinor);
    Put32Little(out, a.serverType);
    out += static_cast<char>(a.browserMajor);
    out += static_cast<char>(a.browserMinor);
    Put16Little(out, a.signature);
    out += a.comment.substr(0, kMaxCommentLength);
    out += '\0';
    return out;
}

std::string BuildAnnouncementRequest(std::string_view responseName) {
    std::string out;
    out += static_cast<char>(kAnnouncementRequest);
    out += '\0';
    out += responseName.substr(0, kNameLength);
    out += '\0';
    return out;
}

BrowserFrameParse ParseBrowserFrame(Bytes frame) {
    BrowserFrameParse result;
    if (frame.empty()) {
        result.refused = "empty browser frame";
        return result;
    }
    const std::uint8_t opcode = frame[0];
    if (opcode == kAnnouncementRequest) {
        // Only the opcode matters; Samba's requests carry a token and may lack the final NUL.
        result.kind = BrowserFrameKind::AnnouncementRequest;
        return result;
    }
    if (opcode != kHostAnnouncement && opcode != kLocalMasterAnnouncement &&
        opcode != kDomainAnnouncement) {
        result.kind = BrowserFrameKind::Other;
        return result;
    }
    if (frame.size() < kAnnouncementFixedSize) {
        result.refused = "the announcement ends before its comment";
        return result;
    }
    Announcement& a = result.announcement;
    a.opcode = opcode;
    a.updateCount = frame[1];
    a.periodicityMs = Get32Little(frame, 2);
    bool terminated = false;
    const std::string_view rawName = CString(frame, kNameFieldAt, kNameFieldSize, terminated);
    if (!TakeName(rawName, a.name)) {
        result.refused = "the announced name is not a NetBIOS name";
        return result;
    }
    a.osMajor = frame[22];
    a.osMinor = frame[23];
    a.serverType = Get32Little(frame, 24);
    a.browserMajor = frame[28];
    a.browserMinor = frame[29];
    a.signature = Get16Little(frame, 30);
    a.comment = CleanComment(
        CString(frame, kAnnouncementFixedSize, frame.size() - kAnnouncementFixedSize, terminated));
    if (opcode == kDomainAnnouncement) {
        // The comment names the workgroup's master; a blank one is allowed.
        std::string master;
        a.comment = TakeName(a.comment, master) ? master : std::string();
    }
    result.kind = BrowserFrameKind::Announcement;
    return result;
}

BrowserFrameParse ParseLanmanFrame(Bytes frame) {
    BrowserFrameParse result;
    if (frame.empty()) {
        result.refused = "empty browser frame";
        return result;
    }
    if (frame[0] != kHostAnnouncement) {
        result.kind = BrowserFrameKind::Other;
        return result;
    }
    if (frame.size() < kLanmanFixedSize + 1) {
        result.refused = "the LANMAN announcement ends before its name";
        return result;
    }
    Announcement& a = result.announcement;
    a.opcode = kHostAnnouncement;
    a.serverType = Get32Little(frame, 2);
    a.osMajor = frame[6];
    a.osMinor = frame[7];
    a.periodicityMs = static_cast<std::uint32_t>(Get16Little(frame, 8)) * 1000;
    bool terminated = false;
    const std::string_view rawName =
        CString(frame, kLanmanFixedSize, frame.size() - kLanmanFixedSize, terminated);
    if (!terminated) {
        result.refused = "the LANMAN announcement's name has no terminating NUL";
        return result;
    }
    if (!TakeName(rawName, a.name)) {
        result.refused = "the announced name is not a NetBIOS name";
        return result;
    }
    const std::size_t commentAt = kLanmanFixedSize + rawName.size() + 1;
    a.comment = CleanComment(CString(frame, commentAt, frame.size() - commentAt, terminated));
    a.browserMajor = 0;
    a.browserMinor = 0;
    a.signature = 0;
    result.kind = BrowserFrameKind::Announcement;
    return result;
}

} // namespace kestrola::platform::netbios
