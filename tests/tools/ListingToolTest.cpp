#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/StdFileSystem.h"
#include "receive/Dispatcher.h"
#include "receive/Reception.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tools/ListingTool.h"

namespace fs = std::filesystem;

namespace {

const std::string kPoll = "\x1B" "I";
const std::string kZero(1, '\0');

// 22 groups: prefix, 0x30 + value >> 4, 0x30 + value & 15.
std::string Block(std::initializer_list<int> values)
{
    std::string b;
    for (int v : values)
        b += std::string{'A', static_cast<char>(0x30 + (v >> 4)), static_cast<char>(0x30 + (v & 15))};
    return b;
}

struct ListingTool : ::testing::Test {
    TempDir temp{"serbox-listing"};
    const fs::path& dir = temp.path;

    std::string Path(const char* name) { return platform::Utf8FromPath(dir / name); }
    void Put(const char* name, const std::string& data) { std::ofstream(dir / name, std::ios::binary) << data; }
    std::string Get(const char* name)
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
    std::ostringstream err;
};

// What a reception writes for these bytes from the device, in a fresh program.
struct Received {
    std::string hdr, src, listing;
};
Received Receive(const std::string& header, const std::string& text, const std::string& block)
{
    FakeForm1 F;
    ProgramState S;
    F.ComPort1.OnRxChar = [&](int n) { ComPort1RxChar(S, F.C, n); };
    F.SaveDialog1.Answers = {"/set/LINE1.TXT"};
    FileinF71Click(S, F.C);
    std::string line = "\x1B" "A" "\x1B" "C" "\x1B" "Y" + header + "\x1B" "U" + text.substr(0, 5) + kPoll +
                       text.substr(5) + kZero + kPoll + kPoll;
    if (!block.empty())
        line += "\x1B" "U" + block + "\xFF" + kPoll + kPoll;
    for (char b : line)
        F.ComPort1.Receive(std::string(1, b));
    EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
    return {F.Files.Files["/set/LINE1.hdr"], F.Files.Files["/set/LINE1.src"], F.Files.Files["/set/LINE1.TXT"]};
}

// Kinds 1, 1, 2, 2, 3, 4 with a marked high byte and dropped control bytes.
const std::string kText = "AB\x01" "C\xC1\r\n\x01" "X\x02" "Y\x02" "Z\x03" "W\x04";

}  // namespace

TEST_F(ListingTool, WritesWhatAReceptionWritesForTheSameSet)
{
    const std::string block = Block({0, 45, 999, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 261});
    const struct {
        std::string header, block, expectedStart;
    } sets[] = {
        {ClassHeader('T', ' ', '0', ' '), "", "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 3000 Z\r\n"},  // class 6
        {ClassHeader('t', ' ', '2', ' '), block, "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 2000 X\r\n"},  // 5001 block
        {ClassHeader(' ', 'P', '*', 'A'), "", "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 2000 X\r\n"},  // class 8, none
        {ClassHeader(' ', ' ', '0', ' '), "", "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 3000 Z\r\n"},  // no class
    };
    for (const auto& set : sets) {
        const Received r = Receive(set.header, kText, set.block);
        ASSERT_EQ(r.listing.rfind(set.expectedStart, 0), 0u) << r.listing;
        EXPECT_EQ(r.listing.find("NUM 5001 A000 A045 A999 ") != std::string::npos, !set.block.empty());
        fs::remove(dir / "LINE1.TXT");
        Put("LINE1.hdr", r.hdr);
        Put("LINE1.src", r.src);
        ASSERT_EQ(Run({Path("LINE1.src")}), 0) << err.str();
        EXPECT_EQ(Get("LINE1.TXT"), r.listing);
        EXPECT_EQ(err.str(), "");  // F8 finds the pair from this listing
    }
}

TEST_F(ListingTool, AnExistingListingIsReplacedWholeOnlyWithForce)
{
    Put("LINE1.hdr", ClassHeader('T', ' ', '0', ' '));
    Put("LINE1.src", "AB\x01" + kZero);
    Put("LINE1.TXT", std::string(500, 'o'));
    EXPECT_EQ(Run({Path("LINE1.src")}), 1);
    EXPECT_NE(err.str().find("--force"), std::string::npos);
    EXPECT_EQ(Get("LINE1.TXT"), std::string(500, 'o'));
    EXPECT_EQ(Run({"--force", Path("LINE1.src"), Path("LINE1.TXT")}), 0);
    EXPECT_EQ(Get("LINE1.TXT"), "NUM 1000 AB\r\n");  // nothing of the longer old one left
}

// A file of the set under another name (a hard or symbolic link, line1.SRC where
// the folder ignores case) is never written over, even with --force.
TEST_F(ListingTool, AListingThatIsTheSetUnderAnotherName)
{
    Put("LINE1.hdr", ClassHeader('T', ' ', '0', ' '));
    Put("LINE1.src", "AB\x01" + kZero);
    std::error_code ec;
    fs::create_hard_link(dir / "LINE1.src", dir / "HARD.TXT");
    fs::create_symlink(dir / "LINE1.hdr", dir / "SOFT.TXT", ec);  // needs a privilege on Windows
    for (const char* name : {"HARD.TXT", "SOFT.TXT", "line1.SRC"}) {
        if (!fs::exists(dir / name))
            continue;  // no symbolic link, or a folder where line1.SRC is another file
        EXPECT_EQ(Run({"--force", Path("LINE1.src"), Path(name)}), 1) << name;
        EXPECT_NE(err.str().find("of the set itself"), std::string::npos) << err.str();
    }
    EXPECT_EQ(Get("LINE1.src") + Get("LINE1.hdr"), "AB\x01" + kZero + ClassHeader('T', ' ', '0', ' '));
    if (!fs::exists(dir / "line1.SRC")) {
        EXPECT_EQ(Run({Path("LINE1.src"), Path("line1.SRC")}), 0) << err.str();
        EXPECT_EQ(Get("line1.SRC"), "NUM 1000 AB\r\n");
    }
}

TEST_F(ListingTool, RefusesWhatIsNoStoredProgramOrCannotBeWritten)
{
    const std::string hdr6 = ClassHeader('T', ' ', '0', ' '), hdr7 = ClassHeader('t', ' ', '2', ' ');
    const struct {
        std::string hdr, src, listing, message;
    } cases[] = {
        {"", "AB\x01" + kZero, "", "no header file"},
        {hdr6.substr(0, 127), "AB\x01" + kZero, "", "128 bytes"},
        {hdr6 + "x", "AB\x01" + kZero, "", "128 bytes"},
        {hdr6, "AB\x01", "", "0x00"},
        {hdr7, "AB\x01" + kZero + "A0A", "", "0xFF"},  // the 5001 block is cut short
        {hdr6, "AB\x01" + kZero, "LINE1.hdr", "of the set itself"},
        {hdr6, "AB\x01" + kZero, "missing/LINE1.TXT", "cannot be written"},
        {hdr6, "AB\x01" + kZero, "LINE1.hdr/LINE1.TXT", "cannot be written"},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directory(dir);
        if (!c.hdr.empty())
            Put("LINE1.hdr", c.hdr);
        Put("LINE1.src", c.src);
        std::vector<std::string> args{Path("LINE1.src")};
        if (!c.listing.empty())
            args.push_back(Path(c.listing.c_str()));
        EXPECT_EQ(Run(args), 1) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        // Nothing written, no temporary file left behind, the set untouched.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), c.hdr.empty() ? 1 : 2) << c.message;
        EXPECT_EQ(Get("LINE1.src"), c.src);
    }
    fs::create_directory(dir / "DIR.src");  // exists, but no file to read
    EXPECT_EQ(Run({Path("DIR.src")}), 1);
    EXPECT_NE(err.str().find("cannot be read"), std::string::npos);
    Put("DOS.HDR", hdr6);
    Put("DOS.SRC", "AB\x01" + kZero);
    if (fs::exists(dir / "dos.hdr")) {
        // Windows: the file system ignores case, so F8 finds the pair as it is.
        EXPECT_EQ(Run({Path("DOS.SRC")}), 0) << err.str();
        EXPECT_EQ(Get("DOS.TXT"), "NUM 1000 AB\r\n");
    } else {
        EXPECT_EQ(Run({Path("DOS.SRC")}), 1);
        EXPECT_NE(err.str().find("rename the pair"), std::string::npos);
    }
    EXPECT_EQ(Run({Path("NONE.src")}), 1);
    EXPECT_NE(err.str().find("no such file"), std::string::npos);
}

TEST_F(ListingTool, TheProgramReportsThroughItsExitStatus)
{
    Put("LINE1.hdr", ClassHeader('T', ' ', '0', ' '));
    Put("LINE1.src", "AB\x01" + kZero);
    auto status = [](const std::vector<std::string>& args) { return RunProgram(SERBOX_LISTING_EXE, args); };
    EXPECT_EQ(status({}), 2);
    EXPECT_EQ(status({"--frobnicate", Path("LINE1.src")}), 2);
    EXPECT_EQ(status({Path("LINE1.src"), "a", "b"}), 2);
    EXPECT_EQ(status({Path("LINE1.src")}), 0);
    EXPECT_EQ(Get("LINE1.TXT"), "NUM 1000 AB\r\n");
    EXPECT_EQ(status({Path("LINE1.src")}), 1);  // already there
    EXPECT_EQ(status({"--help"}), 0);
}
