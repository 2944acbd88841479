#include "platform/netbios/MailslotRegistry.h"

#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace kestrola::platform {
namespace {

std::string ReadNext(MailslotReader& reader, std::size_t capacity = 2048,
                     DatagramOrigin* origin = nullptr) {
    std::string buffer(capacity, '\0');
    std::size_t got = 0;
    EXPECT_TRUE(reader.Read(buffer.data(), buffer.size(), got, origin));
    buffer.resize(got);
    return buffer;
}

TEST(MailslotRegistry, FilesByNameIgnoringCase) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto messenger = registry->Create("MESSNGR");
    auto browse = registry->Create("BROWSE");
    auto lanman = registry->Create("lanman");
    ASSERT_TRUE(messenger && browse && lanman);
    EXPECT_EQ(registry->Create("messngr"), nullptr) << "the name is taken, whatever its case";

    DatagramOrigin origin;
    origin.sourceName = "PC1<00>";
    EXPECT_TRUE(registry->File("messngr", "hello", origin));
    EXPECT_TRUE(registry->File("BROWSE", "announce", {}));
    EXPECT_TRUE(registry->File("LanMan", "old announce", {}));
    EXPECT_FALSE(registry->File("NETLOGON", "nobody", {}));
    EXPECT_EQ(registry->Unclaimed(), 1u);

    std::uint32_t nextSize = 0;
    std::uint32_t count = 0;
    ASSERT_TRUE(messenger->GetInfo(nextSize, count));
    EXPECT_EQ(nextSize, 5u);
    EXPECT_EQ(count, 1u);
    DatagramOrigin got;
    EXPECT_EQ(ReadNext(*messenger, 2048, &got), "hello");
    EXPECT_EQ(got.sourceName, "PC1<00>");
    EXPECT_EQ(ReadNext(*browse), "announce");
    EXPECT_EQ(ReadNext(*lanman), "old announce");
    ASSERT_TRUE(messenger->GetInfo(nextSize, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(nextSize, 0u);
    std::size_t n = 99;
    char byte;
    EXPECT_FALSE(messenger->Read(&byte, 1, n, nullptr)) << "nothing waits";
    EXPECT_EQ(n, 0u);
}

// One source cannot push out the others: it holds at most its share, a full queue loses the
// oldest message of the largest holder, and the drops are told per source once the episode
// is over.
TEST(MailslotRegistry, EachSourceKeepsItsShareAndDropsAreToldPerSource) {
    using Counts = std::map<std::uint32_t, std::uint64_t>;
    struct Case {
        std::vector<std::pair<std::uint32_t, int>> bursts; // source, messages
        Counts waiting, dropped;
    };
    const std::uint64_t share = MailslotRegistry::kSourceShare;
    const Case cases[] = {{{{1, 300}}, {{1, share}}, {{1, 300 - share}}},
                          {{{2, 3}, {1, 1000}}, {{1, share}, {2, 3}}, {{1, 1000 - share}}},
                          {{{1, 64}, {2, 64}, {3, 64}, {4, 64}, {5, 64}},
                           {{1, 51}, {2, 51}, {3, 51}, {4, 51}, {5, 52}},
                           {{1, 13}, {2, 13}, {3, 13}, {4, 13}, {5, 12}}}};
    for (const Case& c : cases) {
        auto registry = std::make_shared<MailslotRegistry>();
        auto reader = registry->Create("MESSNGR");
        std::uint64_t total = 0;
        for (const auto& [source, count] : c.bursts) {
            for (int i = 0; i < count; ++i, ++total) {
                DatagramOrigin origin;
                origin.sourceAddress = source;
                registry->File("MESSNGR", std::to_string(i), origin);
            }
        }
        EXPECT_TRUE(reader->TakeDropEpisode().empty()) << "the episode is still going on";
        Counts told;
        for (const SourceDrops& d : reader->TakeDropEpisode())
            told[d.address] = d.dropped;
        EXPECT_EQ(told, c.dropped);
        EXPECT_TRUE(reader->TakeDropEpisode().empty()) << "an episode is told once";
        EXPECT_EQ(reader->Counters().filed, total);
        // What stays of each source is its newest messages, in order.
        Counts waiting;
        std::map<std::uint32_t, int> next;
        DatagramOrigin origin;
        std::string buffer(16, '\0');
        std::size_t got = 0;
        while (reader->Read(buffer.data(), buffer.size(), got, &origin)) {
            const std::uint32_t source = origin.sourceAddress;
            const int number = std::stoi(buffer.substr(0, got));
            if (waiting[source]++ != 0) {
                EXPECT_EQ(number, next[source]) << source;
            }
            next[source] = number + 1;
        }
        for (const auto& [source, count] : c.bursts)
            EXPECT_EQ(next[source], count) << "the newest of " << source << " is kept";
        EXPECT_EQ(waiting, c.waiting);
        // Messages read no longer count against their source's share.
        const std::uint64_t dropped = reader->Counters().dropped;
        for (std::uint64_t i = 0; i < share; ++i)
            registry->File("MESSNGR", "again", origin);
        EXPECT_EQ(reader->Counters().dropped, dropped);
    }
}

// A flood from forged addresses is told as its first sources one by one and the rest together.
TEST(MailslotRegistry, AnEpisodeNamesItsFirstSourcesAndCountsTheRestTogether) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto reader = registry->Create("MESSNGR");
    const std::uint32_t sources = MailslotRegistry::kMaxDropSources + 3;
    for (std::uint32_t source = 1; source <= sources; ++source) {
        DatagramOrigin origin;
        origin.sourceAddress = source;
        for (std::size_t i = 0; i <= MailslotRegistry::kSourceShare; ++i)
            registry->File("MESSNGR", "x", origin);
    }
    reader->TakeDropEpisode();
    std::map<std::uint32_t, std::uint64_t> told;
    for (const SourceDrops& d : reader->TakeDropEpisode())
        told[d.address] += d.dropped;
    EXPECT_EQ(told.size(), MailslotRegistry::kMaxDropSources + 1);
    EXPECT_EQ(told.count(0), 1u) << "the rest, together";
    std::uint64_t dropped = 0;
    for (const auto& [address, count] : told)
        dropped += count;
    EXPECT_EQ(dropped,
              sources * (MailslotRegistry::kSourceShare + 1) - MailslotRegistry::kQueueBound);
}

TEST(MailslotRegistry, ReadCutsToTheBufferAndTakesTheWholeMessage) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto reader = registry->Create("M");
    registry->File("M", std::string(3000, 'x'), {});
    registry->File("M", "next", {});
    EXPECT_EQ(ReadNext(*reader, 1024), std::string(1024, 'x'));
    EXPECT_EQ(ReadNext(*reader, 1024), "next");
}

TEST(MailslotRegistry, ClosingFreesTheName) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto reader = registry->Create("MESSNGR");
    registry->File("MESSNGR", "left behind", {});
    reader.reset();
    EXPECT_FALSE(registry->Has("MESSNGR"));
    EXPECT_FALSE(registry->File("MESSNGR", "after close", {}));
    reader = registry->Create("MESSNGR");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Counters().waiting, 0u) << "a new mailslot starts empty";
}

TEST(MailslotRegistry, FilingThreadAndReaderShareTheQueue) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto reader = registry->Create("MESSNGR");
    constexpr int kMessages = 20000;
    std::thread filer([&] {
        for (int i = 0; i < kMessages; ++i)
            registry->File("MESSNGR", std::to_string(i), {});
    });
    std::uint64_t read = 0;
    int last = -1;
    bool ordered = true;
    auto drain = [&] {
        std::uint32_t size = 0;
        std::uint32_t count = 0;
        while (reader->GetInfo(size, count) && count > 0) {
            const int value = std::stoi(ReadNext(*reader));
            ordered = ordered && value > last;
            last = value;
            ++read;
        }
    };
    while (reader->Counters().filed < kMessages)
        drain();
    filer.join();
    drain();
    const MailslotCounters counters = reader->Counters();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(counters.filed, static_cast<std::uint64_t>(kMessages));
    EXPECT_EQ(read + counters.dropped, counters.filed) << "every message read or counted";
    EXPECT_EQ(last, kMessages - 1) << "the newest is never dropped";
}

} // namespace
} // namespace kestrola::platform
