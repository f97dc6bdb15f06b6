// Whole exchanges on the line, compared with the logs in data/. Set
// SERBOX_WRITE_GOLDEN=1 to rewrite a log after a deliberate change, then read it.

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/transmit/TransmitFixture.h"

namespace {

void ExpectGolden(const std::string& name, const std::string& log)
{
    const std::string path = std::string(TRANSMIT_GOLDEN_DIR) + "/" + name;
    if (std::getenv("SERBOX_WRITE_GOLDEN"))
        std::ofstream(path, std::ios::binary) << log;
    std::ifstream in(path, std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(golden.str(), log) << path;
}

}  // namespace

TEST_F(Transmit, ExchangeEndingAfterTheTextSection)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>(0x20 + i % 0x5F);
    Store(HeaderOf('T', '0'), text + '\0' + "never read\xFF");
    Tick2();  // no transmission: a drain event changes nothing
    Device("\x1B" "A");
    Device("\x1B" "Z");
    Tick2(false);  // the lead-in has not drained yet
    for (int i = 0; i < 5; ++i)
        Tick2();
    Device("\x1B" "I");  // a poll while the header goes out
    EXPECT_EQ(PaceHeader(), 124);
    Device("\x1B" "I" "V" "\x1B" "I");  // a V that is no request
    Device("\x1B" "V");
    EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
    Tick2();
    Tick1();
    Tick1();
    Tick1();
    EXPECT_EQ(std::pair(Activity(), F.ProgressBar1.position), std::pair(kIdle, 0));
    ExpectGolden("text_only.log", Log);
}

TEST_F(Transmit, ExchangeWithThe5001Block)
{
    Store(HeaderOf('t', '1'), std::string("ab\x01\0A0\0B1\x80" "C\xFF" "after\xFF", 18));
    SendAll();
    Tick1();
    Device("\x1B" "V");  // state 3 waits for the poll
    Device("\x1B" "I");
    Device("\x1B" "I");  // state 4 answers no poll
    Tick1();
    Device("V" "\x1B");  // a V alone is no request; ESC spans two events
    Device("V");
    Tick1();
    EXPECT_EQ(S.TxState, 0);
    // A step at the start, one a header byte, one after each section, then zero.
    EXPECT_EQ(F.ProgressBar1.Moves.size(), 1u + 128 + 2 + 1);
    ExpectGolden("with_block.log", Log);
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
