// A set named the way Italian technicians name them: accented letters and spaces,
// in a folder named so too. Received through the real file system, listed by the
// tool, and found again by F8, under exactly those names.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string_view>

#include "platform/StdFileSystem.h"
#include "receive/Dispatcher.h"
#include "receive/Reception.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tools/ListingTool.h"
#include "transmit/Transmission.h"

namespace fs = std::filesystem;

namespace {

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

struct Names : ::testing::Test {
    TempDir temp{"serbox-names"};
    fs::path dir = temp.path / u8"Linea città è ù";
    FakeForm1 F;
    platform::StdFileSystem files;
    platform::Form1Components C{F.ComPort1, F.Form1, F.Memo1, F.Memo2, F.Edit1, F.Edit2, F.ProgressBar1,
                                F.Timer1, F.Timer2, F.SaveDialog1, F.OpenDialog1, F.Form3, F.Sound, files};
    ProgramState S;

    void SetUp() override
    {
        fs::create_directory(dir);
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, C, n); };
    }
    std::string Path(std::u8string_view name) { return platform::Utf8FromPath(dir / name); }
    // The names in the folder, as the system spells them.
    std::set<std::string> Listed()
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.insert(platform::Utf8FromPath(e.path().filename()));
        return names;
    }
    std::string Read(std::u8string_view name)
    {
        std::string data;
        auto f = files.OpenRead(Path(name));
        char block[4096];
        while (f)
            if (size_t got = f->Read(block, sizeof block))
                data.append(block, got);
            else
                break;
        return data;
    }
};

}  // namespace

TEST_F(Names, ASetNamedWithAccentsIsReceivedListedAndFoundAgain)
{
    // F7 with the name from the save dialog, then the device's bytes one by one.
    const std::string header = ClassHeader('T', ' ', '0', ' ');
    const std::string text = std::string("Pes\xE0" "AB\x01" "C\xC1\x01" "X\x02", 11);
    F.SaveDialog1.Answers = {Path(u8"Pesa caffè Ü.TXT")};
    FileinF71Click(S, C);
    const std::string line = "\x1B" "A" "\x1B" "C" "\x1B" "Y" + header + "\x1B" "U" + text + std::string(1, '\0') +
                             "\x1B" "I" "\x1B" "I";
    for (char b : line)
        F.ComPort1.Receive(std::string(1, b));
    ASSERT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");

    const std::set<std::string> set{U8(u8"Pesa caffè Ü.TXT"), U8(u8"Pesa caffè Ü.hdr"), U8(u8"Pesa caffè Ü.src")};
    EXPECT_EQ(Listed(), set);
    EXPECT_EQ(Read(u8"Pesa caffè Ü.hdr"), header);
    EXPECT_EQ(Read(u8"Pesa caffè Ü.src"), text + std::string(1, '\0'));
    const std::string listing = Read(u8"Pesa caffè Ü.TXT");
    EXPECT_EQ(listing, "NUM 1000 Pes#`AB\r\nNUM 1001 C#A\r\n");  // class 6: no kind-2 lines

    // The tool, in this process and as its own program, beside the set.
    std::ostringstream out, err;
    EXPECT_EQ(listing_tool::Run({Path(u8"Pesa caffè Ü.src"), Path(u8"Copia è.TXT")}, out, err), 0) << err.str();
    EXPECT_EQ(Read(u8"Copia è.TXT"), listing);
    EXPECT_EQ(RunProgram(SERBOX_LISTING_EXE, {Path(u8"Pesa caffè Ü.src"), Path(u8"Stampa à ò.TXT")}), 0);
    EXPECT_EQ(Read(u8"Stampa à ò.TXT"), listing);
    // A refusal leaves nothing behind.
    EXPECT_EQ(RunProgram(SERBOX_LISTING_EXE, {Path(u8"Pesa caffè Ü.src"), Path(u8"Stampa à ò.TXT")}), 1);
    std::set<std::string> all = set;
    all.insert({U8(u8"Copia è.TXT"), U8(u8"Stampa à ò.TXT")});
    EXPECT_EQ(Listed(), all);

    // F7 on the same name sees that it exists and asks before overwriting.
    F.SaveDialog1.Answers = {Path(u8"Pesa caffè Ü.TXT")};
    FileinF71Click(S, C);
    EXPECT_EQ(S.ErrorKind, 2);
    EXPECT_EQ(Read(u8"Pesa caffè Ü.TXT"), listing);

    // F8 finds the set the reception made.
    F.OpenDialog1.Answers = {Path(u8"Pesa caffè Ü.TXT")};
    FileoutF81Click(S, C);
    EXPECT_EQ(F.Sound.Beeps, 1);  // the overwrite question's only
    EXPECT_EQ(F.Edit2.text, Path(u8"Pesa caffè Ü.TXT"));
    EXPECT_EQ(S.TxSrcPath, Path(u8"Pesa caffè Ü.src"));
    EXPECT_EQ(S.TxHdrPath, Path(u8"Pesa caffè Ü.hdr"));
}
