#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <tuple>

#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "receive/Reception.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"

namespace {

// Header bytes are data, an ESC as the last one included.
std::string Header(char b10, char b14)
{
    std::string h = HeaderOf(b10, b14);
    h[127] = '\x1B';
    return h;
}
// A reception up to the start of the text section.
std::string Start(const std::string& header) { return "\x1B" "A" "\x1B" "C" "\x1B" "Y" + header + "\x1B" "U"; }

struct Reception : ::testing::Test, FakeProgram {
    Reception() { Reset(); }
    void Reset()
    {
        Restart();
        F.Files = FakeFileSystem{};
        F.ComPort1.Writes.clear();
        FileIn("/tmp/LINE1.TXT");
    }
    // Sends the bytes in events of random sizes.
    void Device(const std::string& bytes, unsigned seed)
    {
        std::mt19937 rng(seed);
        for (size_t at = 0, n = 0; at < bytes.size(); at += n)
            F.ComPort1.Receive(bytes.substr(at, n = std::uniform_int_distribution<size_t>(1, 40)(rng)));
    }
    std::string File(const std::string& path) { return F.Files.Files.at(path); }
    // The listing, header and source of the set named stem.TXT.
    std::tuple<std::string, std::string, std::string> SetOf(const std::string& stem)
    {
        return {File(stem + ".TXT"), File(stem + ".hdr"), File(stem + ".src")};
    }
    // Done, and the set offered for sending.
    void ExpectOffered(const std::string& stem)
    {
        EXPECT_EQ(std::tuple(F.Memo2.Text(), F.Edit2.text, S.TxSrcPath),
                  std::tuple("OPERAZIONE ESEGUITA", stem + ".TXT", stem + ".src"));
    }
};

// Records: kind 1 "AB", kind 1 "C\xC1", kind 2 "X", kind 3 "", then the end.
const std::string kText = std::string("AB\x01" "C\xC1\x01" "X\x02" "\x03", 9);
const std::string kListing = "NUM 1000 AB\r\nNUM 1001 C#A\r\nNUM 3000 \r\n";

}  // namespace

TEST_F(Reception, WholeExchangeWithoutTheSecondSection)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        F.ComPort1.Writes.clear();
        F.ProgressBar1.Moves.clear();
        const std::string header = Header('T', '0');  // class 6: no 5001 block
        Device("\x1B" "A" + kPoll + "\x1B" "C" "\x1B" "Y" + header + kPoll + "\x1B" "U" + kText.substr(0, 4) + kPoll +
                   kText.substr(4) + kNul + kPoll + kPoll, seed);
        EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kAck, kAck, kChunkOk, kEnded, kAck}));
        EXPECT_EQ(SetOf("/tmp/LINE1"), std::tuple(kListing, header, kText + kNul));
        ExpectOffered("/tmp/LINE1");
        EXPECT_EQ(Activity(), kIdle);
        EXPECT_EQ(F.ProgressBar1.Moves, (std::vector<int>{2, 4, 6, 8, 10, 0}));
    }
}

// A byte the line damaged on the way: the set is not saved, the one under the name
// stays, and the message line says why. Errors from before the reception are not its own.
TEST_F(Reception, LineErrorsMeanTheSetIsNotDone)
{
    S.LanguageFlag = 0;
    const std::string header = Header('T', '0');
    F.Files.Files["/tmp/LINE1.src"] = "older";
    Device(Start(header) + kText.substr(0, 4), 3);
    F.ComPort1.Errors.Framing = 2;
    F.ComPort1.Errors.Break = 1;
    const int beeps = F.Sound.Beeps;
    Device(kText.substr(4) + kNul + kPoll + kPoll, 3);
    EXPECT_EQ(F.Memo2.Text(), "RICEVUTO CON ERRORI DI LINEA (formato 2, interruzione 1): il programma puo' essere "
                              "danneggiato e non e' stato salvato; i file con quel nome sono quelli di prima. "
                              "Controllare velocita' e cavo e ripetere la ricezione");
    EXPECT_EQ(std::tuple(F.Sound.Beeps, S.RxState, F.Edit2.text, S.TxSrcPath), std::tuple(beeps + 1, 0, "", ""));
    EXPECT_EQ(F.Files.Files, (std::map<std::string, std::string>{{"/tmp/LINE1.src", "older"}}));

    FileIn("/tmp/LINE3.TXT");  // the line is clean again: what it did before does not count
    Device(Start(header) + kText + kNul + kPoll + kPoll, 5);
    ExpectOffered("/tmp/LINE3");
}

TEST_F(Reception, WholeExchangeWithTheSecondSection)
{
    // 22 groups: 0, 45, 999, then 1023s; a 0x00 among them is kept with what follows it.
    std::string block("A00A\0=An7", 9);
    for (int g = 3; g < 22; ++g)
        block += "Ao?";
    Device(Start(Header('t', '2')), 7);
    EXPECT_EQ(std::tuple(F.Memo2.Text(), F.ProgressBar1.visible), std::tuple("RICEZIONE IN CORSO", true));
    // A U without its ESC starts no block.
    Device(kText + kNul + kPoll + kPoll + "Uz\x1B" "U" + block.substr(0, 30) + kPoll +
               block.substr(30) + "\xFF" + kPoll + "z\x1B" "q", 7);
    EXPECT_EQ(F.ComPort1.Writes.size(), 4u);  // the last reply waits for the last poll
    Device(kPoll, 7);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kEnded, kAck, kChunkOk, kEnded, kAck}));
    EXPECT_EQ(File("/tmp/LINE1.src"), kText + kNul + block + "\xFF");
    EXPECT_NE(File("/tmp/LINE1.TXT").find("NUM 2000 X\r\n"), std::string::npos);  // class 7 lists kind 2
    EXPECT_EQ(F.ProgressBar1.Moves, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 0}));
}

TEST_F(Reception, EscapeRulesAndStatesThatIgnoreWhatTheyDoNotName)
{
    Device(Start(Header('T', '0')) + "ab" + kPoll, 1);
    EXPECT_EQ(File("/tmp/~LINE1.src"), "ab");  // written once the device is told so, aside
    Device("\x1B" "q" "\x1B\x1B" "I" "cd" + kNul + "z\x1B" "q", 1);
    EXPECT_EQ(File("/tmp/~LINE1.src"), std::string("abcd\0", 5));
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kChunkOk, kChunkOk}));
    Device(kPoll + "z\x1B" "q", 1);  // after the section only polls are answered
    EXPECT_EQ(F.ComPort1.Writes.size(), 3u);
    Device(kPoll, 1);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kChunkOk, kChunkOk, kEnded, kAck}));

    // A poll before the header and before the 5001 block gets no answer.
    Reset();
    Device("\x1B" "A" "\x1B" "C" + kPoll + Start(Header('t', '1')).substr(4) + "a" + kNul + kPoll + kPoll + kPoll, 8);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kEnded, kAck}));
    // An 0xFF straight after ESC "U" is a block of one byte: the header (and with
    // it the block) was taken from the right byte on.
    Device("\x1B" "U" "\xFF" + kPoll + kPoll, 9);
    EXPECT_EQ(std::pair(File("/tmp/LINE1.src"), F.Memo2.Text()),
              std::pair(std::string("a\0\xFF", 3), std::string("OPERAZIONE ESEGUITA")));
}

TEST_F(Reception, CommandStateAndAReceptionWithNoName)
{
    F.ComPort1.Receive("\x1B");
    F.ComPort1.Receive("AI\x1B" "I");  // a pair split across events; "I" alone is no poll
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{kAck});
    F.ComPort1.Receive("\x1B" "Z");  // nothing to send
    EXPECT_EQ(S.ErrorKind, 5);
    F.Edit1.text.clear();
    F.ComPort1.Receive("\x1B" "C");
    EXPECT_EQ(std::tuple(S.ErrorKind, S.RxState, F.Sound.Beeps), std::tuple(6, 0, 2));
}

// F7 names a set and makes no file, but asks first where a reception would
// replace a stored listing or a stored pair; the name is taken only on OK.
TEST_F(Reception, F7AsksBeforeEmptyingAStoredProgram)
{
    EXPECT_TRUE(F.Files.Files.empty());
    F.Files.Files["/tmp/OLD.TXT"] = "keep";
    F.Files.Files["/tmp/OLD.hdr"] = "header";
    F.Files.Files["/tmp/OLD.src"] = "source";
    F.Files.Files["/tmp/H.hdr"] = F.Files.Files["/tmp/S.src"] = "";
    // A stored listing; a new one beside a pair, a lone header, a lone source.
    for (const char* name : {"/tmp/OLD.TXT", "/tmp/OLD.LST", "/tmp/H.TXT", "/tmp/S.TXT"}) {
        const int beeps = F.Sound.Beeps;
        FileIn(name);
        // Asked, with a beep; the name unchanged until answered.
        EXPECT_EQ(std::tuple(S.ErrorKind, F.Form3.Button2Visible, F.Sound.Beeps, S.RxFileName),
                  std::tuple(2, true, beeps + 1, "/tmp/LINE1.TXT")) << name;
        EXPECT_EQ(SetOf("/tmp/OLD"), std::tuple("keep", "header", "source"));
    }
    EXPECT_FALSE(F.Files.Exists("/tmp/OLD.LST"));
    FileIn("/tmp/OLD.LST");
    ConfirmOverwrite(S, C);
    EXPECT_EQ(S.RxFileName + S.RxHdrPath, "/tmp/OLD.LST/tmp/OLD.hdr");
    FileIn("");  // cancelled
    EXPECT_EQ(S.RxFileName, "/tmp/OLD.LST");
}

// A folder that is missing or read-only is told while the name is chosen, before
// the device sends its program; the name stays unchosen and nothing is left half made.
TEST_F(Reception, F7ToAFolderThatCannotBeWrittenSaysSoAtOnce)
{
    F.Files.FailCreate = {"/nope/~X.hdr"};
    FileIn("/nope/X.TXT");
    EXPECT_EQ(F.Form3.Text, "Cannot write /nope/X.hdr\nthe folder is missing or read-only");
    EXPECT_EQ(std::tuple(S.ErrorKind, F.Sound.Beeps, F.SaveDialog1.name, S.RxFileName, F.Edit1.text),
              std::tuple(7, 1, "", "/tmp/LINE1.TXT", "/tmp/LINE1.TXT"));
    EXPECT_TRUE(F.Files.Files.empty());
    // An existing set, confirmed at the overwrite prompt: opened, never changed.
    S.LanguageFlag = 0;
    F.Files.Files["/ro/Y.TXT"] = "keep", F.Files.Files["/ro/Y.hdr"] = "h", F.Files.Files["/ro/Y.src"] = "s";
    F.Files.FailOpen = {"/ro/Y.src"};
    FileIn("/ro/Y.TXT");
    ConfirmOverwrite(S, C);
    EXPECT_EQ(F.Form3.Text, "Impossibile scrivere /ro/Y.src\nla cartella manca o e' di sola lettura");
    EXPECT_EQ(S.RxFileName, "/tmp/LINE1.TXT");
    EXPECT_EQ(SetOf("/ro/Y"), std::tuple("keep", "h", "s"));
}

// A name chosen while a reception runs, from its request to its last poll, is
// the next reception's: the one under way keeps its three files, both sets end
// whole, and a name chosen after that is taken at once.
TEST_F(Reception, F7DuringAReceptionNamesTheNextOne)
{
    const std::string t0 = Header('T', '0'), t7 = Header('t', '0'), text = std::string("firstsecond\0", 12);
    struct Case {
        std::string header, before, after, src;
    };
    const Case cases[] = {
        {t0, "\x1B" "A" "\x1B" "C", "\x1B" "Y" + t0 + "\x1B" "U" + text + kPoll + kPoll, text},
        {t0, Start(t0) + "first" + kPoll, "second" + kNul + kPoll + kPoll, text},
        {t7, Start(t7) + text + kPoll + kPoll + "\x1B" "U" "\xFF" + kPoll, kPoll, text + "\xFF"}};
    for (bool prompted : {false, true})
        for (const Case& c : cases) {
            Reset();
            Device(c.before, 3);
            if (prompted)
                F.Files.Files["/tmp/NEXT.hdr"] = "older";  // asked about, then confirmed
            FileIn("/tmp/NEXT.TXT");
            if (prompted)
                ConfirmOverwrite(S, C);
            // Shown, forgotten by the dialog, nothing made yet.
            EXPECT_EQ(F.Edit1.text + F.SaveDialog1.name, "/tmp/NEXT.TXT");
            EXPECT_FALSE(F.Files.Exists("/tmp/NEXT.src"));
            Device(c.after, 4);
            ExpectOffered("/tmp/LINE1");
            EXPECT_EQ(File("/tmp/LINE1.hdr"), c.header);
            EXPECT_EQ(File("/tmp/LINE1.src"), c.src);
            // The next reception goes where F7 said, the one after where F7 says then.
            for (const char* next : {"/tmp/NEXT", "/tmp/THIRD"}) {
                if (next[5] == 'T')
                    FileIn("/tmp/THIRD.TXT");
                Device(Start(t0) + "two" + kNul + kPoll + kPoll, 5);
                EXPECT_EQ(File(next + std::string(".src")), std::string("two\0", 4));
                EXPECT_EQ(F.Edit2.text, next + std::string(".TXT"));
            }
        }
}

// Only a whole set, stored, replaces the one under the name. Whatever step of
// storing fails, the device still gets every reply, the failure is told (one of
// the disk with its file and the system's reason) and nothing is offered for
// sending; a port that goes cuts the reception at any byte. Either way the stored
// set stays byte for byte and nothing is left aside.
TEST_F(Reception, OnlyAWholeStoredSetReplacesTheOneUnderTheName)
{
    const auto exchange = Start(Header('t', '0')) + kText + kNul + kPoll + kPoll + "\x1B" "U" "\xFF" + kPoll + kPoll;
    const std::map<std::string, std::string> old{{"/tmp/LINE1.TXT", "l"}, {"/tmp/LINE1.hdr", "h"}, {"/tmp/LINE1.src", "s"}};
    using F_ = FakeFileSystem;
    const std::tuple<std::set<std::string> F_::*, std::string, std::string> cases[] = {
        {&F_::FailCreate, "/tmp/~LINE1.hdr", ""}, {&F_::FailOpen, "/tmp/~LINE1.src", ""},
        {&F_::FailSeek, "/tmp/~LINE1.hdr", ""}, {&F_::FailWrite, "/tmp/~LINE1.src", ""},
        {&F_::FailClose, "/tmp/~LINE1.hdr", ""}, {&F_::FailWrite, "/tmp/~LINE1.TXT", ""},
        {&F_::FailSync, "/tmp/~LINE1.src", "/tmp/~LINE1.src: Input/output error"},
        {&F_::FailSync, "/tmp/~LINE1.TXT", "/tmp/~LINE1.TXT: Input/output error"},
        {&F_::FailRename, "/tmp/LINE1.src", "/tmp/LINE1.src: Permission denied"},   // the old one held
        {&F_::FailRename, "/tmp/~LINE1.src", "/tmp/~LINE1.src: Permission denied"},  // the new one
        {nullptr, "", "/tmp/LINE1.TXT: Input/output error"}};                        // the folder's sync
    for (const auto& [fault, path, why] : cases) {
        Reset();
        F.Files.Files = old;
        if (fault)
            (F.Files.*fault).insert(path);
        F.Files.FailSyncFolder = !fault;
        const int beeps = F.Sound.Beeps;
        Device(exchange, 2);
        EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{kEnded, kAck, kEnded, kAck})) << path;
        EXPECT_EQ(std::tuple(F.Memo2.Text(), F.Sound.Beeps, S.ErrorKind, S.TxFileName),
                  std::tuple("Errore di scrittura del file ricevuto", beeps + 1, 7, "")) << path;
        // A write that failed is told as such, not caught later as a set not whole.
        EXPECT_EQ(why.empty() ? F.Form3.Text : F.Form3.Text.substr(F.Form3.Text.size() - why.size()),
                  why.empty() ? "Received file write error" : why) << path;
        EXPECT_EQ(F.Files.Files, old) << path;
    }
    for (size_t cut = 1; cut < exchange.size(); ++cut) {
        Reset();
        F.Files.Files = old;
        Device(exchange.substr(0, cut), static_cast<unsigned>(cut));
        PortLost(S, C);
        ASSERT_EQ(F.Files.Files, old) << cut;
    }
}
