#include "settings/StringListSection.h"

#include "TempDir.h"
#include "settings/IniProfileStore.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;
using List = std::vector<std::string>;

class StringListSectionTest : public ::testing::Test {
protected:
    List Load(const std::string& file) {
        WriteFileBytes(path(), file);
        IniProfileStore store(path());
        List list{"left over from before"};
        LoadStringList(store, list, kLastSended);
        return list;
    }
    std::string path() const { return m_dir.File("store.conf"); }

    testing::TempDir m_dir;
};

TEST_F(StringListSectionTest, CountBoundsWhatIsRead) {
    EXPECT_EQ(Load(""), List{});
    EXPECT_EQ(Load("[LastSended]\n0=A\n1=B\n"), List{}) << "no Count, no entries";
    EXPECT_EQ(Load("[LastSended]\nCount=3\n0=A\n2=C\n"), (List{"A", "", "C"}));
    EXPECT_EQ(Load("[LastSended]\nCount=2\n0=A\n1=B\n2=C\n3=D\n"), (List{"A", "B"}));
    EXPECT_EQ(Load("[LastSended]\nCount=-4\n0=A\n"), List{});
    EXPECT_EQ(Load("[LastSended]\nCount=2x\n0=A\n1=B\n"), (List{"A", "B"}));
    EXPECT_EQ(Load("[lastsended]\ncount=1\n0=  \"  PC1 \"  \n"), List{"  PC1 "});
    const List huge = Load("[LastSended]\nCount=2147483647\n0=A\n5000=Z\n");
    ASSERT_EQ(huge.size(), static_cast<std::size_t>(kStringListMaxCount));
    EXPECT_EQ(huge.front(), "A");
    EXPECT_EQ(huge.back(), "");
}

TEST_F(StringListSectionTest, SavingWritesCountAndEntriesAndLeavesTheRest) {
    WriteFileBytes(path(), "[LastSended]\nCount=5\n0=A\n1=B\n2=C\n3=D\n4=E\n");
    IniProfileStore store(path());
    EXPECT_TRUE(SaveStringList(store, {"X", "B"}, kLastSended));
    EXPECT_EQ(ReadFileBytes(path()), "[LastSended]\nCount=2\n0=X\n1=B\n2=C\n3=D\n4=E\n");
    EXPECT_TRUE(SaveStringList(store, {}, kLastSended));
    EXPECT_EQ(store.ReadInt("LastSended", "Count", 9), 0);

    const List entries{"PC1", " lead", "trail ", "\"quoted\"", "'single'", "", "a=b", "Jürgen"};
    StringListSection section(store, kPersonalizedSounds);
    EXPECT_TRUE(section.Save(entries));
    List loaded;
    section.Load(loaded);
    EXPECT_EQ(loaded, entries);

    // An entry the store cannot take fails the save; the storable part is written.
    EXPECT_FALSE(SaveStringList(store, {"B", "two\nlines"}, kLastSended));
    LoadStringList(store, loaded, kLastSended);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0], "B");
}

} // namespace
} // namespace kestrola::core
