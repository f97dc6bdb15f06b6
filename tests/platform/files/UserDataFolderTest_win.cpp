#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/files/StdFileSystem.h"
#include "tests/support/TempDir.h"

// The journal lives in the local profile; one left in the roaming profile by an
// earlier version comes over once, and never over a journal already there.
TEST(UserDataFolder, TheRoamingJournalIsCarriedOverOnce)
{
    TempDir local("serbox-local"), roaming("serbox-roaming");
    ASSERT_EQ(::_wputenv_s(L"LOCALAPPDATA", local.path.c_str()) + ::_wputenv_s(L"APPDATA", roaming.path.c_str()), 0);
    const auto old = roaming.path / "serbox" / "journal.csv", now = local.path / "serbox" / "journal.csv";
    const auto write = [](const std::filesystem::path& p, const char* text) {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    };
    const auto read = [](const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    write(old, "old lines\n");
    EXPECT_EQ(std::filesystem::path(platform::UserDataPath("journal.csv")), now);
    EXPECT_EQ(std::pair(read(now), std::filesystem::exists(old.parent_path())), std::pair(std::string("old lines\n"), false));

    write(old, "an older copy\n");
    write(now, "new lines\n");
    platform::UserDataPath("journal.csv");
    EXPECT_EQ(std::pair(read(now), read(old)), std::pair(std::string("new lines\n"), std::string("an older copy\n")));
}
