#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/StdFileSystem.h"

namespace fs = std::filesystem;

class StdFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("serbox-fs-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) { return (dir / name).string(); }
    fs::path dir;
    platform::StdFileSystem files;
};

TEST_F(StdFileSystemTest, AppendsWithoutTruncatingAndReadsBack)
{
    const std::string p = Path("a.src");
    ASSERT_TRUE(files.CreateEmpty(p));
    for (const char* chunk : {"ab", "cd"}) {
        auto f = files.OpenWrite(p);
        ASSERT_TRUE(f);
        ASSERT_TRUE(f->SeekEnd());
        ASSERT_TRUE(f->Write(chunk, 2));
        ASSERT_TRUE(f->Close());
    }
    auto r = files.OpenRead(p);
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->Seek(1));
    char buf[8] = {};
    EXPECT_EQ(r->Read(buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "bcd");
    EXPECT_FALSE(r->Failed());
}

TEST_F(StdFileSystemTest, OffsetsBeyondFourGigabytesAreNotCutShort)
{
    const std::string p = Path("c.src");
    ASSERT_TRUE(files.CreateEmpty(p));
    ASSERT_TRUE(files.OpenWrite(p)->Write("abc", 3));
    auto r = files.OpenRead(p);
    ASSERT_TRUE(r->Seek((uint64_t{1} << 32) + 1));  // cut to 32 bits it would be 1
    char buf[4];
    EXPECT_EQ(r->Read(buf, sizeof buf), 0u);
    EXPECT_FALSE(r->Failed());
}

TEST_F(StdFileSystemTest, MissingFilesAndFoldersAreRefused)
{
    EXPECT_FALSE(files.Exists(Path("none")));
    EXPECT_FALSE(files.OpenRead(Path("none")));
    EXPECT_FALSE(files.OpenWrite(Path("none")));
    EXPECT_FALSE(files.OpenRead(dir.string()));  // a folder is no stored file
    EXPECT_FALSE(files.CreateEmpty(Path("no-such-folder/x.hdr")));
    EXPECT_FALSE(files.Exists(""));
}

TEST_F(StdFileSystemTest, CreateEmptyTruncatesAndDeleteRemoves)
{
    const std::string p = Path("b.hdr");
    ASSERT_TRUE(files.CreateEmpty(p));
    {
        auto f = files.OpenWrite(p);
        ASSERT_TRUE(f->Write("xyz", 3));
    }  // closed by its destructor
    EXPECT_EQ(fs::file_size(p), 3u);
    ASSERT_TRUE(files.CreateEmpty(p));
    EXPECT_EQ(fs::file_size(p), 0u);
    EXPECT_TRUE(files.Delete(p));
    EXPECT_FALSE(files.Exists(p));
}
