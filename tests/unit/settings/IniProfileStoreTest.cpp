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

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class IniProfileStoreTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir.File("kestrola-net.INI"); }

    testing::TempDir m_dir;
};

TEST_F(IniProfileStoreTest, MissingFileReadsDefaultsAndFirstWriteCreatesItsFolder) {
    const std::string nested = m_dir.File("Ovrin software/Kestrola NET.conf");
    IniProfileStore store(nested);
    EXPECT_EQ(store.ReadInt("S", "k", 17), 17);
    EXPECT_FALSE(testing::FileExists(m_dir.File("Ovrin software"))) << "reading creates nothing";
    EXPECT_TRUE(store.WriteString("S", "k", "v"));
    EXPECT_EQ(ReadFileBytes(nested), "[S]\nk=v\n");
}

TEST_F(IniProfileStoreTest, EmptyValueReadsAsDefaultForIntegersOnly) {
    WriteFileBytes(path(), "[S]\nn=\nq=\"\"\n");
    const IniProfileStore store(path());
    EXPECT_EQ(store.ReadInt("S", "n", 9), 9);
    EXPECT_EQ(store.ReadInt("S", "q", 9), 9);
    EXPECT_EQ(store.ReadString("S", "n", "d"), "");
}

TEST_F(IniProfileStoreTest, UnreadableStoresGiveDefaultsAndAreNeverOverwritten) {
    // A folder where the file should be cannot be read or replaced by a file.
    std::filesystem::create_directory(path());
    IniProfileStore folder(path());
    EXPECT_EQ(folder.ReadInt("S", "k", 3), 3);
    EXPECT_FALSE(folder.WriteInt("S", "k", 1));
    EXPECT_FALSE(folder.Error().empty());
    EXPECT_TRUE(std::filesystem::is_directory(path()));

    // Above the size limit the file is treated as unreadable and left alone.
    const std::string huge = m_dir.File("huge.INI");
    WriteFileBytes(huge, "[S]\nk=1\n");
    std::filesystem::resize_file(huge, IniProfileStore::kMaxFileSize + 1);
    IniProfileStore big(huge);
    EXPECT_EQ(big.ReadInt("S", "k", 3), 3);
    EXPECT_FALSE(big.WriteInt("S", "k", 2));
    EXPECT_EQ(std::filesystem::file_size(huge), IniProfileStore::kMaxFileSize + 1);
    EXPECT_EQ(FolderEntries(m_dir.path()),
              (std::vector<std::string>{"huge.INI", "kestrola-net.INI"}));
}

TEST_F(IniProfileStoreTest, BinaryJunkGivesDefaults) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919 + 13) % 256);
    WriteFileBytes(path(), junk);
    IniProfileStore store(path());
    EXPECT_EQ(store.ReadInt("SystemSettings", "FlatButtons", 1), 1);
    EXPECT_EQ(store.ReadString("SendRecervieSettings", "BaseFileName", "Murmeli.msg"),
              "Murmeli.msg");
    EXPECT_TRUE(store.WriteInt("SystemSettings", "FlatButtons", 0));
    EXPECT_EQ(store.ReadInt("SystemSettings", "FlatButtons", 1), 0);
}

TEST_F(IniProfileStoreTest, FailedWriteLeavesTheOldFileWhole) {
    std::string content = "[S]\n";
    for (int i = 0; i < 200; ++i)
        content += "key" + std::to_string(i) + "=value\n";
    WriteFileBytes(path(), content);
    IniProfileStore store(path());
    {
        testing::FileSizeLimit full(content.size() / 2);
        EXPECT_FALSE(store.WriteString("S", "key7", "changed"));
    }
    EXPECT_EQ(ReadFileBytes(path()), content);
    EXPECT_EQ(FolderEntries(m_dir.path()), std::vector<std::string>{"kestrola-net.INI"})
        << "no temporary file is left behind";
}

TEST_F(IniProfileStoreTest, FailedFirstWriteLeavesNoFile) {
    IniProfileStore store(path());
    {
        testing::FileSizeLimit full(4);
        EXPECT_FALSE(store.WriteString("SystemSettings", "CurrentVersion", "1.0"));
    }
    EXPECT_TRUE(FolderEntries(m_dir.path()).empty());
}

TEST_F(IniProfileStoreTest, WriteFailsWhileAnotherWriterHoldsTheFile) {
    WriteFileBytes(path(), "[S]\nk=1\n");
    platform::File holder;
    ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
    IniProfileStore store(path());
    EXPECT_FALSE(store.WriteInt("S", "k", 2));
    holder.Close();
    EXPECT_EQ(ReadFileBytes(path()), "[S]\nk=1\n");
}

TEST_F(IniProfileStoreTest, UnchangedValueDoesNotRewriteTheFile) {
    WriteFileBytes(path(), "[S]\r\nk = \"1\"\r\n");
    const ino_t before = Inode(path());
    IniProfileStore store(path());
    EXPECT_TRUE(store.WriteInt("s", "K", 1));
    EXPECT_EQ(Inode(path()), before);
    EXPECT_EQ(ReadFileBytes(path()), "[S]\r\nk = \"1\"\r\n");
}

TEST_F(IniProfileStoreTest, SymbolicLinkStaysALink) {
    const std::string real = m_dir.File("real.INI");
    WriteFileBytes(real, "[S]\nk=1\n");
    std::filesystem::create_symlink(real, path());
    IniProfileStore store(path());
    EXPECT_TRUE(store.WriteInt("S", "k", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(path()));
    EXPECT_EQ(ReadFileBytes(real), "[S]\nk=2\n");
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
}

TEST_F(IniProfileStoreTest, FailedBatchStoresNothing) {
    WriteFileBytes(path(), "[S]\na=1\n");
    IniProfileStore store(path());
    platform::File holder;
    {
        ProfileStore::Batch batch(store);
        store.WriteInt("S", "a", 2);
        store.WriteInt("S", "b", 3);
        ASSERT_TRUE(holder.Open(path(), platform::FileMode::ReadWriteExclusive));
        EXPECT_FALSE(batch.End());
    }
    holder.Close();
    EXPECT_EQ(ReadFileBytes(path()), "[S]\na=1\n");
    EXPECT_EQ(store.ReadInt("S", "a", 0), 1) << "the batch's copy is gone";
}

TEST_F(IniProfileStoreTest, RefusedNamesAndValuesLeaveTheFile) {
    WriteFileBytes(path(), "[S]\nk=1\n");
    IniProfileStore store(path());
    EXPECT_FALSE(store.WriteString("S", "k", "a\n[Injected]\nx=1"));
    EXPECT_FALSE(store.WriteString("S", "a=b", "1"));
    EXPECT_EQ(ReadFileBytes(path()), "[S]\nk=1\n");
}

} // namespace
} // namespace kestrola::core
