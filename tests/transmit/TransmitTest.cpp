#include "tests/transmit/TransmitFixture.h"

TEST_F(Transmit, FileChoice)
{
    F.Memo1.Lines = {"old"};
    F.OpenDialog1.Answers = {""};
    FileoutF81Click(S, F.C);  // cancelled
    EXPECT_TRUE(F.Memo1.Lines.empty());
    EXPECT_EQ(F.Sound.Beeps + F.Form3.Shows, 0);
    EXPECT_EQ(S.TxFileName, "");

    Store("h", "s");
    EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    EXPECT_EQ(S.TxHdrPath + S.TxSrcPath, "/d/P.hdr/d/P.src");
    EXPECT_EQ(F.OpenDialog1.name, "");
    const std::pair<std::string, std::string> missing[] = {{"/d/Q.TXT", "File (*.txt ) not found"},
                                                           {"/d/Q.hdr", "File (*.hdr ) not found"},
                                                           {"/d/Q.src", "File (*.src) not found"}};
    for (const auto& [gone, text] : missing) {
        for (const char* p : {"/d/Q.TXT", "/d/Q.hdr", "/d/Q.src"})
            F.Files.Files[p] = "";
        F.Files.Files.erase(gone);
        F.OpenDialog1.Answers = {"/d/Q.TXT"};
        const int beeps = F.Sound.Beeps;
        FileoutF81Click(S, F.C);
        EXPECT_EQ(F.Form3.Text, text);
        EXPECT_EQ(F.Form3.Caption, "ERRORE !");
        EXPECT_EQ(S.ErrorKind, 3);
        EXPECT_EQ(F.Sound.Beeps, beeps + 1);
        EXPECT_EQ(F.OpenDialog1.name, "");
        // The outgoing set stays whole: never the header of one set, source of another.
        EXPECT_EQ(S.TxFileName + S.TxHdrPath + S.TxSrcPath, "/d/P.TXT/d/P.hdr/d/P.src") << gone;
        EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    }
}

TEST_F(Transmit, SectionSizes)
{
    const std::pair<size_t, std::vector<size_t>> cases[] = {
        {0, {}}, {1, {1}}, {256, {256}}, {257, {256, 1}}, {5000, std::vector<size_t>(19, 256)}};
    for (const auto& [size, writes] : cases) {
        S.NulPending = 0;
        Store(HeaderOf('T', '0'), std::string(size, 'x') + '\0' + "yy");
        Device("\x1B" "A" "\x1B" "Z");
        F.ComPort1.Writes.clear();
        Device("\x1B" "V");
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
}

TEST_F(Transmit, WhetherThe5001BlockFollows)
{
    // byte 10, byte 14, 5001 block expected
    const std::tuple<char, char, bool> cases[] = {
        {'T', '0', false}, {'t', '0', true}, {'t', '2', true}, {'t', '3', false},
        {'t', '*', false}, {'L', '1', true}, {'*', '0', false}};
    for (const auto& [b10, b14, follows] : cases) {
        Store(HeaderOf(b10, b14), std::string("a\0b\xFF", 4));
        Device("\x1B" "A" "\x1B" "Z" "\x1B" "V");
        EXPECT_EQ(S.TxState, follows ? 3 : 0) << b10 << b14;
        S.TxState = S.RxState = 0;
    }
}

TEST_F(Transmit, HeaderPacing)
{
    struct : FakeSerialPort {
        int Chars = 0;
        void TransmitChar(char c) override { ++Chars, Writes.push_back(std::string(1, c)); }
    } port;
    platform::Form1Components C{port,        F.Form1,       F.Memo1, F.Memo2,  F.Edit1,
                                F.Edit2,     F.ProgressBar1, F.Timer1, F.Timer2, F.SaveDialog1,
                                F.OpenDialog1, F.Form3,     F.Sound, F.Files};
    Store(std::string("\x80\0\xFF" "abcdefg", 10), std::string(1, '\0'));  // 10 bytes
    S.BlockBuffer.assign(132, 't');  // an older block: class 7, digit 4
    S.DeviceClass = 0;
    S.TxState = 1;
    S.HdrSendOffset = 55;  // left behind by an abandoned pacing
    TransmitStep(S, C, 'Z');
    int active = 0;
    for (; S.HdrSendActive == 1; ++active) {
        ComPort1TxEmpty(S);
        Timer2Timer(S, C);
    }
    EXPECT_EQ(active, 11);
    EXPECT_EQ(port.Chars, 1);  // the zero byte, as one character
    const std::vector<std::string> bytes{"\x80\x80", "\x80", std::string(1, '\0'), "\xFF", "a", "b",
                                         "c",        "d",    "e",                  "f",    "g"};
    EXPECT_EQ(port.Writes, bytes);
    // Classified from the file's 10 bytes, the rest zero, not from what the block held.
    EXPECT_EQ(S.HeaderDigit, 0);
    EXPECT_EQ(S.DeviceClass, 0);
    EXPECT_EQ(S.HdrSendOffset, 0);
}

TEST_F(Transmit, TimeOutLeavesNoPacingBehind)
{
    Store(HeaderOf('T', '0'), std::string("abc") + '\0');
    Device("\x1B" "A" "\x1B" "Z");
    for (int i = 0; i < 5; ++i)
        Tick2();
    for (int i = 0; i < 91; ++i)
        Tick1();
    EXPECT_EQ(S.ErrorKind, 4);
    F.ComPort1.Writes.clear();
    Tick2();
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    Device("\x1B" "A" "\x1B" "Z");
    PaceHeader();
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + HeaderOf('T', '0'));
}

TEST_F(Transmit, VanishedFilesSendNothingInvented)
{
    auto expectIdle = [this](const std::string& text) {
        EXPECT_EQ(F.Form3.Text, text);
        EXPECT_EQ(S.ErrorKind, 3);
        EXPECT_EQ(S.TxState + S.RxState + S.HdrSendActive, 0);
        EXPECT_FALSE(F.ProgressBar1.visible);
    };
    const std::string src = std::string("abc\0de", 6) + "\xFF";
    Store(HeaderOf('t', '0'), src);
    F.Files.Files.erase("/d/P.hdr");
    Device("\x1B" "A" "\x1B" "Z");
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    expectIdle("File (*.hdr ) not found");

    Store(HeaderOf('t', '0'), src);
    Device("\x1B" "A" "\x1B" "Z");
    Tick2();
    F.Files.FailOpen.insert("/d/P.hdr");  // gone while its bytes go out
    Tick2();
    expectIdle("File (*.hdr ) not found");
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80\x81", 3));

    F.Files.FailOpen.clear();
    Store(HeaderOf('t', '0'), src);
    F.ComPort1.Writes.clear();
    Device("\x1B" "A" "\x1B" "Z");
    F.Files.FailOpen.insert("/d/P.src");
    Device("\x1B" "V");
    expectIdle("File (*.src) not found");
    EXPECT_EQ(F.ComPort1.Sent(), "\x80\x80");

    F.Files.FailOpen.clear();
    Store(HeaderOf('t', '0'), src);
    F.ComPort1.Writes.clear();
    Device("\x1B" "A" "\x1B" "Z" "\x1B" "V");
    F.Files.FailOpen.insert("/d/P.src");
    Device("\x1B" "I" "\x1B" "V");
    expectIdle("File (*.src) not found");
    EXPECT_EQ(F.ComPort1.Sent(), "\x80\x80" "abc" "\x1B\x41\x42\x40\x42");
}
