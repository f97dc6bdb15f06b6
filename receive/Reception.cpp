#include "receive/Reception.h"

#include "receive/Dispatcher.h"
#include "receive/Listing.h"
#include "receive/StoredFileSet.h"
#include "shell/Messages.h"

namespace {

constexpr uint8_t kEsc = 0x1B;

// Unlike the original design, a file that cannot be written is remembered, so that
// the completion never tells the user that a lost program was saved.
void Fail(ProgramState& S) { S.RxFileFailed = 1; }

void CreateFresh(ProgramState& S, platform::FileSystem& files, const std::string& path)
{
    if (files.Exists(path))
        files.Delete(path);
    if (!files.CreateEmpty(path))
        Fail(S);
}

// Open, move to the end, write, close: every chunk, whatever its size or content.
void AppendChunk(ProgramState& S, platform::FileSystem& files, const std::string& chunk)
{
    auto f = files.OpenWrite(S.RxSrcPath);
    if (!f) {
        Fail(S);
        return;
    }
    bool ok = f->SeekEnd();
    if (ok && !chunk.empty())
        ok = f->Write(chunk.data(), chunk.size());
    if (!f->Close() || !ok)
        Fail(S);
}

void StoreHeader(ProgramState& S, platform::FileSystem& files)
{
    auto f = files.OpenWrite(S.RxHdrPath);
    if (!f) {
        Fail(S);
        return;
    }
    bool ok = f->Write(S.BlockBuffer.data(), 128);
    if (!f->Close() || !ok)
        Fail(S);
}

void TakeName(ProgramState& S, platform::Form1Components& C, const std::string& name)
{
    S.RxFileName = name;
    C.Edit1.SetText(name);
}

}  // namespace

void FileinF71Click(ProgramState& S, platform::Form1Components& C)
{
    if (!C.SaveDialog1.Execute())
        return;
    const std::string name = C.SaveDialog1.FileName();
    if (name.empty())
        return;
    if (C.Files.Exists(name)) {
        // The name waits in the save dialog for the user's answer.
        C.Sound.Beep();
        ShowMessage(S, C, Message::OverwritePrompt);
        return;
    }
    TakeName(S, C, name);
    bool created = C.Files.CreateEmpty(S.RxFileName);
    S.RxHdrPath = DeriveSetPath(S.RxFileName, "hdr");
    created = C.Files.CreateEmpty(S.RxHdrPath) && created;
    S.RxSrcPath = DeriveSetPath(S.RxFileName, "src");
    created = C.Files.CreateEmpty(S.RxSrcPath) && created;
    C.SaveDialog1.SetFileName("");
    if (!created) {
        // Told now, while the user can still choose another folder.
        C.Sound.Beep();
        ShowMessage(S, C, Message::FileError);
    }
}

void ConfirmOverwrite(ProgramState& S, platform::Form1Components& C)
{
    const std::string name = C.SaveDialog1.FileName();
    if (name.empty())
        return;
    TakeName(S, C, name);
    C.SaveDialog1.SetFileName("");
    S.RxHdrPath = DeriveSetPath(S.RxFileName, "hdr");
    S.RxSrcPath = DeriveSetPath(S.RxFileName, "src");
}

void StartReception(ProgramState& S, platform::Form1Components& C)
{
    S.BlockCount = 0;
    S.RxText.clear();
    S.RxFileFailed = 0;
    S.RxState = 2;
    C.Memo2.SetText("RICEZIONE IN CORSO");
    CreateFresh(S, C.Files, S.RxFileName);
    CreateFresh(S, C.Files, S.RxHdrPath);
    CreateFresh(S, C.Files, S.RxSrcPath);
    C.ProgressBar1.Show();
    platform::StepProgress(C.ProgressBar1);
}

void ReceptionStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
{
    const bool pair = S.EscSeen == 1;
    switch (S.RxState) {
    case 2:
        if (pair && b == 'Y')
            S.RxState = 3;
        break;
    case 3:
        // Header bytes are data: an ESC among them never starts a pair.
        if (S.BlockBuffer.size() < 132)
            S.BlockBuffer.resize(132);
        S.BlockBuffer[S.BlockCount++] = b;
        if (S.BlockCount == 128) {
            StoreHeader(S, C.Files);
            ClassifyHeader(S, S.BlockBuffer.data());
            S.RxState = 4;
            platform::StepProgress(C.ProgressBar1);
        }
        return;  // EscSeen stays as it was
    case 4:
        if (pair && b == 'I')
            SendDeviceReply(C.ComPort1, 0);
        else if (pair && b == 'U') {
            platform::StepProgress(C.ProgressBar1);
            S.RxState = 5;
        }
        break;
    case 5:
        if (pair) {
            if (b == 'I') {
                AppendChunk(S, C.Files, S.RxText);
                S.RxText.clear();
                SendDeviceReply(C.ComPort1, 1);
                platform::AdvanceProgress(C.ProgressBar1);
            }
            break;  // any other byte after ESC is dropped
        }
        S.HighBitMarks = 1;
        if (b != kEsc)
            S.RxText.push_back(static_cast<char>(b));
        if (b == 0x00) {
            AppendChunk(S, C.Files, S.RxText);  // ends with the section's 0x00
            S.RxText.clear();
            S.RxState = 6;
            platform::AdvanceProgress(C.ProgressBar1);
        }
        break;
    case 6:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 2);
            S.RxState = 7;
        }
        break;
    case 7:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            if (SecondSectionFollows(S)) {
                S.RxState = 8;
                platform::AdvanceProgress(C.ProgressBar1);
            } else {
                GenerateListing(S, C);
            }
        }
        break;
    case 8:
        if (pair && b == 'U') {
            S.RxText.clear();
            platform::AdvanceProgress(C.ProgressBar1);
            S.RxState = 9;
        }
        break;
    case 9:
        if (pair) {
            if (b == 'I') {
                AppendChunk(S, C.Files, S.RxText);
                S.RxText.clear();
                SendDeviceReply(C.ComPort1, 1);
            }
            break;
        }
        if (b != kEsc)
            S.RxText.push_back(static_cast<char>(b));
        if (b == 0xFF) {
            // Stored whole: a 0x00 inside the block must not cut off its terminator.
            AppendChunk(S, C.Files, S.RxText);
            S.RxText.clear();
            S.RxState = 10;
            platform::AdvanceProgress(C.ProgressBar1);
        }
        break;
    case 10:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 2);
            S.RxState = 11;
            platform::AdvanceProgress(C.ProgressBar1);
        }
        break;
    case 11:
        if (pair && b == 'I') {
            SendDeviceReply(C.ComPort1, 0);
            GenerateListing(S, C);
        }
        break;
    default:
        return;  // transmission under way: the byte belongs to the transmit machine
    }
    S.EscSeen = b == kEsc ? 1 : 0;
}
