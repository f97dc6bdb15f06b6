// serbox-listing beside what a reception writes, on the real file system, in a folder
// named with accents and spaces as technicians name their sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/files/StdFileSystem.h"
#include "receive/Reception.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tools/ListingTool.h"
#include "transmit/Transmission.h"

namespace fs = std::filesystem;

namespace {

const std::string kHdr6 = ClassHeader('T', ' ', '0', ' '), kSrc = "AB\x01" + kNul, kListing = "NUM 1000 AB\r\n";

struct ListingTool : ::testing::Test {
    TempDir temp{"serbox-listing"};
    const fs::path dir = temp.path / u8"Linea città è ù";
    std::ostringstream err;

    void SetUp() override
    {
        fs::create_directory(dir);
        Put("LINE1.hdr", kHdr6);
        Put("LINE1.src", kSrc);
    }
    void Empty() { fs::remove_all(dir), fs::create_directory(dir); }
    std::string Path(const fs::path& name) { return platform::Utf8FromPath(dir / name); }
    void Put(const fs::path& name, const std::string& data) { std::ofstream(dir / name, std::ios::binary) << data; }
    std::string Get(const fs::path& name)
    {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Run(std::vector<std::string> args)
    {
        err.str("");
        std::ostringstream out;
        return listing_tool::Run(args, out, err);
    }
};

}  // namespace

// A set received into the accented folder, through the real file system: F8
// finds it, and the tool writes its listing again, byte for byte and without a
// warning; a listing F8 could not use is warned of.
TEST_F(ListingTool, WritesWhatAReceptionWritesForTheSameSet)
{
    const std::string text = "Pes\xE0" "AB\x01" "C\xC1\r\n\x01" "X\x02" "Z\x03";
    const std::string block = "A00A2=An7A01A02A03A04A05A06A07A08A09A0:A0;A0<A0=A0>A0?A10A11A12A@5";
    const fs::path txt = u8"Pesa caffè Ü.TXT";
    platform::StdFileSystem files;
    FakeProgram p(&files);  // F7 with the name from the save dialog, then the device's bytes one by one
    p.FileIn(Path(txt));
    const std::string line = "\x1B" "A" "\x1B" "C" "\x1B" "Y" + ClassHeader('t', ' ', '2', ' ') + "\x1B" "U" +
                             text.substr(0, 5) + kPoll + text.substr(5) + kNul + kPoll + kPoll + "\x1B" "U" + block +
                             "\xFF" + kPoll + kPoll;
    for (char b : line)
        p.F.ComPort1.Receive(std::string(1, b));
    ASSERT_EQ(p.F.Memo2.Text(), "OPERAZIONE ESEGUITA");
    const std::string listing = Get(txt);
    EXPECT_EQ(listing.rfind("NUM 1000 Pes#`AB\r\nNUM 1001 C#A\r\nNUM 2000 X\r\nNUM 3000 Z\r\nNUM 5001 A000 A045 A999 ", 0),
              0u) << listing;

    p.FileOut(Path(txt));
    EXPECT_EQ(std::pair(p.S.TxHdrPath, p.S.TxSrcPath), std::pair(Path(u8"Pesa caffè Ü.hdr"), Path(u8"Pesa caffè Ü.src")));
    fs::remove(dir / txt);
    ASSERT_EQ(Run({Path(u8"Pesa caffè Ü.src")}), 0) << err.str();
    EXPECT_EQ(Get(txt), listing);
    EXPECT_EQ(err.str(), "");
    Put("ALONE.hdr", kHdr6);  // F8 on ALONE.TXT would find no ALONE.src
    ASSERT_EQ(Run({Path(u8"Pesa caffè Ü.src"), Path("ALONE.TXT")}), 0);
    EXPECT_NE(err.str().find("warning: F8"), std::string::npos) << err.str();
}

// A file of the set under another name (a hard or symbolic link, line1.SRC where
// the folder ignores case) is never written over, even with --force.
TEST_F(ListingTool, AListingThatIsTheSetUnderAnotherName)
{
    std::error_code ec;
    fs::create_hard_link(dir / "LINE1.src", dir / "HARD.TXT");
    fs::create_symlink(dir / "LINE1.hdr", dir / "SOFT.TXT", ec);  // needs a privilege on Windows
    for (const char* name : {"HARD.TXT", "SOFT.TXT", "line1.SRC"}) {
        if (!fs::exists(dir / name))
            continue;  // no symbolic link, or a folder where line1.SRC is another file
        EXPECT_EQ(Run({"--force", Path("LINE1.src"), Path(name)}), 1) << name;
        EXPECT_NE(err.str().find("of the set itself"), std::string::npos) << err.str();
    }
    EXPECT_EQ(Get("LINE1.src"), kSrc);
    EXPECT_EQ(Get("LINE1.hdr"), kHdr6);
    if (!fs::exists(dir / "line1.SRC")) {
        EXPECT_EQ(Run({Path("LINE1.src"), Path("line1.SRC")}), 0) << err.str();
        EXPECT_EQ(Get("line1.SRC"), kListing);
    }
}

TEST_F(ListingTool, RefusesWhatIsNoStoredProgramOrCannotBeWritten)
{
    const struct {
        std::string hdr, src, listing, message, run = "LINE1.src";
    } cases[] = {
        {"", kSrc, "", "no header file"},
        // Whatever F8 would refuse (Transmit.F8TakesOnlyAWholeSet goes through every rule):
        // here, a 5001 block cut short.
        {ClassHeader('t', ' ', '2', ' '), kSrc + "A0A", "", "0xFF"},
        {kHdr6, kSrc, "missing/LINE1.TXT", "cannot be written"},
        {kHdr6, kSrc, "", "cannot be read", "."},  // there, but no file to read
        {kHdr6, kSrc, "", "no such file", "NONE.src"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Empty();
        if (!c.hdr.empty())
            Put("LINE1.hdr", c.hdr);
        Put("LINE1.src", c.src);
        std::vector<std::string> args{Path(c.run)};
        if (!c.listing.empty())
            args.push_back(Path(c.listing));
        EXPECT_EQ(Run(args), 1);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        // Nothing written, no temporary file left behind, the set untouched.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), c.hdr.empty() ? 1 : 2);
        EXPECT_EQ(Get("LINE1.src"), c.src);
    }
    Put("DOS.HDR", kHdr6);
    Put("DOS.SRC", kSrc);
    if (fs::exists(dir / "dos.hdr")) {  // Windows ignores case: F8 finds the pair as it is
        EXPECT_EQ(Run({Path("DOS.SRC")}), 0) << err.str();
        EXPECT_EQ(Get("DOS.TXT"), kListing);
    } else {
        EXPECT_EQ(Run({Path("DOS.SRC")}), 1);
        EXPECT_NE(err.str().find("rename the pair"), std::string::npos);
    }
}

// The program itself, in the accented folder: its exit statuses, and an existing
// listing replaced only with --force, and then whole.
TEST_F(ListingTool, TheProgramReportsThroughItsExitStatusAndReplacesOnlyWithForce)
{
    Put("LINE1.TXT", std::string(500, 'o'));
    const std::string src = Path("LINE1.src");
    const struct {
        std::vector<std::string> args;
        int status;
    } runs[] = {{{}, 2}, {{"--frobnicate", src}, 2}, {{src, "a", "b"}, 2}, {{src}, 1}, {{"--help"}, 0}};
    for (const auto& r : runs)
        EXPECT_EQ(RunProgram(SERBOX_LISTING_EXE, r.args), r.status) << testing::PrintToString(r.args);
    EXPECT_EQ(Get("LINE1.TXT"), std::string(500, 'o'));
    EXPECT_EQ(RunProgram(SERBOX_LISTING_EXE, {"--force", src, Path("LINE1.TXT")}), 0);
    EXPECT_EQ(Get("LINE1.TXT"), kListing);  // nothing of the longer old one left
}
