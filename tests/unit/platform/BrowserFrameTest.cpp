#include "platform/netbios/BrowserFrame.h"

#include "Hex.h"
#include "platform/netbios/DatagramPacket.h"

#include <gtest/gtest.h>

namespace kestrola::platform::netbios {
namespace {

using kestrola::testing::FromHex;

// The reference's HostAnnouncement: PC1, 60 s, server type 0x3, empty comment.
const std::string kPc1Announcement =
    FromHex("01 00 60 ea 00 00 50 43 31 00 00 00 00 00 00 00 00 00 00 00 00 00 06 01 03 00 00 00 "
            "0f 01 55 aa 00");

Announcement Pc1() {
    Announcement a;
    a.periodicityMs = 60000;
    a.name = "PC1";
    a.serverType = kServerTypeWorkstation | kServerTypeServer;
    return a;
}

TEST(BrowserFrameTest, BuildsTheReferenceHostAnnouncement) {
    EXPECT_EQ(BuildAnnouncement(Pc1()), kPc1Announcement);
}

TEST(BrowserFrameTest, ReadsTheReferenceHostAnnouncement) {
    const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(kPc1Announcement));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    ASSERT_EQ(parsed.kind, BrowserFrameKind::Announcement);
    const Announcement& a = parsed.announcement;
    EXPECT_EQ(a.opcode, kHostAnnouncement);
    EXPECT_EQ(a.periodicityMs, 60000u);
    EXPECT_EQ(a.name, "PC1");
    EXPECT_EQ(a.osMajor, 6);
    EXPECT_EQ(a.osMinor, 1);
    EXPECT_EQ(a.serverType, 3u);
    EXPECT_EQ(a.signature, 0xAA55);
    EXPECT_EQ(a.comment, "");
}

TEST(BrowserFrameTest, RoundTripsEveryAnnouncementKind) {
    struct Case {
        std::uint8_t opcode;
        std::string name;
        std::string comment;
        std::uint32_t serverType;
    };
    const Case cases[] = {{kHostAnnouncement, "HOSTA", "", kServerTypeWorkstation},
                          {kHostAnnouncement, "FIFTEEN-CHARS-X", "a comment", 0},
                          {kLocalMasterAnnouncement, "MASTER", "Samba peer", 0x40849A03},
                          {kDomainAnnouncement, "WORKGROUP", "MASTER", 0x80001000}};
    for (const Case& c : cases) {
        Announcement a;
        a.opcode = c.opcode;
        a.updateCount = 7;
        a.periodicityMs = 720000;
        a.name = c.name;
        a.comment = c.comment;
        a.serverType = c.serverType;
        const std::string frame = BuildAnnouncement(a);
        EXPECT_EQ(frame.size(), kAnnouncementFixedSize + c.comment.size() + 1) << c.name;
        const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(frame));
        ASSERT_TRUE(parsed.ok()) << c.name << ": " << parsed.refused;
        EXPECT_EQ(parsed.announcement.opcode, c.opcode);
        EXPECT_EQ(parsed.announcement.updateCount, 7);
        EXPECT_EQ(parsed.announcement.periodicityMs, 720000u);
        EXPECT_EQ(parsed.announcement.name, c.name);
        EXPECT_EQ(parsed.announcement.comment, c.comment);
        EXPECT_EQ(parsed.announcement.serverType, c.serverType);
    }
}

TEST(BrowserFrameTest, BuildCutsNamesAndComments) {
    Announcement a = Pc1();
    a.name = "SIXTEEN-CHARS-XY";
    a.comment = std::string(60, 'c');
    const std::string frame = BuildAnnouncement(a);
    EXPECT_EQ(frame.substr(6, 16), std::string("SIXTEEN-CHARS-X") + '\0');
    EXPECT_EQ(frame.size(), kAnnouncementFixedSize + kMaxCommentLength + 1);
    EXPECT_EQ(frame.back(), '\0');
}

TEST(BrowserFrameTest, AnnouncementRequestsInBothSpellings) {
    EXPECT_EQ(BuildAnnouncementRequest("HOSTA"), std::string("\x02\0HOSTA\0", 8));
    // Samba puts a token in the second byte, leaves a zero before the name and drops the final
    // NUL; only the opcode matters.
    for (const std::string& frame : {BuildAnnouncementRequest("HOSTA"),
                                     std::string("\x02\x05\0SAMBA", 8), std::string("\x02", 1)}) {
        const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(frame));
        EXPECT_TRUE(parsed.ok());
        EXPECT_EQ(parsed.kind, BrowserFrameKind::AnnouncementRequest);
    }
}

TEST(BrowserFrameTest, OtherOpcodesAreNotRead) {
    for (const int opcode : {0x08, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x42}) {
        const std::string frame(1, static_cast<char>(opcode));
        const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(frame));
        EXPECT_TRUE(parsed.ok());
        EXPECT_EQ(parsed.kind, BrowserFrameKind::Other) << int(opcode);
    }
}

TEST(BrowserFrameTest, NamesAndCommentsAsTheyTravel) {
    struct Case {
        std::string nameField; // the 16 bytes at offset 6
        std::string comment;   // bytes from offset 32 to the end
        bool read;
        std::string name;
        std::string shownComment;
    };
    const std::string nul(1, '\0');
    const Case cases[] = {
        {"PC1" + std::string(13, '\0'), nul, true, "PC1", ""},
        {"PADDED         " + nul, nul, true, "PADDED", ""},
        {"PADDED          ", nul, true, "PADDED", ""},           // blanks, no NUL at all
        {"SIXTEEN-CHARS-XY", nul, false, "", ""},                // no room for a NUL
        {std::string(16, '\0'), nul, false, "", ""},             // empty
        {"BAD*NAME" + std::string(8, '\0'), nul, false, "", ""}, // a wildcard character
        {"TAB\tNAME" + std::string(8, '\0'), nul, false, "", ""},
        {"PC1" + std::string(13, '\0'), "no terminator", true, "PC1", "no terminator"},
        {"PC1" + std::string(13, '\0'), "bell\a and\x1b[2J" + nul, true, "PC1", "bell? and?[2J"},
        {"PC1" + std::string(13, '\0'), std::string(50, 'x') + nul, true, "PC1",
         std::string(42, 'x')},
        {"PC1" + std::string(13, '\0'), "", true, "PC1", ""} // the frame ends with the fixed part
    };
    for (const Case& c : cases) {
        std::string frame = kPc1Announcement.substr(0, 6) + c.nameField +
                            kPc1Announcement.substr(22, 10) + c.comment;
        const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(frame));
        EXPECT_EQ(parsed.ok(), c.read) << c.nameField;
        if (c.read && parsed.ok()) {
            EXPECT_EQ(parsed.announcement.name, c.name);
            EXPECT_EQ(parsed.announcement.comment, c.shownComment);
        }
    }
}

TEST(BrowserFrameTest, ADomainAnnouncementsCommentIsItsMaster) {
    Announcement a = Pc1();
    a.opcode = kDomainAnnouncement;
    a.name = "OTHERGRP";
    for (const auto& [comment, master] : std::vector<std::pair<std::string, std::string>>{
             {"MASTERPC", "MASTERPC"}, {"", ""}, {"not*a name", ""}}) {
        a.comment = comment;
        const BrowserFrameParse parsed = ParseBrowserFrame(AsBytes(BuildAnnouncement(a)));
        ASSERT_TRUE(parsed.ok());
        EXPECT_EQ(parsed.announcement.name, "OTHERGRP");
        EXPECT_EQ(parsed.announcement.comment, master) << comment;
    }
}

TEST(BrowserFrameTest, EveryCutOfAnAnnouncementBeforeItsCommentIsRefused) {
    for (std::size_t size = 1; size < kAnnouncementFixedSize; ++size) {
        const BrowserFrameParse parsed =
            ParseBrowserFrame(AsBytes(kPc1Announcement.substr(0, size)));
        EXPECT_FALSE(parsed.ok()) << size;
    }
    EXPECT_FALSE(ParseBrowserFrame({}).ok());
}

// A LANMAN host announcement as Samba builds one: opcode and a zero byte, server type,
// OS version, periodicity in seconds, name and comment.
std::string Lanman(std::string_view name, std::string_view comment, std::uint16_t seconds = 720) {
    std::string frame = FromHex("01 00 03 0a 00 00 04 00");
    frame += static_cast<char>(seconds & 0xFF);
    frame += static_cast<char>(seconds >> 8);
    frame += name;
    frame += '\0';
    frame += comment;
    frame += '\0';
    return frame;
}

TEST(BrowserFrameTest, ReadsLanmanHostAnnouncements) {
    const BrowserFrameParse parsed = ParseLanmanFrame(AsBytes(Lanman("OLDHOST", "OS/2 box")));
    ASSERT_TRUE(parsed.ok()) << parsed.refused;
    ASSERT_EQ(parsed.kind, BrowserFrameKind::Announcement);
    EXPECT_EQ(parsed.announcement.name, "OLDHOST");
    EXPECT_EQ(parsed.announcement.comment, "OS/2 box");
    EXPECT_EQ(parsed.announcement.serverType, 0xA03u);
    EXPECT_EQ(parsed.announcement.osMajor, 4);
    EXPECT_EQ(parsed.announcement.periodicityMs, 720000u);
}

TEST(BrowserFrameTest, MalformedLanmanFrames) {
    const std::string good = Lanman("OLDHOST", "c");
    struct Case {
        std::string frame;
        bool read;
        BrowserFrameKind kind;
    };
    const Case cases[] = {
        {"", false, BrowserFrameKind::Other},
        {Lanman("", "c"), false, BrowserFrameKind::Other}, // empty name
        {Lanman("TOO-LONG-FOR-NETBIOS", ""), false, BrowserFrameKind::Other},
        {good.substr(0, good.size() - 1), true, BrowserFrameKind::Announcement}, // comment cut
        {std::string("\x0c\0", 2), true, BrowserFrameKind::Other}};
    for (std::size_t size = 1; size < good.size() - 2; ++size) // cut before the name's NUL
        EXPECT_FALSE(ParseLanmanFrame(AsBytes(good.substr(0, size))).ok()) << size;
    for (const Case& c : cases) {
        const BrowserFrameParse parsed = ParseLanmanFrame(AsBytes(c.frame));
        EXPECT_EQ(parsed.ok(), c.read) << c.frame.size();
        if (parsed.ok()) {
            EXPECT_EQ(parsed.kind, c.kind);
        }
    }
}

} // namespace
} // namespace kestrola::platform::netbios
