#include "platform/BrowseList.h"

#include <gtest/gtest.h>

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
    const Case cases[] = {
        {60'000, 180s},
        {720'000, 36min},
        {0, 180s},        // a zero is taken as the shortest periodicity
        {1'000, 180s},    // so is anything shorter
        {0xFFFFFFFF, 3h}, // and anything over an hour as an hour
        {15 * 60'000, 45min},
    };
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

TEST(BrowseListTest, ExpireForgetsWhatHasExpired) {
    BrowseList list;
    list.HostAnnounced("A", Pc("PC1"), 60'000, kStart);
    list.HostAnnounced("A", Pc("PC2"), 600'000, kStart);
    list.Expire(kStart + 180s);
    EXPECT_EQ(list.ComputerCount(), 1u);
    EXPECT_EQ(Shown(list, kStart + 180s), std::vector<std::string>{"A: PC2"});
}

TEST(BrowseListTest, AFullListTakesNoNewNamesButKeepsRefreshing) {
    BrowseList list;
    for (std::size_t i = 0; i < BrowseList::kMaxComputers; ++i)
        list.HostAnnounced("FLOOD", Pc("PC" + std::to_string(i)), 60'000, kStart);
    ASSERT_EQ(list.ComputerCount(), BrowseList::kMaxComputers);
    list.HostAnnounced("FLOOD", Pc("NEWCOMER"), 60'000, kStart + 1s);
    list.HostAnnounced("FLOOD", Pc("PC0"), 600'000, kStart + 1s);
    EXPECT_EQ(list.ComputerCount(), BrowseList::kMaxComputers);
    // When the others expire, PC0 (refreshed) is still there and new names fit again.
    list.HostAnnounced("FLOOD", Pc("NEWCOMER"), 60'000, kStart + 200s);
    EXPECT_EQ(Shown(list, kStart + 200s), std::vector<std::string>{"FLOOD: NEWCOMER PC0"});
}

TEST(BrowseListTest, WorkgroupsAreBoundedToo) {
    BrowseList list;
    for (std::size_t i = 0; i < BrowseList::kMaxWorkgroups + 10; ++i)
        list.WorkgroupAnnounced("G" + std::to_string(i), "", 60'000, kStart);
    EXPECT_EQ(list.Snapshot(kStart).size(), BrowseList::kMaxWorkgroups);
}

} // namespace
} // namespace kestrola::platform
