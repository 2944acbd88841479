#include "platform/MailslotRegistry.h"

#include <gtest/gtest.h>
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

TEST(MailslotRegistry, DropsTheOldestWhenFullAndCountsIt) {
    auto registry = std::make_shared<MailslotRegistry>();
    auto reader = registry->Create("MESSNGR");
    const std::size_t total = MailslotRegistry::kQueueBound + 44;
    for (std::size_t i = 0; i < total; ++i)
        registry->File("MESSNGR", std::to_string(i), {});
    const MailslotCounters counters = reader->Counters();
    EXPECT_EQ(counters.filed, total);
    EXPECT_EQ(counters.dropped, 44u);
    EXPECT_EQ(counters.waiting, MailslotRegistry::kQueueBound);
    // The newest stay, in order.
    for (std::size_t i = 44; i < total; ++i)
        ASSERT_EQ(ReadNext(*reader), std::to_string(i));
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
