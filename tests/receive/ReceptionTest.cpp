#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "receive/Dispatcher.h"
#include "receive/Reception.h"
#include "tests/fakes/FakeForm1.h"

namespace {

const std::string kAck = "\x1B\x41\x42\x40\x42";      // 1B 41 42 40 42
const std::string kChunkOk = "\x1B\x42\x42\x40\x42";  // 1B 42 42 40 42
const std::string kEnded = "\x1B\x42\x41\x40\x42";    // 1B 42 41 40 42
const std::string kPoll = "\x1B" "I";

std::string HeaderOf(char b10, char b14)
{
    std::string h(128, '\0');
    for (int i = 0; i < 128; ++i)
        h[i] = static_cast<char>(i * 7 + 3);
    h[10] = b10;
    h[11] = ' ';
    h[14] = b14;
    h[16] = ' ';
    h[20] = '\x1B';  // header bytes are data, ESC included
    h[127] = '\x1B';
    return h;
}

struct Reception : ::testing::Test {
    FakeForm1 F;
    ProgramState S;
    Reception()
    {
        S.LanguageFlag = 1;
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, F.C, n); };
        F.SaveDialog1.Answers = {"/tmp/LINE1.TXT"};
        FileinF71Click(S, F.C);
    }
    // Sends the bytes in events of random sizes.
    void Device(const std::string& bytes, unsigned seed)
    {
        std::mt19937 rng(seed);
        size_t at = 0;
        while (at < bytes.size()) {
            size_t n = std::uniform_int_distribution<size_t>(1, 40)(rng);
            F.ComPort1.Receive(bytes.substr(at, n));
            at += n;
        }
    }
    std::string File(const char* path) { return F.Files.Files.at(path); }
};

// Records: kind 1 "AB", kind 1 "C\xC1", kind 2 "X", kind 3 "", then the end.
const std::string kText = std::string("AB\x01" "C\xC1\x01" "X\x02" "\x03", 9);

}  // namespace

TEST_F(Reception, WholeExchangeWithoutTheSecondSection)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        F.ComPort1.Writes.clear();
        const std::string header = HeaderOf('T', '0');  // class 6: no 5001 block
        Device("\x1B" "A" + kPoll + "\x1B" "C" "\x1B" "Y" + header + kPoll + "\x1B" "U" +
                   kText.substr(0, 4) + kPoll + kText.substr(4) + std::string(1, '\0') + kPoll +
                   kPoll,
               seed);
        EXPECT_EQ(F.ComPort1.Writes,
                  (std::vector<std::string>{kAck, kAck, kChunkOk, kEnded, kAck}));
        EXPECT_EQ(File("/tmp/LINE1.hdr"), header);
        EXPECT_EQ(File("/tmp/LINE1.src"), kText + std::string(1, '\0'));
        EXPECT_EQ(File("/tmp/LINE1.TXT"), "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 3000 \r\n");
        EXPECT_EQ(S.RxState, 0);
        EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
        EXPECT_EQ(F.Edit2.text, "/tmp/LINE1.TXT");
        EXPECT_EQ(S.TxSrcPath, "/tmp/LINE1.src");
        EXPECT_FALSE(F.ProgressBar1.visible);
        EXPECT_EQ(F.ProgressBar1.position, 0);
    }
}

TEST_F(Reception, WholeExchangeWithTheSecondSection)
{
    std::string block;
    for (int g = 0; g < 22; ++g) {
        const int v = g == 0 ? 0 : (g == 1 ? 45 : (g == 2 ? 999 : 1023));
        block += 'A';
        block += static_cast<char>(0x30 + (v >> 4));
        block += static_cast<char>(0x30 + (v & 15));
    }
    block[4] = '\0';  // kept with what follows it
    const std::string header = HeaderOf('t', '2');  // class 7, digit 2
    Device("\x1B" "A" "\x1B" "C" "\x1B" "Y" + header + "\x1B" "U" + kText + std::string(1, '\0') +
               kPoll + kPoll + "\x1B" "U" + block.substr(0, 30) + kPoll + block.substr(30) + "\xFF" +
               kPoll + kPoll,
           7);
    EXPECT_EQ(F.ComPort1.Writes,
              (std::vector<std::string>{kEnded, kAck, kChunkOk, kEnded, kAck}));
    EXPECT_EQ(File("/tmp/LINE1.src"), kText + std::string(1, '\0') + block + "\xFF");
    const std::string listing = File("/tmp/LINE1.TXT");
    EXPECT_NE(listing.find("NUM 2000 X\r\n"), std::string::npos);  // class 7 lists kind 2
    // The zero byte inside the block is dropped from the text, so the groups after
    // it shift; what matters here is that the file keeps every byte.
    EXPECT_EQ(listing.rfind("NUM 5001 A000 "), listing.find("NUM 5001 A000 "));
    EXPECT_EQ(S.RxState, 0);
}

TEST_F(Reception, TheFiveByteExampleAndEscapeRules)
{
    Device("\x1B" "A" "\x1B" "C" "\x1B" "Y" + HeaderOf('T', '0') + "\x1B" "U" "ab" + kPoll +
               "\x1B" "q" "\x1B\x1B" "I" "cd" + std::string(1, '\0'),
           1);
    EXPECT_EQ(File("/tmp/LINE1.src"), std::string("abcd\0", 5));
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kChunkOk, kChunkOk}));
    EXPECT_EQ(S.RxState, 6);
}

TEST_F(Reception, TerminalLinesAndCommandState)
{
    F.ComPort1.Receive("hello\r\nworld\n\r\n\x1B");
    F.ComPort1.Receive("A");  // a pair split across events
    EXPECT_EQ(F.Memo1.Lines, (std::vector<std::string>{"hello", "world", ""}));
    EXPECT_EQ(S.RxState, 1);
    EXPECT_EQ(S.RxText, "\x1B" "A");
    F.ComPort1.Receive("I\x1B" "I");  // "I" alone is no poll
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{kAck});
    F.ComPort1.Receive("\x1B" "Z");  // nothing to send
    EXPECT_EQ(S.ErrorKind, 5);
    EXPECT_EQ(F.Form3.Text, "File name missing");
    EXPECT_EQ(S.RxState, 1);
    F.Edit1.text.clear();
    F.ComPort1.Receive("\x1B" "C");
    EXPECT_EQ(S.ErrorKind, 6);
    EXPECT_EQ(S.RxState, 0);
    EXPECT_EQ(F.Sound.Beeps, 2);
}

TEST_F(Reception, TerminalLinesAreTheSameWhateverTheEventSizes)
{
    std::vector<std::string> lines;
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        lines.push_back(i % 50 == 3 ? "" : "LINE " + std::to_string(i) + (i % 7 ? " \xC1 text" : ""));
        bytes += lines.back() + "\r\n";
    }
    bytes += "TAIL";  // no LF yet: not a line
    auto check = [&](const std::function<void()>& deliver) {
        F.Memo1.Lines.clear();
        S.RxText.clear();
        deliver();
        EXPECT_EQ(F.Memo1.Lines, lines);
        EXPECT_EQ(S.RxText, "TAIL");
        EXPECT_EQ(S.RxState, 0);
    };
    check([&] { F.ComPort1.Receive(bytes); });
    check([&] {
        for (char c : bytes)
            F.ComPort1.Receive(std::string(1, c));
    });
    check([&] { Device(bytes, 11); });

    F.Memo1.Lines.clear();
    S.RxText.clear();
    F.ComPort1.Receive("FIRST LI");
    F.ComPort1.Receive("NE\r");
    EXPECT_TRUE(F.Memo1.Lines.empty());
    F.ComPort1.Receive("\nSECOND\r\n");
    EXPECT_EQ(F.Memo1.Lines, (std::vector<std::string>{"FIRST LINE", "SECOND"}));
}

TEST_F(Reception, OverwritePromptTakesTheNameOnlyOnOk)
{
    F.Files.Files["/tmp/OLD.TXT"] = "keep";
    F.SaveDialog1.Answers = {"/tmp/OLD.TXT"};
    FileinF71Click(S, F.C);
    EXPECT_EQ(S.ErrorKind, 2);
    EXPECT_TRUE(F.Form3.Button2Visible);
    EXPECT_EQ(S.RxFileName, "/tmp/LINE1.TXT");  // unchanged until answered
    ConfirmOverwrite(S, F.C);
    EXPECT_EQ(S.RxFileName, "/tmp/OLD.TXT");
    EXPECT_EQ(S.RxHdrPath, "/tmp/OLD.hdr");
    EXPECT_EQ(F.Files.Files["/tmp/OLD.TXT"], "keep");  // nothing truncated
    EXPECT_FALSE(F.Files.Exists("/tmp/OLD.hdr"));
    F.SaveDialog1.Answers = {""};  // cancelled
    FileinF71Click(S, F.C);
    EXPECT_EQ(S.RxFileName, "/tmp/OLD.TXT");
}

TEST_F(Reception, AFileThatCannotBeWrittenIsNeverReportedAsDone)
{
    F.Files.FailWrite.insert("/tmp/LINE1.src");
    Device("\x1B" "A" "\x1B" "C" "\x1B" "Y" + HeaderOf('T', '0') + "\x1B" "U" + kText + kPoll +
               std::string(1, '\0') + kPoll + kPoll,
           4);
    // The device still got every reply it is owed.
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kChunkOk, kEnded, kAck}));
    EXPECT_EQ(S.ErrorKind, 7);
    EXPECT_NE(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
    EXPECT_TRUE(S.TxFileName.empty());
    EXPECT_TRUE(F.Edit2.text.empty());
}

TEST_F(Reception, LongChunksAreKeptWhole)
{
    const std::string big(10000, 'x');
    Device("\x1B" "A" "\x1B" "C" "\x1B" "Y" + HeaderOf('T', '0') + "\x1B" "U" + big + "\x01" +
               std::string(1, '\0') + kPoll + kPoll,
           5);
    EXPECT_EQ(File("/tmp/LINE1.src").size(), 10002u);
    EXPECT_EQ(File("/tmp/LINE1.TXT"), "NUM 1000 " + big + "\r\n");
}

TEST_F(Reception, ArbitraryBytesNeverCrash)
{
    std::mt19937 rng(99);
    std::string noise;
    for (int i = 0; i < 200000; ++i)
        noise += static_cast<char>(rng() % 8 == 0 ? 0x1B : rng());
    Device("\x1B" "A" "\x1B" "C" + noise, 11);
    SUCCEED();
}
