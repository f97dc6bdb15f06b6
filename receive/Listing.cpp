#include "receive/Listing.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "link/Exchange.h"
#include "link/SetCommit.h"
#include "shell/Messages.h"

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kGroups = 22;
constexpr size_t kGroupsPerLine = 11;
constexpr const char* kBlockLabel = "NUM 5001 ";
constexpr const char* kBlockIndent = "         ";  // as wide as the label

// Lines are gathered and written in large blocks, so a big listing costs a few
// writes rather than one per line.
class BlockOutput {
public:
    explicit BlockOutput(platform::File& file) : file_(file) {}
    std::string& Text() { return pending_; }
    void FlushIfFull()
    {
        if (pending_.size() >= kBlockSize)
            Flush();
    }
    bool Flush()
    {
        if (ok_ && !pending_.empty())
            ok_ = file_.Write(pending_.data(), pending_.size());
        pending_.clear();
        return ok_;
    }
    bool Ok() const { return ok_; }

private:
    platform::File& file_;
    std::string pending_;
    bool ok_ = true;
};

// 64 bits: long has 32 on Windows, and a large .src holds more records than that.
void AppendNumber(std::string& out, long long value)
{
    char digits[24];  // any long long fits
    std::snprintf(digits, sizeof digits, "%03lld", value);
    out += digits;
}

// 16 x (H AND 15) + (L AND 15), plus 256, 512 or 768 by the high character's row.
long GroupValue(uint8_t h, uint8_t l)
{
    long offset = 0;
    if (h >= 0x40 && h <= 0x4F) offset = 256;
    else if (h >= 0x50 && h <= 0x5F) offset = 512;
    else if (h >= 0x60 && h <= 0x6F) offset = 768;
    else if (h >= 0x70 && h <= 0x7F) offset = 256;
    return 16 * (h & 15) + (l & 15) + offset;
}

class ListingBuilder {
public:
    ListingBuilder(std::string& out, int32_t deviceClass, int32_t& highBitMarks)
        : out_(out), deviceClass_(deviceClass), highBitMarks_(highBitMarks) {}

    // False once the listing is complete.
    bool Feed(uint8_t b)
    {
        if (b == 0x00) {
            // Without a 5001 block the text section's terminator ends the listing.
            if (deviceClass_ < 7)
                return false;
            return true;
        }
        if (b == 0xFF)
            highBitMarks_ = 0;
        if (b >= 0x20) {
            if (highBitMarks_ == 1 && b >= 0x80) {
                // Marked as "#" and the byte with bit 7 cleared. The cleared byte then
                // counts as what it is, so 0x81..0x84 close a record of kind 1..4 as
                // they always have. 0x80 leaves the "#" alone: a zero byte has no
                // place in a printable line, and the text after it is kept.
                text_.push_back('#');
                b &= 0x7F;
            }
            if (b != 0x00)
                text_.push_back(static_cast<char>(b));
        }
        if (b >= 0x01 && b <= 0x04)
            CloseRecord(b);
        else if (b == 0xFF)
            CloseBlock();
        return true;
    }

private:
    void CloseRecord(int kind)
    {
        if (kind >= 2 && lastKind_ == kind - 1)
            index_ = 0;
        lastKind_ = kind;
        const bool listed = kind == 1 || kind == 3 || (kind == 2 && (deviceClass_ == 1 || deviceClass_ > 6));
        if (listed) {
            out_ += "NUM ";
            out_.push_back(static_cast<char>('0' + kind));
            AppendNumber(out_, index_);
            out_ += ' ';
            out_ += text_;
            out_ += "\r\n";
        }
        text_.clear();
        ++index_;
    }

    // Only the whole groups the block holds are listed (at most 22): a short block
    // never borrows bytes it does not have.
    void CloseBlock()
    {
        if (lastKind_ == 4)
            index_ = 0;
        lastKind_ = 5;
        const size_t held = (text_.size() - 1) / 3;  // the closing 0xFF is in text_
        const size_t groups = std::min(held, kGroups);
        out_ += kBlockLabel;
        for (size_t i = 0; i < groups; ++i) {
            const uint8_t p = text_[3 * i], h = text_[3 * i + 1], l = text_[3 * i + 2];
            out_.push_back(static_cast<char>(p));
            AppendNumber(out_, GroupValue(h, l));
            if (i + 1 == groups)
                break;
            out_ += i + 1 == kGroupsPerLine ? std::string("\r\n") + kBlockIndent : std::string(" ");
        }
        out_ += "\r\n";
        text_.clear();
        ++index_;
    }

    std::string& out_;
    const int32_t deviceClass_;
    int32_t& highBitMarks_;
    std::string text_;
    long long index_ = 0;
    int lastKind_ = 0;
};

}  // namespace

bool WriteListing(platform::FileSystem& files, const std::string& srcPath,
                  const std::string& listingPath, int32_t DeviceClass, int32_t& HighBitMarks)
{
    // One file under two names (P.SRC and P.src in a folder that ignores case, a
    // link): the listing would be written over the source it is read from.
    if (files.SameFile(srcPath, listingPath))
        return false;
    // The source is read only: its handle closes as it goes out of scope.
    auto src = files.OpenRead(srcPath);
    auto listing = files.OpenWrite(listingPath);
    if (!listing)
        return false;
    bool ok = listing->Seek(0);
    BlockOutput out(*listing);
    ListingBuilder builder(out.Text(), DeviceClass, HighBitMarks);
    if (src && ok) {
        std::string block(kBlockSize, '\0');
        bool going = true;
        while (going && out.Ok()) {
            const size_t got = src->Read(block.data(), block.size());
            if (got == 0)
                break;
            for (size_t i = 0; i < got && going; ++i)
                going = builder.Feed(static_cast<uint8_t>(block[i]));
            out.FlushIfFull();
        }
        ok = !src->Failed();
    }
    if (!src)
        ok = false;
    ok = out.Flush() && ok;
    return listing->Close() && ok;
}

void GenerateListing(ProgramState& S, Form1Components& C)
{
    S.EscSeen = 0;
    EndTransfer(S, C);

    // The device has had its last reply: the set is written, stored and moved in
    // now, and only a set whole on the disk is told done.
    const std::string listing = AsidePath(S.RxFileName), hdr = AsidePath(S.RxHdrPath);
    // A listing named like its own header (P.HDR beside P.hdr in a folder that
    // ignores case) would be written over it; WriteListing guards the source.
    if (C.Files.SameFile(listing, hdr) ||
        !WriteListing(C.Files, AsidePath(S.RxSrcPath), listing, S.DeviceClass, S.HighBitMarks))
        S.RxFileFailed = 1;
    const platform::LineErrors damaged = LineErrorsSinceStart(S, C);
    std::string why;
    if (!S.RxFileFailed && damaged.Total() == 0 && CommitSet(C.Files, S.RxFileName, why)) {
        ShowLine(C, Line::Done);
        TakeOutgoingSet(S, C, S.RxFileName);
        S.EscSeen = 0;
        return;
    }
    // Whatever failed, the set under the name is the one from before.
    DropAside(C.Files, S.RxFileName);
    C.Sound.Beep();
    if (!S.RxFileFailed && why.empty()) {
        // Every byte was answered, but some came damaged: not a set to keep.
        C.Memo2.SetText(LineErrorsText(LineErrorsAt::Reception, damaged, S.LanguageFlag));
    } else {
        // The device got all its replies; the user must learn that the set is not
        // saved. The message line says it in one text for both builds, as it says
        // every other step of a transfer; the dialog speaks the build's language.
        S.RxFileFailed = 1;
        ShowLine(C, Line::WriteError);
        if (why.empty())
            ShowMessage(S, C, Message::FileError);
        else
            ShowNotStored(S, C, why);
    }
    S.EscSeen = 0;
}
