#include <gtest/gtest.h>

#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "receive/Reception.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"
#include "tests/fakes/FakeForm1.h"

namespace {

const std::string kAck = "\x1B\x41\x42\x40\x42";  // 1B 41 42 40 42

std::string HeaderOf(char b10, char b14)
{
    std::string h(128, '\0');
    for (int i = 0; i < 128; ++i)
        h[i] = static_cast<char>(i * 5 + 0x81);
    h[10] = b10;
    h[11] = ' ';
    h[14] = b14;
    h[16] = ' ';
    h[3] = '\0';  // goes out as one zero byte
    return h;
}

struct Transmit : ::testing::Test {
    FakeForm1 F;
    ProgramState S;
    Transmit()
    {
        S.LanguageFlag = 1;
        S.PortPromptStage = 2;
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, F.C, n); };
    }
    void Store(const std::string& hdr, const std::string& src)
    {
        F.Files.Files["/d/P.TXT"] = "";
        F.Files.Files["/d/P.hdr"] = hdr;
        F.Files.Files["/d/P.src"] = src;
        F.OpenDialog1.Answers = {"/d/P.TXT"};
        FileoutF81Click(S, F.C);
    }
    // Paces the header: a drain event and a tick per byte; returns the ticks used.
    int PaceHeader()
    {
        int ticks = 0;
        while (S.HdrSendActive == 1 && ticks < 1000) {
            ComPort1TxEmpty(S);
            Timer2Timer(S, F.C);
            ++ticks;
        }
        return ticks;
    }
};

}  // namespace

TEST_F(Transmit, WholeExchangeWithoutTheSecondSection)
{
    const std::string text(600, 'q');
    Store(HeaderOf('T', '0'), text + '\0' + "junk");
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{"\x80\x80"});
    EXPECT_EQ(S.RxState, 100);
    Timer2Timer(S, F.C);  // the lead-in has not drained yet
    EXPECT_EQ(F.ComPort1.Writes.size(), 1u);
    EXPECT_EQ(PaceHeader(), 129);
    ASSERT_EQ(F.ComPort1.Writes.size(), 129u);
    std::string header;
    for (size_t i = 1; i < 129; ++i) {
        ASSERT_EQ(F.ComPort1.Writes[i].size(), 1u);
        header += F.ComPort1.Writes[i];
    }
    EXPECT_EQ(header, HeaderOf('T', '0'));
    F.ComPort1.Writes.clear();
    F.ComPort1.Receive("\x1B" "I" "\x1B" "I" "\x1B" "V");
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kAck, kAck, std::string(256, 'q'),
                                                            std::string(256, 'q'), std::string(88, 'q')}));
    EXPECT_EQ(S.TxState, 0);
    EXPECT_EQ(S.RxState, 0);
    EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
    F.ComPort1.Writes.clear();
    Timer1Timer(S, F.C);
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    Timer1Timer(S, F.C);
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{std::string(1, '\0')});
}

TEST_F(Transmit, SectionSizes)
{
    const std::pair<size_t, std::vector<size_t>> cases[] = {
        {0, {}}, {1, {1}}, {256, {256}}, {257, {256, 1}}, {5000, std::vector<size_t>(19, 256)}};
    for (const auto& [size, writes] : cases) {
        ProgramState fresh;
        S = fresh;
        S.PortPromptStage = 2;
        Store(HeaderOf('T', '0'), std::string(size, 'x') + '\0');
        F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
        F.ComPort1.Writes.clear();
        F.ComPort1.Receive("\x1B" "V");
        std::vector<size_t> sizes;
        for (const auto& w : F.ComPort1.Writes)
            sizes.push_back(w.size());
        std::vector<size_t> expected = writes;
        if (size == 5000)
            expected.push_back(136);
        EXPECT_EQ(sizes, expected) << size;
        EXPECT_EQ(S.NulPending, 1);
    }
}

TEST_F(Transmit, SecondSectionWithZeroBytesGoesBackWhole)
{
    const std::string block = std::string("A0\0B1", 5) + "C2";
    Store(HeaderOf('t', '1'), std::string("ab\x01", 3) + '\0' + block + "\xFF" "after");
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
    F.ComPort1.Writes.clear();
    F.ComPort1.Receive("\x1B" "V" "\x1B" "V" "\x1B" "I" "\x1B" "I" "\x1B" "V");
    EXPECT_EQ(F.ComPort1.Writes,
              (std::vector<std::string>{std::string("ab\x01", 3), kAck, block, "\xFF"}));
    EXPECT_EQ(S.TxState, 0);
}

TEST_F(Transmit, FailedChoiceLeavesTheOutgoingSetAlone)
{
    Store(HeaderOf('T', '0'), std::string(1, '\0'));
    F.Files.Files["/d/Q.TXT"] = "";
    F.Files.Files["/d/Q.src"] = "";
    F.Memo1.Lines = {"old"};
    F.OpenDialog1.Answers = {"/d/Q.TXT"};
    FileoutF81Click(S, F.C);
    EXPECT_EQ(F.Form3.Text, "File (*.hdr ) not found");
    EXPECT_EQ(S.ErrorKind, 3);
    EXPECT_EQ(S.TxFileName, "/d/P.TXT");
    EXPECT_EQ(S.TxHdrPath, "/d/P.hdr");
    EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    EXPECT_TRUE(F.Memo1.Lines.empty());
    EXPECT_TRUE(F.OpenDialog1.name.empty());
    F.OpenDialog1.Answers = {""};
    FileoutF81Click(S, F.C);
    EXPECT_EQ(S.TxFileName, "/d/P.TXT");
}

TEST_F(Transmit, ShortHeaderAndRestartedPacing)
{
    Store(std::string(11, 't'), std::string(1, '\0'));
    S.BlockBuffer.assign(132, 'P');  // stale block of an older transfer
    S.DeviceClass = 0;
    S.HdrSendOffset = 55;  // left by an abandoned pacing
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
    EXPECT_EQ(S.DeviceClass, 7);   // byte 10 of the file
    EXPECT_EQ(S.HeaderDigit, 0);   // byte 14 is past the file: zero
    EXPECT_EQ(PaceHeader(), 12);
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + std::string(11, 't'));
}

TEST_F(Transmit, VanishedFilesSendNothingInvented)
{
    Store(HeaderOf('T', '0'), std::string(3, 'z') + '\0');
    F.Files.Files.erase("/d/P.src");
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z" "\x1B" "V");
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{"\x80\x80"});
    EXPECT_EQ(F.Form3.Text, "File (*.src) not found");
    EXPECT_EQ(S.TxState, 0);
    EXPECT_EQ(S.RxState, 0);
    EXPECT_EQ(S.HdrSendActive, 0);

    F.ComPort1.Writes.clear();
    F.Files.Files.erase("/d/P.hdr");
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    EXPECT_EQ(F.Form3.Text, "File (*.hdr ) not found");
    EXPECT_EQ(S.RxState, 0);
}

TEST_F(Transmit, DrainEventsWithoutPacingChangeNothing)
{
    ComPort1TxEmpty(S);
    Timer2Timer(S, F.C);
    EXPECT_TRUE(F.ComPort1.Writes.empty());
}

TEST_F(Transmit, ReceivedProgramGoesBackByteForByte)
{
    std::string header = HeaderOf('t', '2');
    header[3] = 'x';  // a reception's header never holds what ends a text chunk
    const std::string text = std::string("r1\x01" "r2\x02", 6);
    const std::string block = std::string("P0\0Q1", 5);
    F.SaveDialog1.Answers = {"/d/R.TXT"};
    FileinF71Click(S, F.C);
    F.ComPort1.Receive("\x1B" "A" "\x1B" "C" "\x1B" "Y" + header + "\x1B" "U" + text +
                       std::string(1, '\0') + "\x1B" "I" "\x1B" "I" "\x1B" "U" + block + "\xFF" +
                       "\x1B" "I" "\x1B" "I");
    ASSERT_EQ(F.Edit2.text, "/d/R.TXT");
    F.ComPort1.Writes.clear();
    F.ComPort1.Receive("\x1B" "A" "\x1B" "Z");
    PaceHeader();
    F.ComPort1.Receive("\x1B" "V");
    Timer1Timer(S, F.C);
    Timer1Timer(S, F.C);
    F.ComPort1.Receive("\x1B" "I" "\x1B" "V");
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + header + text + std::string(1, '\0') +
                                     kAck + block + "\xFF");
}
