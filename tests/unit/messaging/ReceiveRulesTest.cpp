#include "messaging/ReceiveRules.h"

#include "platform/linux/LinuxCodePage.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

TEST(ReceiveRules, PersonalOnlyForTheLocalName) {
    const auto page = platform::LinuxCodePage::Create(850);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsPersonal(*page, "PC1", "PC1"));
    EXPECT_TRUE(IsPersonal(*page, "pc1", "PC1"));
    EXPECT_TRUE(IsPersonal(*page, "jürgen", "JÜRGEN"));
    for (const char* group : {"WORKGROUP", "*", "PC12", "//Error", ""})
        EXPECT_FALSE(IsPersonal(*page, group, "PC1")) << group;
}

MessageRecord Datagram(const std::string& bytes) {
    MessageRecord r;
    r.SetBody(bytes);
    return r;
}

TEST(DuplicateDetector, WindowOfTicks) {
    const MessageRecord a = Datagram(std::string("A\0B\0hi\0", 7));
    const MessageRecord b = Datagram(std::string("A\0B\0ho\0", 7));

    DuplicateDetector standard(2);
    EXPECT_FALSE(standard.IsDuplicate(a));
    standard.Tick();
    EXPECT_TRUE(standard.IsDuplicate(a)) << "next tick: inside the window";
    EXPECT_FALSE(standard.IsDuplicate(b));
    for (int i = 0; i < 2; ++i)
        standard.Tick();
    EXPECT_TRUE(standard.IsDuplicate(b)) << "two ticks later: still open";
    for (int i = 0; i < 3; ++i)
        standard.Tick();
    EXPECT_FALSE(standard.IsDuplicate(b)) << "three ticks later: closed";

    DuplicateDetector never(0);
    EXPECT_FALSE(never.IsDuplicate(a));
    never.Tick();
    EXPECT_FALSE(never.IsDuplicate(a));

    DuplicateDetector forever(255);
    EXPECT_FALSE(forever.IsDuplicate(a));
    for (int i = 0; i < 1000; ++i)
        forever.Tick();
    EXPECT_TRUE(forever.IsDuplicate(a));
}

} // namespace
} // namespace kestrola::core
