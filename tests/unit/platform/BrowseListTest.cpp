#include "platform/netbios/BrowseList.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace kestrola::platform {
namespace {

using namespace std::chrono_literals;
using Clock = BrowseList::Clock;

const Clock::time_point kStart{std::chrono::hours(1)};

BrowseComputer Pc(const std::string& name, std::uint32_t type = 1) {
    return {name, "", type, 0x0AD50001};
}

// "GROUP: PC1 PC2" per workgroup, in the order the snapshot gives them.
std::vector<std::string> Shown(const BrowseList& list, Clock::time_point at) {
    std::vector<std::string> out;
    for (const BrowseWorkgroup& group : list.Snapshot(at)) {
        std::string line = group.name + ":";
        for (const BrowseComputer& computer : group.computers)
            line += " " + computer.name;
        out.push_back(line);
    }
    return out;
}

TEST(BrowseListTest, AnEntryLivesThreeTimesItsPeriodicity) {
    struct Case {
        std::uint32_t periodicityMs;
        Clock::duration lifetime;
    };
    const Case cases[] = {{60'000, 180s},      {720'000, 36min},
                          {0, 180s},        // a zero is taken as the shortest periodicity
                          {1'000, 180s},    // so is anything shorter
                          {0xFFFFFFFF, 3h}, // and anything over an hour as an hour
                          {15 * 60'000, 45min}};
    for (const Case& c : cases) {
        BrowseList list;
        list.HostAnnounced("WORKGROUP", Pc("PC1"), c.periodicityMs, kStart);
        EXPECT_EQ(Shown(list, kStart + c.lifetime - 1ms),
                  std::vector<std::string>{"WORKGROUP: PC1"})
            << c.periodicityMs;
        EXPECT_TRUE(Shown(list, kStart + c.lifetime).empty()) << c.periodicityMs;
    }
}

TEST(BrowseListTest, AnnouncingAgainExtendsTheLife) {
    BrowseList list;
    list.HostAnnounced("WORKGROUP", Pc("PC1"), 60'000, kStart);
    list.HostAnnounced("WORKGROUP", Pc("PC1"), 120'000, kStart + 170s);
    EXPECT_EQ(Shown(list, kStart + 170s + 359s), std::vector<std::string>{"WORKGROUP: PC1"});
    EXPECT_TRUE(Shown(list, kStart + 170s + 360s).empty());
}

TEST(BrowseListTest, ServerTypeZeroRemovesTheComputerAtOnce) {
    BrowseList list;
    list.HostAnnounced("WORKGROUP", Pc("PC1"), 720'000, kStart);
    list.HostAnnounced("WORKGROUP", Pc("PC2"), 720'000, kStart);
    list.HostAnnounced("workgroup", Pc("pc1", 0), 0, kStart + 1s);
    EXPECT_EQ(Shown(list, kStart + 2s), std::vector<std::string>{"WORKGROUP: PC2"});
    EXPECT_EQ(list.ComputerCount(), 1u);
    // A goodbye from a computer nobody knows adds nothing.
    list.HostAnnounced("ELSEWHERE", Pc("PC9", 0), 0, kStart + 3s);
    EXPECT_EQ(Shown(list, kStart + 3s), std::vector<std::string>{"WORKGROUP: PC2"});
}

TEST(BrowseListTest, NamesMeetIgnoringCaseAndSortAscending) {
    BrowseList list;
    list.HostAnnounced("workgroup", Pc("zeta"), 60'000, kStart);
    list.HostAnnounced("WORKGROUP", Pc("Alpha"), 60'000, kStart);
    list.HostAnnounced("Accounts", Pc("ZETA"), 60'000, kStart);
    list.HostAnnounced("WORKGROUP", Pc("ZETA"), 60'000, kStart);
    EXPECT_EQ(Shown(list, kStart),
              (std::vector<std::string>{"Accounts: ZETA", "workgroup: Alpha ZETA"}));
    EXPECT_EQ(list.ComputerCount(), 3u);
}

TEST(BrowseListTest, AWorkgroupLivesByItsOwnAnnouncementOrItsComputers) {
    BrowseList list;
    list.WorkgroupAnnounced("OTHERGRP", "MASTERPC", 60'000, kStart);
    list.HostAnnounced("SALES", Pc("PC1"), 60'000, kStart);
    list.WorkgroupAnnounced("SALES", "", 600'000, kStart);
    const std::vector<BrowseWorkgroup> now = list.Snapshot(kStart);
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now[0].name, "OTHERGRP");
    EXPECT_EQ(now[0].master, "MASTERPC");
    EXPECT_TRUE(now[0].computers.empty());
    // PC1 is gone after 3 minutes, SALES stays by its own announcement for 30.
    EXPECT_EQ(Shown(list, kStart + 200s), std::vector<std::string>{"SALES:"});
    EXPECT_TRUE(Shown(list, kStart + 30min).empty());
    list.Expire(kStart + 30min);
    EXPECT_EQ(list.ComputerCount(), 0u);
}

TEST(BrowseListTest, AnEvictedWorkgroupTakesItsComputersWithIt) {
    BrowseList list;
    for (std::uint32_t i = 0; i <= BrowseList::kMaxWorkgroups; ++i)
        list.HostAnnounced("W" + std::to_string(i),
                           {"PC" + std::to_string(i), "", 1, 0x0A000000 + i}, 600'000,
                           kStart + std::chrono::seconds(i));
    std::size_t shown = 0;
    for (const BrowseWorkgroup& group : list.Snapshot(kStart + 10min))
        shown += group.computers.size();
    EXPECT_LT(list.Snapshot(kStart + 10min).size(), BrowseList::kMaxWorkgroups);
    EXPECT_EQ(list.ComputerCount(), shown);
}

TEST(BrowseListTest, ExpireForgetsWhatHasExpired) {
    BrowseList list;
    list.HostAnnounced("A", Pc("PC1"), 60'000, kStart);
    list.HostAnnounced("A", Pc("PC2"), 600'000, kStart);
    // Workgroups that expired no longer count against the source that announced them.
    for (std::size_t i = 0; i <= BrowseList::kMaxPerSource; ++i)
        list.WorkgroupAnnounced("W" + std::to_string(i), "M", 60'000, kStart, 0x0A000009);
    list.Expire(kStart + 180s);
    EXPECT_EQ(list.ComputerCount(), 1u);
    EXPECT_EQ(Shown(list, kStart + 180s), std::vector<std::string>{"A: PC2"});
    list.WorkgroupAnnounced("LATE", "M", 60'000, kStart + 181s, 0x0A000009);
    EXPECT_EQ(Shown(list, kStart + 181s), (std::vector<std::string>{"A: PC2", "LATE:"}));
}

// A full list forgets what has expired before it evicts a living entry.
TEST(BrowseListTest, AFullListForgetsTheExpiredFirst) {
    for (const bool computers : {true, false}) {
        BrowseList list("WORKGROUP");
        const std::size_t full = computers ? BrowseList::kMaxComputers : BrowseList::kMaxWorkgroups;
        // Each entry from an address of its own; the first has expired by the newcomer's time.
        const auto announce = [&](const std::string& name, std::uint32_t ms, std::uint32_t source,
                                  Clock::time_point at) {
            if (computers)
                list.HostAnnounced("LIVE", {name, "", 1, source}, ms, at);
            else
                list.WorkgroupAnnounced(name, "M", ms, at, source);
        };
        announce("GONE", 60'000, 1, kStart);
        announce("SOONEST", 720'000, 2, kStart);
        for (std::uint32_t i = 2; i < full; ++i)
            announce("N" + std::to_string(i), 3'600'000, 0x0B000000u + i, kStart);
        announce("NEWCOMER", 720'000, 3, kStart + 200s);
        const auto shown = Shown(list, kStart + 200s);
        std::size_t count = computers ? list.ComputerCount() : list.WorkgroupCount();
        EXPECT_EQ(count, full) << computers;
        const std::string all =
            std::accumulate(shown.begin(), shown.end(), std::string(" "),
                            [](std::string a, const std::string& b) { return a + b + " "; });
        EXPECT_NE(all.find("SOONEST"), std::string::npos) << computers;
        EXPECT_NE(all.find("NEWCOMER"), std::string::npos) << computers;
        EXPECT_EQ(all.find("GONE"), std::string::npos) << computers;
        // With nothing expired, a sixteenth goes at once, the soonest to end first.
        announce("SECOND", 720'000, 4, kStart + 200s);
        count = computers ? list.ComputerCount() : list.WorkgroupCount();
        EXPECT_EQ(count, full - full / 16 + 1) << computers;
    }
}

// Forged announcements from one address or from many cannot push out our workgroup or keep
// real hosts out.
TEST(BrowseListTest, AFloodNeitherFillsTheListNorKeepsRealHostsOut) {
    struct Case {
        const char* what;
        std::size_t sources; // forged announcements come from this many addresses, in turn
        bool computers;      // HostAnnouncements into other workgroups, else DomainAnnouncements
    };
    const Case cases[] = {{"one source, workgroups", 1, false},
                          {"one source, computers", 1, true},
                          {"many sources, workgroups", 4096, false},
                          {"many sources, computers", 4096, true}};
    for (const Case& c : cases) {
        BrowseList list("WORKGROUP");
        list.HostAnnounced("WORKGROUP", Pc("OURS"), 720'000, kStart);
        list.HostAnnounced("REALGRP", Pc("REAL"), 720'000, kStart);
        const std::size_t flood =
            c.computers ? 2 * BrowseList::kMaxComputers : 2 * BrowseList::kMaxWorkgroups;
        for (std::size_t i = 0; i < flood; ++i) {
            const std::uint32_t source = 0x0A000000u + static_cast<std::uint32_t>(i % c.sources);
            const std::string name = "F" + std::to_string(i);
            if (c.computers)
                list.HostAnnounced("G" + std::to_string(i % 64), {name, "", 1, source}, 3'600'000,
                                   kStart + 1s);
            else
                list.WorkgroupAnnounced(name, "M", 3'600'000, kStart + 1s, source);
        }
        EXPECT_LE(list.ComputerCount(), BrowseList::kMaxComputers) << c.what;
        EXPECT_LE(list.WorkgroupCount(), BrowseList::kMaxWorkgroups) << c.what;
        if (c.sources == 1) {
            std::size_t forged = 0;
            for (const BrowseWorkgroup& group : list.Snapshot(kStart + 1s)) {
                forged += group.name[0] == 'F';
                for (const BrowseComputer& computer : group.computers)
                    forged += computer.name[0] == 'F';
            }
            EXPECT_EQ(forged, BrowseList::kMaxPerSource) << c.what;
        }
        // A real host that comes now is taken, and ours stays.
        list.HostAnnounced("NEWGRP", {"NEWCOMER", "", 1, 0x0AD50009}, 720'000, kStart + 2s);
        const auto shown = Shown(list, kStart + 3s);
        EXPECT_NE(std::find(shown.begin(), shown.end(), "NEWGRP: NEWCOMER"), shown.end()) << c.what;
        EXPECT_NE(std::find(shown.begin(), shown.end(), "WORKGROUP: OURS"), shown.end()) << c.what;
    }
}

TEST(BrowseListTest, ANameThatMovesCountsAgainstItsNewAddress) {
    BrowseList list("WORKGROUP");
    const std::uint32_t full = 0x0A000001;
    for (std::size_t i = 0; i < BrowseList::kMaxPerSource; ++i)
        list.HostAnnounced("G", {"F" + std::to_string(i), "", 1, full}, 720'000, kStart);
    list.HostAnnounced("G", {"LATE", "", 1, full}, 720'000, kStart);
    EXPECT_EQ(list.ComputerCount(), BrowseList::kMaxPerSource) << "the source holds its share";
    // F0 now announces from elsewhere: its old source has room for one more name again.
    list.HostAnnounced("G", {"F0", "", 1, 0x0A000002}, 720'000, kStart + 1s);
    list.HostAnnounced("G", {"LATE", "", 1, full}, 720'000, kStart + 2s);
    EXPECT_EQ(list.ComputerCount(), BrowseList::kMaxPerSource + 1);
}

TEST(BrowseListTest, ARefreshAsksTheMostRecentlyHeardWorkgroupsOnly) {
    BrowseList list("WORKGROUP");
    for (int i = 0; i < 20; ++i)
        list.WorkgroupAnnounced("G" + std::to_string(i), "", 60'000, kStart + i * 1s,
                                static_cast<std::uint32_t>(i));
    list.HostAnnounced("G3", Pc("PC"), 60'000, kStart + 30s);
    list.HostAnnounced("WORKGROUP", Pc("OURS"), 60'000, kStart + 31s);
    EXPECT_EQ(list.RecentWorkgroups(4, kStart + 32s),
              (std::vector<std::string>{"G3", "G19", "G18", "G17"}));
}

} // namespace
} // namespace kestrola::platform
