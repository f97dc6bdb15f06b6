#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"

namespace {

// A stored set, and a device that talks through the fake port.
struct Transmit : ::testing::Test, FakeProgram {
    void Store(const std::string& hdr, const std::string& src)
    {
        F.Files.Files["/d/P.TXT"] = "listing";
        F.Files.Files["/d/P.hdr"] = hdr;
        F.Files.Files["/d/P.src"] = src;
        FileOut("/d/P.TXT");
    }
    void Device(const std::string& bytes) { F.ComPort1.Receive(bytes); }
    // The device's request, then the whole set: header paced, text section asked for.
    void Request() { Device("\x1B" "A" "\x1B" "Z"); }
    void SendAll()
    {
        Request();
        PaceHeader();
        Device("\x1B" "V");
    }
    std::tuple<std::string, std::string, std::string> OutgoingSet() const { return {S.TxFileName, S.TxHdrPath, S.TxSrcPath}; }
    // One Timer2 tick after the last write has drained.
    void Tick2()
    {
        ComPort1TxEmpty(S);
        Timer2Timer(S, C);
    }
    // Drained ticks until the pacing ends: each tick but the last sends exactly
    // one byte. The number of ticks it took.
    int PaceHeader()
    {
        const size_t from = F.ComPort1.Writes.size();
        int n = 0;
        for (; S.HdrSendActive == 1 && n < 1000; ++n)
            Tick2();
        for (size_t i = from; i < F.ComPort1.Writes.size(); ++i)
            EXPECT_EQ(F.ComPort1.Writes[i].size(), 1u) << "one header byte a tick";
        EXPECT_EQ(F.ComPort1.Writes.size() - from, static_cast<size_t>(n - 1));
        return n;
    }
};

}  // namespace

// F8 takes a whole set or keeps the one it had: a file missing, a set cut short,
// or one named with F7 and never received would overwrite the device's program
// with a damaged one. F8 says which file and what is wrong.
TEST_F(Transmit, F8TakesOnlyAWholeSet)
{
    F.Memo1.Lines = {"old"};
    FileOut("");  // cancelled
    EXPECT_TRUE(F.Memo1.Lines.empty());
    EXPECT_EQ(std::tuple(F.Sound.Beeps, F.Form3.Shows, S.TxFileName), std::tuple(0, 0, ""));

    Store(HeaderOf('T', '0'), std::string("s\0", 2));
    EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    EXPECT_EQ(F.OpenDialog1.name, "");  // the next dialog starts afresh
    EXPECT_EQ(OutgoingSet(), std::tuple("/d/P.TXT", "/d/P.hdr", "/d/P.src"));
    const std::string h = HeaderOf('T', '0'), block = ClassHeader('t', ' ', '2', ' '), whole("x\0", 2);
    const struct {
        std::string hdr, src;
        int language;
        std::string told, gone = "";
        bool cut = false;  // a save's replace of the set cut short
    } cases[] = {
        {h, whole, 1, "File (*.txt ) not found", "TXT"},
        {h, whole, 1, "File (*.hdr ) not found", "hdr"},
        {h, whole, 1, "File (*.src) not found", "src"},
        {h.substr(0, 127), whole, 1, "Not a whole stored program: Q.hdr\na header holds 128 bytes, this one 127"},
        {h + "!", whole, 1, "Not a whole stored program: Q.hdr\na header holds 128 bytes, this one 129"},
        {h, "AB\x01", 0, "Programma non completo: Q.src\nla sezione di testo non ha il byte 0x00 di chiusura"},
        {block, std::string("x\0A0A\0", 7), 1,
         "Not a whole stored program: Q.src\nits header calls for a 5001 block, and no closing 0xFF byte follows "
         "the text section"},
        {h, whole, 1,
         "Not a whole stored program: Q.hdr\na save stopped while it replaced its files, which may mix two programs: "
         "save it again (the files from before are beside them, named with ~ before and .old after)",
         "TXT", true},
        {"", "", 1, "Not a whole stored program: Q.hdr\nnamed with F7 and never received: its files are empty"}};
    for (const auto& c : cases) {
        S.LanguageFlag = c.language;
        F.Files.Files["/d/Q.TXT"] = "", F.Files.Files["/d/Q.hdr"] = c.hdr, F.Files.Files["/d/Q.src"] = c.src;
        F.Files.Files.erase("/d/Q." + c.gone);
        if (c.cut)
            F.Files.Files["/d/~Q.replacing"] = "";
        else
            F.Files.Files.erase("/d/~Q.replacing");
        const int beeps = F.Sound.Beeps;
        FileOut("/d/Q.TXT");
        EXPECT_EQ(F.Form3.Text, c.told);
        EXPECT_EQ(std::tuple(S.ErrorKind, F.Sound.Beeps, F.OpenDialog1.name), std::tuple(3, beeps + 1, ""));
        // The outgoing set stays whole: never the header of one set, source of another.
        EXPECT_EQ(OutgoingSet(), std::tuple("/d/P.TXT", "/d/P.hdr", "/d/P.src")) << c.told;
        EXPECT_EQ(F.Edit2.text, "/d/P.TXT");
    }
    // Whole once its block is closed.
    F.Files.Files["/d/Q.hdr"] = block, F.Files.Files["/d/Q.src"] = std::string("x\0A0A\xFF", 6);
    FileOut("/d/Q.TXT");
    EXPECT_EQ(OutgoingSet(), std::tuple("/d/Q.TXT", "/d/Q.hdr", "/d/Q.src"));
}

TEST_F(Transmit, SectionsGoInWritesOf256AndOnlyWhenWhole)
{
    const std::pair<size_t, std::vector<size_t>> cases[] = {
        {0, {}}, {1, {1}}, {256, {256}}, {257, {256, 1}}, {5000, std::vector<size_t>(19, 256)}};
    for (const auto& [size, writes] : cases) {
        S.NulPending = 0;
        Store(HeaderOf('T', '0'), std::string(size, 'x') + '\0' + "yy");
        Request();
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
        EXPECT_EQ(std::pair(S.NulPending, S.TxState), std::pair(1, 0));  // even an empty section gets its zero byte
    }
    // The files may change between F8 and the device's request: a set no longer
    // whole sends the device nothing at all, and the user is told.
    Store(HeaderOf('T', '0'), std::string("abc\0", 4));
    F.Files.Files["/d/P.src"] = "abc";
    F.ComPort1.Writes.clear();
    Request();
    EXPECT_EQ(F.ComPort1.Sent(), "");
    EXPECT_EQ(F.Form3.Text, "Not a whole stored program: P.src\nits text section has no closing 0x00 byte");
    EXPECT_EQ(Activity(), kIdle);
    EXPECT_EQ(F.Memo2.Text(), "");
    // A section cut short after the start sends nothing; asked for again once
    // whole, it goes once.
    F.Files.Files["/d/P.src"] += '\0';
    Request();
    F.Files.Files["/d/P.src"] = "abc";
    F.ComPort1.Writes.clear();
    Device("\x1B" "V");
    EXPECT_TRUE(F.ComPort1.Writes.empty());
    F.Files.Files["/d/P.src"] += '\0';
    Device("\x1B" "V");
    EXPECT_EQ(F.ComPort1.Sent(), "abc");
    // The 5001 block once polled, up to its 0xFF and no further, with a step of its own.
    Store(HeaderOf('t', '1'), std::string("ab\0A0\xFF" "after", 11));
    SendAll();
    F.ComPort1.Writes.clear();
    F.ProgressBar1.Moves.clear();
    Device("\x1B" "V" "\x1B");  // an ESC ending one event pairs with the next one's first byte
    Device("I" "\x1B" "V");
    EXPECT_EQ(F.ComPort1.Sent(), kAck + "A0\xFF");
    EXPECT_EQ(std::pair(F.ProgressBar1.Moves.size(), F.ProgressBar1.Moves.back()), std::pair(size_t{2}, 0));
}

TEST_F(Transmit, HeaderPacedOneByteATickFromTheFileAlone)
{
    const std::string header = std::string("\x80\0\xFF" "abcdefg", 10) + std::string(118, '\0');
    Store(header, std::string(1, '\0'));
    S.BlockBuffer.assign(132, 't');  // an older block: class 7, digit 4
    S.TxState = 1;
    S.HdrSendOffset = 55;  // left behind by an abandoned pacing
    TransmitStep(S, C, 'Z');
    EXPECT_EQ(std::tuple(F.ProgressBar1.visible, F.Timer2.enabled, F.Memo2.Text()),
              std::tuple(true, true, "TRASMISSIONE IN CORSO  "));
    EXPECT_EQ(PaceHeader(), 129);
    EXPECT_EQ(F.ProgressBar1.Moves.size(), 1u + 128);  // a step at the start, one a byte
    EXPECT_EQ(F.ComPort1.Chars, 119);  // each zero byte as one character
    EXPECT_EQ(F.ComPort1.Sent(), "\x80\x80" + header);
    // Classified from the file, not from what the block held.
    EXPECT_EQ(std::tuple(S.HeaderDigit, S.DeviceClass, S.HdrSendOffset), std::tuple(0, 0, 0));
    // A file grown after the start: its first 128 bytes, no more.
    Store(HeaderOf('T', '0'), std::string(1, '\0'));
    F.ComPort1.Writes.clear();
    Request();
    F.Files.Files["/d/P.hdr"] += "extra";
    EXPECT_EQ(PaceHeader(), 129);
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + HeaderOf('T', '0'));
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
        Request();
        c.before();
        F.Files.FailOpen.insert(c.gone);
        c.after();
        // Told with a beep, the message line emptied, nothing left running.
        EXPECT_EQ(F.Form3.Text, std::string(c.gone).ends_with("hdr") ? "File (*.hdr ) not found" : "File (*.src) not found");
        EXPECT_EQ(std::tuple(F.Memo2.Text(), S.ErrorKind, F.Sound.Beeps, Activity()), std::tuple("", 3, beeps + 1, kIdle))
            << c.gone;
        EXPECT_EQ(F.ComPort1.Sent(), c.sent) << c.gone;
    }
}

// The device's requests came damaged: the transmission is not told done.
TEST_F(Transmit, LineErrorsMeanTheTransmissionIsNotDone)
{
    S.LanguageFlag = 0;
    Store(HeaderOf('T', '0'), std::string("ab\0", 3));
    F.ComPort1.Errors.Framing = 4;  // before the transmission: not its own
    Request();
    PaceHeader();
    F.ComPort1.Errors.Parity = 1;
    Device("\x1B" "V");
    EXPECT_EQ(F.Memo2.Text(), "TRASMESSO CON ERRORI DI LINEA (parita' 1): le richieste del dispositivo sono arrivate "
                              "danneggiate. Controllare il programma sul dispositivo");
    EXPECT_EQ(std::pair(S.TxState, F.Sound.Beeps), std::pair(0, 1));  // told with a beep
    SendAll();  // a clean line again: what it did before does not count
    EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
}

// A set chosen with F8, or left by a reception, while another goes out is the
// one sent next time: a device never gets the header of one and the text of another.
TEST_F(Transmit, AChoiceDuringATransmissionWaitsForTheNext)
{
    F.Files.Files["/d/OTHER.TXT"] = "listing";
    F.Files.Files["/d/OTHER.hdr"] = HeaderOf('T', '5');
    F.Files.Files["/d/OTHER.src"] = std::string("other\0", 6);
    Store(HeaderOf('T', '0'), std::string("mine\0", 5));
    Request();
    for (int i = 0; i < 10; ++i)
        Tick2();
    FileOut("/d/OTHER.TXT");
    EXPECT_EQ(F.Edit2.text, "/d/OTHER.TXT");
    Device("\x1B" "V");  // asked before the header is all out: the pacing ends too
    EXPECT_EQ(S.TxState, 0);
    EXPECT_EQ(S.HdrSendActive, 0);
    Device("\x1B" "A" "\x1B" "I");
    Tick2();
    Device("\x1B" "I");  // no header byte among the replies
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + HeaderOf('T', '0').substr(0, 10) + "mine" + kAck + kAck);
    F.ComPort1.Writes.clear();
    SendAll();
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + HeaderOf('T', '5') + "other");
    // A set chosen once nothing goes out is the next one sent.
    Store(HeaderOf('T', '0'), std::string("third\0", 6));
    F.ComPort1.Writes.clear();
    SendAll();
    EXPECT_EQ(F.ComPort1.Sent(), std::string("\x80\x80", 2) + HeaderOf('T', '0') + "third");
}
