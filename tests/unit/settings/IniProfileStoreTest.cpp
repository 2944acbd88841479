#include "settings/IniProfileStore.h"

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "platform/File.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kestrola::core {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

class IniProfileStoreTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("kestrola-net.INI"); }
    long Entries() const {
        return std::distance(std::filesystem::directory_iterator(m_dir.path()), {});
    }

    testing::TempDir m_dir;
};

TEST_F(IniProfileStoreTest, MissingFileReadsDefaultsAndFirstWriteCreatesItsFolder) {
    const std::string nested = m_dir.File("Ovrin software/Kestrola NET.conf");
    IniProfileStore store(nested);
    EXPECT_EQ(store.ReadInt("S", "k", 17), 17);
    EXPECT_FALSE(testing::FileExists(m_dir.File("Ovrin software"))) << "reading creates nothing";
    EXPECT_TRUE(store.WriteString("S", "k", "v"));
    EXPECT_EQ(ReadFileBytes(nested), "[S]\nk=v\n");

    WriteFileBytes(path(), "[S]\nn=\nq=\"\"\n");
    const IniProfileStore empty(path());
    EXPECT_EQ(empty.ReadInt("S", "n", 9), 9) << "empty reads as the default for integers only";
    EXPECT_EQ(empty.ReadInt("S", "q", 9), 9);
    EXPECT_EQ(empty.ReadString("S", "n", "d"), "");
}

TEST_F(IniProfileStoreTest, UnreadableStoresGiveDefaultsAndAreNeverOverwritten) {
    std::filesystem::create_directory(path()); // a folder where the file should be
    IniProfileStore folder(path());
    EXPECT_EQ(folder.ReadInt("S", "k", 3), 3);
    EXPECT_FALSE(folder.WriteInt("S", "k", 1));
    EXPECT_FALSE(folder.Error().empty());
    EXPECT_TRUE(std::filesystem::is_directory(path()));

    const std::string huge = m_dir.File("huge.INI"); // above the size limit
    WriteFileBytes(huge, "[S]\nk=1\n");
    std::filesystem::resize_file(huge, IniProfileStore::kMaxFileSize + 1);
    IniProfileStore big(huge);
    EXPECT_EQ(big.ReadInt("S", "k", 3), 3);
    EXPECT_FALSE(big.WriteInt("S", "k", 2));
    EXPECT_EQ(std::filesystem::file_size(huge), IniProfileStore::kMaxFileSize + 1);
    EXPECT_EQ(Entries(), 2) << "no temporary left";
}

TEST_F(IniProfileStoreTest, FailedWritesLeaveTheOldFileWhole) {
    std::string content = "[S]\n";
    for (int i = 0; i < 200; ++i)
        content += "key" + std::to_string(i) + "=value\n";
    IniProfileStore fresh(path());
    {
        testing::FileSizeLimit full(4);
        EXPECT_FALSE(fresh.WriteString("S", "k", "1.0"));
    }
    EXPECT_EQ(Entries(), 0) << "a failed first write leaves no file";
    WriteFileBytes(path(), content);
    IniProfileStore store(path());
    {
        testing::FileSizeLimit full(content.size() / 2);
        EXPECT_FALSE(store.WriteString("S", "key7", "changed"));
    }
    EXPECT_FALSE(store.WriteString("S", "k", "a\n[Injected]\nx=1"));
    EXPECT_FALSE(store.WriteString("S", "a=b", "1"));
    EXPECT_FALSE(store.WriteInt("S", "a=b", 1));
    platform::File holder;
    ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
    EXPECT_FALSE(store.WriteInt("S", "key1", 2)) << "another writer holds the file";
    holder.Close();
    EXPECT_EQ(ReadFileBytes(path()), content);
    EXPECT_EQ(Entries(), 1) << "no temporary left";
}

TEST_F(IniProfileStoreTest, UnchangedValueDoesNotRewriteAndALinkStaysALink) {
    const std::string real = m_dir.File("real.INI");
    WriteFileBytes(real, "[S]\r\nk = \"1\"\r\n");
    std::filesystem::create_symlink(real, path());
    struct stat before {
    }, after{};
    ::stat(real.c_str(), &before);
    IniProfileStore store(path());
    EXPECT_TRUE(store.WriteInt("s", "K", 1));
    ::stat(real.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFileBytes(real), "[S]\r\nk = \"1\"\r\n");
    EXPECT_TRUE(store.WriteInt("S", "k", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(path()));
    EXPECT_EQ(ReadFileBytes(real), "[S]\nk = 2\n");
}

TEST_F(IniProfileStoreTest, BatchStoresItsWritesTogetherOverLaterChanges) {
    WriteFileBytes(path(), "[S]\na=1\nb=1\n");
    IniProfileStore store(path());
    store.BeginBatch();
    EXPECT_TRUE(store.WriteInt("S", "a", 2));
    EXPECT_TRUE(store.WriteInt("T", "c", 3));
    EXPECT_EQ(store.ReadInt("S", "a", 0), 2) << "reads see the batch's own writes";
    EXPECT_EQ(ReadFileBytes(path()), "[S]\na=1\nb=1\n") << "nothing stored before the end";
    WriteFileBytes(path(), "[S]\na=1\nb=5\n"); // another tool changes another key meanwhile
    store.BeginBatch();                        // nested batches end with the outermost
    EXPECT_TRUE(store.EndBatch());
    EXPECT_EQ(ReadFileBytes(path()), "[S]\na=1\nb=5\n");
    EXPECT_TRUE(store.EndBatch());
    EXPECT_EQ(ReadFileBytes(path()), "[S]\na=2\nb=5\n\n[T]\nc=3\n");

    platform::File holder;
    {
        ProfileStore::Batch batch(store);
        store.WriteInt("S", "a", 7);
        ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
        EXPECT_FALSE(batch.End());
    }
    holder.Close();
    EXPECT_EQ(ReadFileBytes(path()), "[S]\na=2\nb=5\n\n[T]\nc=3\n");
    EXPECT_EQ(store.ReadInt("S", "a", 0), 2) << "the failed batch's copy is gone";
}

} // namespace
} // namespace kestrola::core
