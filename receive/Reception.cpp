#include "receive/Reception.h"

#include <algorithm>
#include <string>
#include <vector>

#include "link/Exchange.h"
#include "link/SetCommit.h"
#include "link/StoredFileSet.h"
#include "receive/Dispatcher.h"
#include "receive/Listing.h"
#include "shell/Messages.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr size_t kHeaderSize = 128;

bool ReceptionUnderWay(const ProgramState& S) { return S.RxState >= RxStarted && S.RxState <= RxFinalPoll; }

// By value: name may be the pending one, which this clears.
void TakeName(ProgramState& S, std::string name)
{
    S.RxNextFileName.clear();
    NameSet(name, S.RxFileName, S.RxHdrPath, S.RxSrcPath);
}

// A reception under way keeps the set it started with: re-pointing it midway
// would leave both sets cut short. The new name waits for the next reception.
// Returns true when the name was taken at once.
bool ChooseName(ProgramState& S, Form1Components& C, const std::string& name)
{
    C.Edit1.SetText(name);
    C.SaveDialog1.SetFileName("");
    if (ReceptionUnderWay(S)) {
        S.RxNextFileName = name;
        return false;
    }
    TakeName(S, name);
    return true;
}

void Fail(ProgramState& S) { S.RxFileFailed = 1; }

// Whether the set named name can be written, asked while the user is choosing
// it: a folder that is missing or read-only is told now, before the device sends
// its program, and the name stays unchosen. Nothing under the name changes: an
// existing file of the set is only opened, and each aside file the reception
// will write is made and removed again (one left by an unfinished save is only
// opened). A name chosen during a reception touches no file: the next
// reception's start checks it.
bool Unwritable(ProgramState& S, Form1Components& C, const std::string& name)
{
    if (ReceptionUnderWay(S))
        return false;
    std::string listing, hdr, src;
    NameSet(name, listing, hdr, src);
    const auto canWrite = [&](const std::string& path) {
        auto f = C.Files.OpenWrite(path);
        return f && f->Close();
    };
    for (const std::string& path : {listing, hdr, src}) {
        const std::string aside = AsidePath(path);
        bool ok = !C.Files.Exists(path) || canWrite(path);
        if (ok && C.Files.Exists(aside))
            ok = canWrite(aside);
        else if (ok)
            ok = C.Files.CreateEmpty(aside) && C.Files.Delete(aside);
        if (!ok) {
            C.Sound.Beep();
            C.SaveDialog1.SetFileName("");
            ShowCannotWrite(S, C, path);
            return true;
        }
    }
    return false;
}

// Writes data at the start (header) or the end (section text) of an existing
// file; every call opens and closes the file.
bool WriteToFile(platform::FileSystem& files, const std::string& path, const std::string& data,
                 bool append)
{
    auto f = files.OpenWrite(path);
    if (!f)
        return false;
    bool ok = append ? f->SeekEnd() : f->Seek(0);
    if (ok && !data.empty())
        ok = f->Write(data.data(), data.size());
    return f->Close() && ok;
}

// The pending section text goes to the .src file whole, whatever its length and
// whatever bytes it holds: a 0x00 inside the 5001 block is data like any other.
void WriteChunk(ProgramState& S, Form1Components& C)
{
    if (!WriteToFile(C.Files, AsidePath(S.RxSrcPath), S.RxText, true))
        Fail(S);
    S.RxText.clear();
}

void HeaderByte(ProgramState& S, Form1Components& C, uint8_t b)
{
    // Whatever the state holds, no byte lands outside the buffer.
    S.BlockBuffer.resize(std::max<size_t>(S.BlockBuffer.size(), 132));
    if (static_cast<size_t>(S.BlockCount) >= kHeaderSize)  // a negative count too
        S.BlockCount = 0;
    S.BlockBuffer[S.BlockCount++] = b;
    if (static_cast<size_t>(S.BlockCount) < kHeaderSize)
        return;
    const std::string block(S.BlockBuffer.begin(), S.BlockBuffer.begin() + kHeaderSize);
    if (!WriteToFile(C.Files, AsidePath(S.RxHdrPath), block, false))
        Fail(S);
    ClassifyHeader(S, S.BlockBuffer.data());
    S.RxState = RxHeaderStored;
    platform::StepProgress(C.ProgressBar1);
}

// The two sections arrive alike: text in chunks closed by polls, ESC pairs
// dropped, and a terminator that ends the section. They differ in these.
struct Section {
    uint8_t terminator;
    int32_t endedState;
    bool advanceOnPoll;  // the text section moves the progress bar at each chunk
    bool marksHighBits;  // only the text section's bytes are listed with marks
};
constexpr Section kTextSection{0x00, RxTextEnded, true, true};
constexpr Section kBlockSection{0xFF, RxBlockEnded, false, false};

void SectionByte(ProgramState& S, Form1Components& C, uint8_t b, const Section& section)
{
    if (S.EscSeen == 1) {
        // The second byte of a pair: a poll closes the chunk, anything else is dropped.
        if (b == 'I') {
            WriteChunk(S, C);
            SendDeviceReply(C.ComPort1, 1);
            if (section.advanceOnPoll)
                platform::AdvanceProgress(C.ProgressBar1);
        }
        return;
    }
    if (section.marksHighBits)
        S.HighBitMarks = 1;
    if (b == kEsc)
        return;
    S.RxText.push_back(static_cast<char>(b));
    if (b == section.terminator) {
        WriteChunk(S, C);
        S.RxState = section.endedState;
        platform::AdvanceProgress(C.ProgressBar1);
    }
}

}  // namespace

void FileinF71Click(ProgramState& S, Form1Components& C)
{
    if (!C.SaveDialog1.Execute())
        return;
    const std::string name = C.SaveDialog1.FileName();
    if (name.empty())
        return;
    // Said while the name is chosen: a new save into it is what mends it.
    if (ReplaceInterrupted(C.Files, name))
        C.Memo2.SetText(SetFaultReason({SetFault::Interrupted, name}, S.LanguageFlag));
    // The stored program beside a new listing name is asked about too: a
    // reception would replace it without a word.
    if (C.Files.Exists(name) || C.Files.Exists(DeriveSetPath(name, "hdr")) ||
        C.Files.Exists(DeriveSetPath(name, "src"))) {
        // The name waits in the dialog for the answer (ConfirmOverwrite).
        C.Sound.Beep();
        ShowMessage(S, C, Message::OverwritePrompt);
        return;
    }
    if (Unwritable(S, C, name))
        return;
    ChooseName(S, C, name);
}

void ConfirmOverwrite(ProgramState& S, Form1Components& C)
{
    const std::string name = C.SaveDialog1.FileName();
    if (name.empty())
        return;
    // Nothing is created or truncated until the device starts a reception.
    if (Unwritable(S, C, name))
        return;
    ChooseName(S, C, name);
}

void StartReception(ProgramState& S, Form1Components& C)
{
    if (!S.RxNextFileName.empty())
        TakeName(S, S.RxNextFileName);
    S.BlockCount = 0;
    S.RxText.clear();
    S.RxFileFailed = 0;
    S.RxState = RxStarted;
    CountLineErrorsFromHere(S, C);
    ShowLine(C, Line::Receiving);
    // The set under the name stays as it is until this one is whole (GenerateListing).
    for (const std::string* path : {&S.RxFileName, &S.RxHdrPath, &S.RxSrcPath}) {
        const std::string aside = AsidePath(*path);
        if (C.Files.Exists(aside))
            C.Files.Delete(aside);
        if (!C.Files.CreateEmpty(aside))
            Fail(S);
    }
    C.ProgressBar1.Show();
    platform::StepProgress(C.ProgressBar1);
}

void ReceptionStep(ProgramState& S, Form1Components& C, uint8_t b)
{
    const bool poll = S.EscSeen == 1 && b == 'I';
    const bool section = S.EscSeen == 1 && b == 'U';
    switch (S.RxState) {
    case RxStarted:
        if (S.EscSeen == 1 && b == 'Y')
            S.RxState = RxHeader;
        break;
    case RxHeader:
        HeaderByte(S, C, b);
        break;
    case RxHeaderStored:
        if (poll) {
            SendDeviceReply(C.ComPort1, 0);
        } else if (section) {
            S.RxState = RxTextSection;
            platform::StepProgress(C.ProgressBar1);
        }
        break;
    case RxTextSection:
        SectionByte(S, C, b, kTextSection);
        break;
    case RxTextEnded:
        if (poll) {
            SendDeviceReply(C.ComPort1, 2);
            S.RxState = RxAfterText;
        }
        break;
    case RxAfterText:
        if (!poll)
            break;
        SendDeviceReply(C.ComPort1, 0);
        if (SecondSectionFollows(S)) {
            S.RxState = RxAwaitBlock;
            platform::AdvanceProgress(C.ProgressBar1);
        } else {
            GenerateListing(S, C);
        }
        break;
    case RxAwaitBlock:
        if (section) {
            S.RxState = RxBlock;
            platform::AdvanceProgress(C.ProgressBar1);
        }
        break;
    case RxBlock:
        SectionByte(S, C, b, kBlockSection);
        break;
    case RxBlockEnded:
        if (poll) {
            SendDeviceReply(C.ComPort1, 2);
            S.RxState = RxFinalPoll;
            platform::AdvanceProgress(C.ProgressBar1);
        }
        break;
    case RxFinalPoll:
        if (poll) {
            SendDeviceReply(C.ComPort1, 0);
            GenerateListing(S, C);
        }
        break;
    default:
        break;
    }
}
