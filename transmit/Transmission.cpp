#include "transmit/Transmission.h"

#include "receive/Dispatcher.h"
#include "receive/StoredFileSet.h"
#include "shell/Messages.h"
#include "transmit/Pacing.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr size_t kChunk = 256;

void FileChoiceError(ProgramState& S, platform::Form1Components& C, Message m)
{
    C.Sound.Beep();
    C.OpenDialog1.SetFileName("");
    ShowMessage(S, C, m);
}

void EndTransmission(ProgramState& S, platform::Form1Components& C)
{
    S.TxState = 0;
    S.RxState = 0;
    C.ProgressBar1.SetPosition(0);
    C.ProgressBar1.Hide();
}

// A stored file that is gone when the device asks: no invented bytes go out, the
// user is told, and both machines return to idle.
void Abandon(ProgramState& S, platform::Form1Components& C, Message m)
{
    StopHeaderPacing(S);
    EndTransmission(S, C);
    C.Sound.Beep();
    ShowMessage(S, C, m);
}

enum class SectionEnd { Terminator, EndOfFile, Unreadable };

// Sends the section from offset up to its terminator in writes of at most 256
// bytes; the terminator itself is not sent. Counts what it read in *consumed.
SectionEnd SendSection(ProgramState& S, platform::Form1Components& C, uint64_t offset,
                       uint8_t terminator, uint64_t* consumed)
{
    auto f = C.Files.OpenRead(S.TxSrcPath);
    if (!f || !f->Seek(offset))
        return SectionEnd::Unreadable;
    S.TxText.clear();
    uint8_t block[4096];
    for (;;) {
        const size_t got = f->Read(block, sizeof block);
        if (got == 0)
            return f->Failed() ? SectionEnd::Unreadable : SectionEnd::EndOfFile;
        for (size_t i = 0; i < got; ++i) {
            const uint8_t b = block[i];
            if (consumed)
                ++*consumed;
            if (b == terminator) {
                if (!S.TxText.empty())
                    C.ComPort1.WriteStr(S.TxText);
                S.TxText.clear();
                return SectionEnd::Terminator;
            }
            if (S.TxText.size() == kChunk) {
                C.ComPort1.WriteStr(S.TxText);
                S.TxText.clear();
                platform::AdvanceProgress(C.ProgressBar1);
            }
            S.TxText.push_back(static_cast<char>(b));
        }
    }
}

void Start(ProgramState& S, platform::Form1Components& C)
{
    C.Memo2.Clear();
    C.Memo2.SetText("TRASMISSIONE IN CORSO  ");
    C.ProgressBar1.Show();
    platform::StepProgress(C.ProgressBar1);

    // Every transmission paces its header from the start, whatever an abandoned
    // one left behind.
    StopHeaderPacing(S);
    std::vector<uint8_t> header(128, 0);
    size_t got = 0;
    auto f = C.Files.OpenRead(S.TxHdrPath);
    if (f) {
        got = f->Read(header.data(), header.size());
        if (f->Failed())
            f.reset();
    }
    if (!f) {
        Abandon(S, C, Message::HdrNotFound);
        return;
    }
    S.TxEmpty = 0;
    C.ComPort1.WriteStr(std::string("\x80\x80", 2));
    // Classify what the file holds, the rest zero: never an older block.
    S.BlockBuffer.assign(132, 0);
    std::copy(header.begin(), header.begin() + static_cast<long>(got), S.BlockBuffer.begin());
    ClassifyHeader(S, S.BlockBuffer.data());
    S.TxState = 2;
    S.SecondSectionOffset = 0;
    S.HdrSendActive = 1;
    C.Timer2.SetEnabled(true);
}

}  // namespace

void FileoutF81Click(ProgramState& S, platform::Form1Components& C)
{
    C.Memo1.Clear();
    C.OpenDialog1.Execute();
    const std::string name = C.OpenDialog1.FileName();
    if (name.empty())
        return;
    if (!C.Files.Exists(name))
        return FileChoiceError(S, C, Message::TxtNotFound);
    const std::string hdr = DeriveSetPath(name, "hdr");
    if (!C.Files.Exists(hdr))
        return FileChoiceError(S, C, Message::HdrNotFound);
    const std::string src = DeriveSetPath(name, "src");
    if (!C.Files.Exists(src))
        return FileChoiceError(S, C, Message::SrcNotFound);
    // All three exist: only now does the outgoing set change, all of it at once.
    S.TxFileName = name;
    S.TxHdrPath = hdr;
    S.TxSrcPath = src;
    C.OpenDialog1.SetFileName("");
    C.Edit2.SetText(S.TxFileName);
}

void TransmitStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
{
    const bool pair = S.EscSeen == 1;
    switch (S.TxState) {
    case 1:
        Start(S, C);
        return;  // EscSeen untouched
    case 2:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            S.EscSeen = 0;
        } else if (pair && b == 'V') {
            S.SecondSectionOffset = 0;
            switch (SendSection(S, C, 0, 0x00, &S.SecondSectionOffset)) {
            case SectionEnd::Terminator:
                S.NulPending = 1;
                platform::AdvanceProgress(C.ProgressBar1);
                if (SecondSectionFollows(S))
                    S.TxState = 3;
                else {
                    EndTransmission(S, C);
                    C.Memo2.SetText("OPERAZIONE ESEGUITA");
                }
                break;
            case SectionEnd::EndOfFile:
                break;  // the device may ask again, or the watchdog ends it
            case SectionEnd::Unreadable:
                Abandon(S, C, Message::SrcNotFound);
                break;
            }
        }
        break;
    case 3:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            S.EscSeen = 0;
            S.TxState = 4;
        }
        break;
    case 4:
        if (pair && b == 'V') {
            // Zero bytes inside the block go out like any other.
            switch (SendSection(S, C, S.SecondSectionOffset, 0xFF, nullptr)) {
            case SectionEnd::Terminator:
                C.ComPort1.WriteStr(std::string(1, '\xFF'));
                platform::AdvanceProgress(C.ProgressBar1);
                EndTransmission(S, C);
                C.Memo2.SetText("OPERAZIONE ESEGUITA");
                break;
            case SectionEnd::EndOfFile:
                break;
            case SectionEnd::Unreadable:
                Abandon(S, C, Message::SrcNotFound);
                break;
            }
        }
        break;
    default:
        return;
    }
    S.EscSeen = b == kEsc ? 1 : 0;
}
