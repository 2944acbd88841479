#include "store/RecentRecipients.h"

#include "platform/linux/LinuxCodePage.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using Names = std::vector<std::string>;

TEST(RecentRecipients, NamesAreComparedAsHandedOverAndStoredUpperCased) {
    const auto page = platform::LinuxCodePage::Create(850);
    RecentRecipients list(*page);
    // A stored list is shown whole, upper-cased, until the next send.
    list.LoadRecentRecipients({"N0", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "jürgen"});
    EXPECT_EQ(list.SaveRecentRecipients(),
              (Names{"N0", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "JÜRGEN"}));
    for (const char* name : {"N5", "n6", "Jürgen"})
        list.AddRecentRecipient(name, 7);
    EXPECT_EQ(list.SaveRecentRecipients(),
              (Names{"N4", "N5", "N6", "N7", "JÜRGEN", "N6", "JÜRGEN"}));
    list.AddRecentRecipient("X", -3);
    EXPECT_TRUE(list.SaveRecentRecipients().empty()) << "a negative length keeps none";
}

} // namespace
} // namespace kestrola::core
