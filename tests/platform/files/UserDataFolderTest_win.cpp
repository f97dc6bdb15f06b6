#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/files/StdFileSystem.h"
#include "tests/support/TempDir.h"

namespace {

std::string Read(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void Write(const std::filesystem::path& p, const std::string& text)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

}  // namespace

// The journal lives in the local profile; one left in the roaming profile by an
// earlier version comes over once, and never over a journal already there.
TEST(UserDataFolder, TheRoamingJournalIsCarriedOverOnce)
{
    TempDir local("serbox-local"), roaming("serbox-roaming");
    ASSERT_EQ(::_wputenv_s(L"LOCALAPPDATA", local.path.c_str()), 0);
    ASSERT_EQ(::_wputenv_s(L"APPDATA", roaming.path.c_str()), 0);
    const auto old = roaming.path / "serbox" / "journal.csv", now = local.path / "serbox" / "journal.csv";
    Write(old, "old lines\n");

    EXPECT_EQ(std::filesystem::path(platform::UserDataPath("journal.csv")), now);
    EXPECT_EQ(Read(now), "old lines\n");
    EXPECT_FALSE(std::filesystem::exists(old.parent_path()));

    Write(old, "an older copy\n");
    Write(now, "new lines\n");
    platform::UserDataPath("journal.csv");
    EXPECT_EQ(std::pair(Read(now), Read(old)), std::pair(std::string("new lines\n"), std::string("an older copy\n")));
}
