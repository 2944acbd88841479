#include "store/RecentRecipients.h"

#include "platform/linux/LinuxCodePage.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using Names = std::vector<std::string>;

TEST(RecentRecipients, KeepsSevenUpperCasedNamesInOrderOfFirstSend) {
    const auto page = platform::LinuxCodePage::Create(850);
    RecentRecipients list(*page);
    for (const char* name : {"A", "B", "c", "D", "E", "F", "G"})
        list.AddRecentRecipient(name, 7);
    list.AddRecentRecipient("C", 7);
    EXPECT_EQ(list.SaveRecentRecipients(), (Names{"A", "B", "C", "D", "E", "F", "G"}))
        << "a known name keeps its place";
    for (const char* name : {"g", "Jürgen", "JÜRGEN"}) // compared as handed over, stored upper
        list.AddRecentRecipient(name, 7);
    EXPECT_EQ(list.SaveRecentRecipients(), (Names{"C", "D", "E", "F", "G", "G", "JÜRGEN"}));

    // A stored list is shown whole until the next send.
    const Names stored{"N0", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8", "N8"};
    list.LoadRecentRecipients(stored);
    EXPECT_EQ(list.SaveRecentRecipients(), stored);
    list.AddRecentRecipient("N5", 7);
    EXPECT_EQ(list.SaveRecentRecipients(), (Names{"N3", "N4", "N5", "N6", "N7", "N8", "N8"}));
    list.AddRecentRecipient("X", 0);
    EXPECT_TRUE(list.SaveRecentRecipients().empty()) << "a cap of zero empties the list";
}

} // namespace
} // namespace kestrola::core
