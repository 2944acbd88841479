#include "platform/NaturalOrder.h"

#include "base/Text.h"

#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(NaturalOrderTest, OrdersNamesAsFileManagersDo) {
    const struct {
        const char* first;
        const char* second;
        int order;
    } cases[] = {
        {"", "", 0},
        {"", "a", -1},
        {"abc", "abc", 0},
        {"abc", "abd", -1},
        {"ab", "abc", -1},
        {"file9", "file10", -1},
        {"file 10", "file 9", 1},
        {"file10b", "file10a", 1},
        {"2", "10", -1},
        {"007", "7", 1},
        {"7", "007", -1},
        {"a7b", "a007a", 1}, // the letter after the number decides before the zeros do
        {"x00", "x0", 1},
        {"x0", "x", 1},
        {"99999999999999999999", "100000000000000000000", -1},
        {"123456789012345678901", "123456789012345678902", -1},
        {"9", "a", -1},
        {" ", "0", -1},
        {"B", "a", -1}, // case counts as given
        {"é", "f", 1},
        {"\xC3", "a", 1} // a broken character compares as U+FFFD
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sign(CompareNaturalOrder(c.first, c.second)), c.order)
            << '"' << c.first << "\" vs \"" << c.second << '"';
        EXPECT_EQ(Sign(CompareNaturalOrder(c.second, c.first)), -c.order)
            << '"' << c.second << "\" vs \"" << c.first << '"';
    }
}

TEST(NaturalOrderTest, AsciiLowerLeavesOtherBytesAlone) {
    EXPECT_EQ(core::AsciiLower("Server A-9 \xC3\x89Z"), "server a-9 \xC3\x89z");
}

} // namespace
} // namespace kestrola::platform
