#pragma once

#include "platform/netbios/NetbiosName.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrola::platform::netbios {

/// Browser frame opcodes (the first byte of a frame on \MAILSLOT\BROWSE or \MAILSLOT\LANMAN).
enum BrowserOpcode : std::uint8_t {
    kHostAnnouncement = 0x01,
    kAnnouncementRequest = 0x02,
    kRequestElection = 0x08,
    kGetBackupListRequest = 0x09,
    kGetBackupListResponse = 0x0A,
    kBecomeBackup = 0x0B,
    kDomainAnnouncement = 0x0C,
    kMasterAnnouncement = 0x0D,
    kResetState = 0x0E,
    kLocalMasterAnnouncement = 0x0F,
};

/// Server type bits of an announcement.
constexpr std::uint32_t kServerTypeWorkstation = 0x00000001;
constexpr std::uint32_t kServerTypeServer = 0x00000002;
constexpr std::uint32_t kServerTypeDomainEnum = 0x80000000;

/// The suffixes browser frames are addressed to.
constexpr std::uint8_t kMasterBrowserSuffix = 0x1D;
constexpr std::uint8_t kBrowserElectionSuffix = 0x1E;
constexpr std::uint8_t kMsBrowseSuffix = 0x01;
/// The name every local master browser of a segment listens on ("\x01\x02__MSBROWSE__\x02").
constexpr std::string_view kMsBrowseName = "\x01\x02__MSBROWSE__\x02";

/// The two browser mailslots as they travel.
constexpr std::string_view kBrowseMailslot = "\\MAILSLOT\\BROWSE";
constexpr std::string_view kLanmanMailslot = "\\MAILSLOT\\LANMAN";

/// Bytes of an announcement before its comment.
constexpr std::size_t kAnnouncementFixedSize = 32;
/// Bytes a comment may have, its terminating NUL not counted.
constexpr std::size_t kMaxCommentLength = 42;

/// A HostAnnouncement, LocalMasterAnnouncement or DomainAnnouncement. For the first two `name`
/// is the computer and `comment` its comment; for a DomainAnnouncement `name` is the workgroup
/// and `comment` its local master browser. Names are OEM bytes.
struct Announcement {
    std::uint8_t opcode = kHostAnnouncement;
    std::uint8_t updateCount = 0;
    std::uint32_t periodicityMs = 0;
    std::string name;
    std::uint8_t osMajor = 6;
    std::uint8_t osMinor = 1;
    std::uint32_t serverType = kServerTypeWorkstation;
    std::uint8_t browserMajor = 0x0F;
    std::uint8_t browserMinor = 0x01;
    std::uint16_t signature = 0xAA55;
    std::string comment;
};

/// The frame of `announcement` as it goes on \MAILSLOT\BROWSE: the fixed 32 bytes (the name in
/// a 16-byte field, NUL-padded, cut to 15 bytes) and the comment with its NUL (cut to 42 bytes).
std::string BuildAnnouncement(const Announcement& announcement);

/// An AnnouncementRequest frame: opcode, an unused byte and the name answers may go to.
std::string BuildAnnouncementRequest(std::string_view responseName);

/// What a browser frame turned out to be.
enum class BrowserFrameKind {
    Announcement,        ///< `announcement` holds a host, local master or domain announcement
    AnnouncementRequest, ///< every member of the addressed workgroup should announce itself
    Other,               ///< a frame of another kind (elections, backup lists, ...), not read
};

/// The result of reading a browser frame.
struct BrowserFrameParse {
    BrowserFrameKind kind = BrowserFrameKind::Other;
    Announcement announcement;
    std::string_view refused; ///< why it was refused; empty when it was read
    bool ok() const { return refused.empty(); }
};

/// Reads a frame of \MAILSLOT\BROWSE. An announcement needs its fixed 32 bytes; its name must be
/// a NetBIOS name (NUL-terminated within its 16 bytes, or 16 bytes ending in spaces or a NUL);
/// a missing comment terminator ends the comment at the frame's end, and a comment is cut to 42
/// bytes. Never reads outside `frame`.
BrowserFrameParse ParseBrowserFrame(Bytes frame);

/// Reads a frame of \MAILSLOT\LANMAN: the older announcement layout (opcode and a zero byte,
/// server type, OS version, periodicity in seconds, name and comment as NUL-terminated strings).
/// Its periodicity is given back in milliseconds. Never reads outside `frame`.
BrowserFrameParse ParseLanmanFrame(Bytes frame);

} // namespace kestrola::platform::netbios
