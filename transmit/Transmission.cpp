#include "transmit/Transmission.h"

#include <algorithm>
#include <string>
#include <vector>

#include "link/Exchange.h"
#include "link/SetCommit.h"
#include "link/StoredFileSet.h"

namespace {

constexpr uint8_t kEscape = 0x1B;
constexpr size_t kChunk = 256;
constexpr size_t kHeaderSize = 128;
constexpr size_t kReadBlock = 4096;
constexpr uint8_t kTextEnd = 0x00;
constexpr uint8_t kBlockEnd = 0xFF;

void FileChoiceError(ProgramState& S, Form1Components& C, Message m)
{
    C.Sound.Beep();
    C.OpenDialog1.SetFileName("");
    ShowMessage(S, C, m);
}

// A set that cannot go out whole: a file that cannot be read is told with the
// missing-file texts, any other fault with what is wrong and where.
void TellRefused(ProgramState& S, Form1Components& C, const SetCheck& check, const std::string& hdrPath)
{
    if (check.Fault == SetFault::Unreadable)
        ShowMessage(S, C, check.Path == hdrPath ? Message::HdrNotFound : Message::SrcNotFound);
    else
        ShowSetFault(S, C, check);
}

// A transmission that cannot go on ends here, its header pacing with it.
void EndUnsent(ProgramState& S, Form1Components& C)
{
    if (S.TxState != TxIdle) {
        EndTransfer(S, C);
        C.Memo2.Clear();
    }
    C.Sound.Beep();
}

void Completed(ProgramState& S, Form1Components& C)
{
    EndTransfer(S, C);
    if (const platform::LineErrors damaged = LineErrorsSinceStart(S, C); damaged.Total() > 0) {
        C.Memo2.SetText(LineErrorsText(LineErrorsAt::Transmission, damaged, S.LanguageFlag));
        C.Sound.Beep();
        return;
    }
    ShowLine(C, Line::Done);
}

enum class SectionEnd { Terminator, EndOfFile, Unreadable };

// Sends the .src bytes from offset up to the terminator, which is not sent, in
// writes of at most 256 bytes. Bytes after the terminator are never read. What
// was read, the terminator included, is added to *consumed.
SectionEnd SendSection(ProgramState& S, Form1Components& C, uint64_t offset,
                       uint8_t terminator, uint64_t* consumed)
{
    auto f = C.Files.OpenRead(S.TxSrcPath);
    if (!f || !f->Seek(offset))
        return SectionEnd::Unreadable;
    S.TxText.clear();  // each section, and each repeated request, from its start
    std::vector<uint8_t> block(kReadBlock);
    for (;;) {
        const size_t got = f->Read(block.data(), block.size());
        if (got == 0)
            // The partial chunk stays unsent: the device may ask again.
            return f->Failed() ? SectionEnd::Unreadable : SectionEnd::EndOfFile;
        for (size_t i = 0; i < got; ++i) {
            const uint8_t b = block[i];
            if (consumed)
                ++*consumed;
            if (b == terminator) {
                if (!S.TxText.empty())
                    C.ComPort1.WriteStr(S.TxText);
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

// What the .hdr holds, at most 128 bytes, the rest zero; false when it cannot be read.
bool ReadHeader(ProgramState& S, Form1Components& C, std::vector<uint8_t>& header)
{
    auto f = C.Files.OpenRead(S.TxHdrPath);
    if (!f)
        return false;
    header.assign(kHeaderSize, 0);
    size_t held = 0;
    while (held < kHeaderSize) {
        const size_t got = f->Read(header.data() + held, kHeaderSize - held);
        if (got == 0)
            break;
        held += got;
    }
    return !f->Failed();
}

void Start(ProgramState& S, Form1Components& C)
{
    CountLineErrorsFromHere(S, C);
    ShowLine(C, Line::Transmitting);
    C.ProgressBar1.Show();
    platform::StepProgress(C.ProgressBar1);

    // Every transmission paces its header from the start, whatever an abandoned
    // one left behind.
    StopHeaderPacing(S);
    if (!S.TxNextFileName.empty())
        SetOutgoingNames(S, S.TxNextFileName);
    // The files may have changed since F8: only a whole set goes out, and a
    // refused one sends the device nothing at all.
    if (const SetCheck check = CheckWholeSet(C.Files, S.TxHdrPath, S.TxSrcPath); check.Fault != SetFault::None) {
        EndUnsent(S, C);
        return TellRefused(S, C, check, S.TxHdrPath);
    }
    std::vector<uint8_t> header;
    if (!ReadHeader(S, C, header))
        return AbandonTransmission(S, C, Message::HdrNotFound);

    S.TxEmpty = 0;
    C.ComPort1.WriteStr(std::string("\x80\x80", 2));
    S.HdrSendActive = 1;
    // Classified from what the file holds with the rest zero, never an older block.
    S.BlockBuffer.assign(132, 0);
    std::copy(header.begin(), header.end(), S.BlockBuffer.begin());
    ClassifyHeader(S, S.BlockBuffer.data());
    S.TxState = TxAwaitText;
    S.SecondSectionOffset = 0;
    C.Timer2.SetEnabled(true);
}

void SendText(ProgramState& S, Form1Components& C)
{
    // Counted afresh on each request, so that a repeated request after a short
    // file cannot shift the start of the 5001 block.
    S.SecondSectionOffset = 0;
    switch (SendSection(S, C, 0, kTextEnd, &S.SecondSectionOffset)) {
    case SectionEnd::Terminator:
        S.NulPending = 1;  // the watchdog sends the zero byte
        platform::AdvanceProgress(C.ProgressBar1);
        if (SecondSectionFollows(S))
            S.TxState = TxAwaitInquiry;
        else
            Completed(S, C);
        break;
    case SectionEnd::EndOfFile:
        break;  // the device may ask again, or the watchdog ends it
    case SectionEnd::Unreadable:
        AbandonTransmission(S, C, Message::SrcNotFound);
        break;
    }
}

void SendBlock(ProgramState& S, Form1Components& C)
{
    // Zero bytes inside the block go out like any other, so a received program
    // goes back as it came.
    switch (SendSection(S, C, S.SecondSectionOffset, kBlockEnd, nullptr)) {
    case SectionEnd::Terminator:
        C.ComPort1.WriteStr(std::string(1, static_cast<char>(kBlockEnd)));
        platform::AdvanceProgress(C.ProgressBar1);
        Completed(S, C);
        break;
    case SectionEnd::EndOfFile:
        break;
    case SectionEnd::Unreadable:
        AbandonTransmission(S, C, Message::SrcNotFound);
        break;
    }
}

}  // namespace

void FileoutF81Click(ProgramState& S, Form1Components& C)
{
    C.Memo1.Clear();
    C.OpenDialog1.Execute();
    const std::string name = C.OpenDialog1.FileName();
    if (name.empty())
        return;
    // A save cut while it replaced this set's files: whichever of them are there,
    // they may be of two programs.
    if (ReplaceInterrupted(C.Files, name)) {
        C.Sound.Beep();
        C.OpenDialog1.SetFileName("");
        return ShowSetFault(S, C, {SetFault::Interrupted, DeriveSetPath(name, "hdr")});
    }
    if (!C.Files.Exists(name))
        return FileChoiceError(S, C, Message::TxtNotFound);
    const std::string hdr = DeriveSetPath(name, "hdr");
    if (!C.Files.Exists(hdr))
        return FileChoiceError(S, C, Message::HdrNotFound);
    const std::string src = DeriveSetPath(name, "src");
    if (!C.Files.Exists(src))
        return FileChoiceError(S, C, Message::SrcNotFound);
    // A set cut short, or named with F7 and never received, would overwrite the
    // device's program with a damaged one.
    if (const SetCheck check = CheckWholeSet(C.Files, hdr, src); check.Fault != SetFault::None) {
        C.Sound.Beep();
        C.OpenDialog1.SetFileName("");
        return TellRefused(S, C, check, hdr);
    }
    // All three exist and the set is whole: only now does the outgoing set change,
    // all of it at once, so a device never gets the header of one set and the
    // source of another.
    C.OpenDialog1.SetFileName("");
    TakeOutgoingSet(S, C, name);
}

void TransmitStep(ProgramState& S, Form1Components& C, uint8_t b)
{
    const bool pair = S.EscSeen == 1;
    switch (S.TxState) {
    case TxStarting:
        Start(S, C);
        return;  // EscSeen untouched
    case TxAwaitText:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            S.EscSeen = 0;
        } else if (pair && b == 'V') {
            SendText(S, C);
        }
        break;
    case TxAwaitInquiry:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            S.EscSeen = 0;
            S.TxState = TxAwaitBlock;
        }
        break;
    case TxAwaitBlock:
        if (pair && b == 'V')
            SendBlock(S, C);
        break;
    default:
        return;
    }
    S.EscSeen = b == kEscape ? 1 : 0;
}

void AbandonTransmission(ProgramState& S, Form1Components& C, Message missing)
{
    // The pacing runs only inside a transmission, whose end stops it.
    EndUnsent(S, C);
    ShowMessage(S, C, missing);
}
