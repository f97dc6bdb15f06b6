#include <functional>
#include <tuple>

#include "tests/transmit/TransmitFixture.h"

TEST_F(Transmit, F8TakesAWholeSetOrKeepsTheOneItHad)
{
    F.Memo1.Lines = {"old"};
    F.OpenDialog1.Answers = {""};
    FileoutF81Click(S, C);  // cancelled
    EXPECT_TRUE(F.Memo1.Lines.empty());
    EXPECT_EQ(F.Sound.Beeps, 0);
    EXPECT_EQ(F.Form3.Shows, 0);
    EXPECT_EQ(S.TxFileName, "");

    Store("h", "s");
    EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    EXPECT_EQ(F.OpenDialog1.name, "");  // the next dialog starts afresh
    EXPECT_EQ(OutgoingSet(), std::tuple("/d/P.TXT", "/d/P.hdr", "/d/P.src"));
    for (const std::string ext : {"TXT", "hdr", "src"}) {
        const std::string gone = "/d/Q." + ext;
        for (const char* p : {"/d/Q.TXT", "/d/Q.hdr", "/d/Q.src"})
            F.Files.Files[p] = "";
        F.Files.Files.erase(gone);
        F.OpenDialog1.Answers = {"/d/Q.TXT"};
        FileoutF81Click(S, C);
        EXPECT_EQ(S.ErrorKind, 3);
        EXPECT_EQ(F.Form3.Text, ext == "TXT" ? "File (*.txt ) not found" : ext == "hdr" ? "File (*.hdr ) not found" : "File (*.src) not found");
        EXPECT_EQ(F.OpenDialog1.name, "");
        // The outgoing set stays whole: never the header of one set, source of another.
        EXPECT_EQ(OutgoingSet(), std::tuple("/d/P.TXT", "/d/P.hdr", "/d/P.src")) << gone;
        EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    }
    EXPECT_EQ(F.Sound.Beeps, 3);
}

TEST_F(Transmit, SectionsGoInWritesOf256AndOnlyWhenWhole)
{
    const std::pair<size_t, std::vector<size_t>> cases[] = {
        {0, {}}, {1, {1}}, {256, {256}}, {257, {256, 1}}, {5000, std::vector<size_t>(19, 256)}};
    for (const auto& [size, writes] : cases) {
        S.NulPending = 0;
        Store(HeaderOf('T', '0'), std::string(size, 'x') + '\0' + "yy");
        Device("\x1B" "A" "\x1B" "Z");
        F.ComPort1.Writes.clear();
        F.ProgressBar1.Moves.clear();
        Device("\x1B" "V");
        // A step a full chunk, one at the end, then back to zero.
        EXPECT_EQ(F.ProgressBar1.Moves.size(), size / 256 - (size == 256) + 2) << size;
        std::vector<size_t> sizes, expected = writes;
        for (const auto& w : F.ComPort1.Writes)
            sizes.push_back(w.size());
        if (size == 5000)
            expected.push_back(136);
        EXPECT_EQ(sizes, expected) << size;
        EXPECT_EQ(F.ComPort1.Sent(), std::string(size, 'x'));
        EXPECT_EQ(S.NulPending, 1);  // even an empty section gets its zero byte
        EXPECT_EQ(S.TxState, 0);
    }
    // A section cut short sends nothing; asked for again once whole, it goes once.
    Store(HeaderOf('T', '0'), "abc");
    Device("\x1B" "A" "\x1B" "Z");
    F.ComPort1.Writes.clear();
    Device("\x1B" "V");
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    F.Files.Files["/d/P.src"] += '\0';
    Device("\x1B" "V");
    EXPECT_EQ(F.ComPort1.Sent(), "abc");
}

TEST_F(Transmit, HeaderPacedOneByteATickFromTheFileAlone)
{
    Store(std::string("\x80\0\xFF" "abcdefg", 10), std::string(1, '\0'));  // 10 bytes
    S.BlockBuffer.assign(132, 't');  // an older block: class 7, digit 4
    S.TxState = 1;
    S.HdrSendOffset = 55;  // left behind by an abandoned pacing
    TransmitStep(S, C, 'Z');
    EXPECT_TRUE(F.ProgressBar1.visible);
    EXPECT_TRUE(F.Timer2.enabled);
    EXPECT_EQ(F.Memo2.Text(), "TRASMISSIONE IN CORSO  ");
    EXPECT_EQ(PaceHeader(), 11);
    EXPECT_EQ(F.ProgressBar1.position, 2 + 10 * 2);  // a step at the start, one a byte
    EXPECT_EQ(F.ComPort1.Chars, 1);  // the zero byte, as one character
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{"\x80\x80", "\x80", std::string(1, '\0'), "\xFF", "a", "b",
                                                            "c", "d", "e", "f", "g"}));
    // Classified from the file's 10 bytes, the rest zero, not from what the block held.
    EXPECT_EQ(S.HeaderDigit, 0);
    EXPECT_EQ(S.DeviceClass, 0);
    EXPECT_EQ(S.HdrSendOffset, 0);
    // A longer file: its first 128 bytes, no more.
    const std::string longer = HeaderOf('T', '0') + "extra";
    Store(longer, std::string(1, '\0'));
    F.ComPort1.Writes.clear();
    Device("\x1B" "A" "\x1B" "Z");
    EXPECT_EQ(PaceHeader(), 129);
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + longer.substr(0, 128));
}

TEST_F(Transmit, VanishedFilesSendNothingInvented)
{
    const std::string src = std::string("abc\0de", 6) + "\xFF";
    // The file that vanishes, when (before the request, or between two steps), and
    // what went out before.
    struct Case {
        const char* gone;
        bool beforeRequest;
        std::function<void()> before, after;
        std::string sent;
    };
    const Case cases[] = {
        {"/d/P.hdr", true, [] {}, [] {}, ""},
        {"/d/P.hdr", false, [&] { Tick2(); }, [&] { Tick2(); }, std::string("\x80\x80\x81", 3)},  // while its bytes go out
        {"/d/P.src", false, [] {}, [&] { Device("\x1B" "V"); }, "\x80\x80"},
        {"/d/P.src", false, [&] { Device("\x1B" "V"); }, [&] { Device("\x1B" "I" "\x1B" "V"); },
         "\x80\x80" "abc" "\x1B\x41\x42\x40\x42"}};
    for (const Case& c : cases) {
        F.Files.FailOpen.clear();
        Store(HeaderOf('t', '0'), src);
        const int beeps = F.Sound.Beeps;
        F.ComPort1.Writes.clear();
        if (c.beforeRequest)
            F.Files.Files.erase(c.gone);
        Device("\x1B" "A" "\x1B" "Z");
        c.before();
        F.Files.FailOpen.insert(c.gone);
        c.after();
        // Told with a beep, the message line emptied, nothing left running.
        EXPECT_EQ(F.Form3.Text, std::string(c.gone).ends_with("hdr") ? "File (*.hdr ) not found" : "File (*.src) not found");
        EXPECT_EQ(F.Memo2.Text(), "");
        EXPECT_EQ(S.ErrorKind, 3);
        EXPECT_EQ(F.Sound.Beeps, beeps + 1);
        EXPECT_EQ(std::tuple(S.TxState, S.RxState, S.HdrSendActive), std::tuple(0, 0, 0)) << c.gone;
        EXPECT_FALSE(F.ProgressBar1.visible);
        EXPECT_EQ(F.ComPort1.Sent(), c.sent) << c.gone;
    }
}
