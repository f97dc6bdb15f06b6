#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files/StdFileSystem.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

struct StdFileSystemTest : ::testing::Test {
    TempDir temp{"serbox-fs"};
    std::string Path(const char* name) { return platform::Utf8FromPath(temp.path / name); }
    platform::StdFileSystem files;
};

TEST_F(StdFileSystemTest, AppendsReadsPastFourGigabytesTruncatesAndDeletes)
{
    const std::string p = Path("a.src");
    ASSERT_TRUE(files.CreateEmpty(p));
    for (const char* chunk : {"ab", "cd"}) {
        auto f = files.OpenWrite(p);
        ASSERT_TRUE(f && f->SeekEnd() && f->Write(chunk, 2));
        ASSERT_TRUE(chunk[0] == 'c' || f->Close());  // the other one closed by its destructor
    }
    auto r = files.OpenRead(p);
    ASSERT_TRUE(r && r->Seek(1));
    char buf[8] = {};
    EXPECT_EQ(r->Read(buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "bcd");
    ASSERT_TRUE(r->Seek((uint64_t{1} << 32) + 1));  // cut to 32 bits it would read "bcd" again
    EXPECT_EQ(r->Read(buf, sizeof buf), 0u);
    EXPECT_FALSE(r->Failed());
    r.reset();
    ASSERT_TRUE(files.CreateEmpty(p));
    EXPECT_EQ(fs::file_size(temp.path / "a.src"), 0u);
    EXPECT_TRUE(files.Delete(p));
    EXPECT_FALSE(files.Exists(p));
}

TEST_F(StdFileSystemTest, MissingFilesAndFoldersAreRefused)
{
    // A folder is no stored file.
    const std::vector<bool> refused{files.Exists(Path("none")), !!files.OpenRead(Path("none")),
                                    !!files.OpenWrite(Path("none")), !!files.OpenRead(platform::Utf8FromPath(temp.path)),
                                    files.CreateEmpty(Path("no-such-folder/x.hdr")), files.Exists("")};
    EXPECT_EQ(refused, std::vector<bool>(6, false));
}

// What "done" rests on: data and names stored, a file replaced in one step;
// each failure says the system's reason.
TEST_F(StdFileSystemTest, SyncsAndReplacesAndTellsWhyNot)
{
    const std::string a = Path("a.hdr"), b = Path("b.hdr");
    ASSERT_TRUE(files.AppendWhole(a, "new", "") && files.CreateEmpty(b));
    std::string why[6];
    EXPECT_EQ(std::vector<bool>({files.Sync(a, why[0]), files.Rename(a, b, why[1]), files.SyncFolder(b, why[2]),
                                 files.Sync(a, why[3]), files.Rename(a, b, why[4]), files.SyncFolder(a + "/x", why[5])}),
              std::vector<bool>({true, true, true, false, false, false}));
    EXPECT_EQ(fs::file_size(temp.path / "b.hdr"), 3u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(why[i].empty(), i < 3) << i;
}

#ifdef _WIN32
// The journal lives in the local profile; one left in the roaming profile (here
// the folder itself) by an earlier version comes over once, never over a journal there.
TEST_F(StdFileSystemTest, TheRoamingJournalIsCarriedOverOnce)
{
    ASSERT_EQ(::_wputenv_s(L"LOCALAPPDATA", (temp.path / "local").c_str()) + ::_wputenv_s(L"APPDATA", temp.path.c_str()), 0);
    const fs::path old = temp.path / "serbox" / "journal.csv", now = temp.path / "local" / "serbox" / "journal.csv";
    const auto write = [](const fs::path& p, const char* text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    };
    const auto read = [](const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    write(old, "old lines\n");
    EXPECT_EQ(fs::path(platform::UserDataPath("journal.csv")), now);
    EXPECT_EQ(std::pair(read(now), fs::exists(old.parent_path())), std::pair(std::string("old lines\n"), false));
    write(old, "an older copy\n");
    write(now, "new lines\n");
    platform::UserDataPath("journal.csv");
    EXPECT_EQ(std::pair(read(now), read(old)), std::pair(std::string("new lines\n"), std::string("an older copy\n")));
}
#endif
