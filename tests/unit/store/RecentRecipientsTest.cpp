#include "store/RecentRecipients.h"

#include "platform/linux/LinuxCodePage.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using Names = std::vector<std::string>;

class RecentRecipientsTest : public ::testing::Test {
protected:
    std::unique_ptr<platform::LinuxCodePage> m_page = platform::LinuxCodePage::Create(850);
    RecentRecipients m_list{*m_page};
};

TEST_F(RecentRecipientsTest, EighthNamePushesOutTheOldest) {
    for (const char* name : {"A", "B", "C", "D", "E", "F", "G"})
        m_list.AddRecentRecipient(name, 7);
    m_list.AddRecentRecipient("C", 7);
    EXPECT_EQ(m_list.SaveRecentRecipients(), (Names{"A", "B", "C", "D", "E", "F", "G"}))
        << "a known name keeps its place";
    m_list.AddRecentRecipient("H", 7);
    EXPECT_EQ(m_list.SaveRecentRecipients(), (Names{"B", "C", "D", "E", "F", "G", "H"}));
}

TEST_F(RecentRecipientsTest, ComparesAsHandedOverAndStoresUpperCase) {
    m_list.AddRecentRecipient("PC1", 7);
    m_list.AddRecentRecipient("pc1", 7);
    m_list.AddRecentRecipient("Jürgen", 7);
    EXPECT_EQ(m_list.SaveRecentRecipients(), (Names{"PC1", "PC1", "JÜRGEN"}));
    m_list.AddRecentRecipient("JÜRGEN", 7);
    EXPECT_EQ(m_list.SaveRecentRecipients().size(), 3u);
}

TEST_F(RecentRecipientsTest, StoredListIsShownWholeUntilTheNextSend) {
    const Names stored{"N0", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8", "N8"};
    m_list.LoadRecentRecipients(stored);
    EXPECT_EQ(m_list.SaveRecentRecipients(), stored);
    m_list.AddRecentRecipient("N5", 7);
    EXPECT_EQ(m_list.SaveRecentRecipients(), (Names{"N3", "N4", "N5", "N6", "N7", "N8", "N8"}));
}

TEST_F(RecentRecipientsTest, CapOfZeroOrBelowEmptiesTheList) {
    m_list.LoadRecentRecipients({"A", "B"});
    m_list.AddRecentRecipient("C", 0);
    EXPECT_TRUE(m_list.SaveRecentRecipients().empty());
    m_list.AddRecentRecipient("D", -3);
    EXPECT_TRUE(m_list.SaveRecentRecipients().empty());
}

} // namespace
} // namespace kestrola::core
