#include "receive/Listing.h"

#include <cstdio>

#include "shell/Messages.h"

namespace {

// Builds the listing from the .src bytes one at a time and hands the text out in
// blocks, so a 10 MB source costs one pass and no copies of what came before.
class ListingWriter {
public:
    ListingWriter(int32_t deviceClass, int32_t& highBitMarks)
        : deviceClass_(deviceClass), highBitMarks_(highBitMarks) {}

    // False once the text section is over for a class without a 5001 block.
    bool Feed(uint8_t b)
    {
        if (b == 0x00)
            return deviceClass_ >= 7;  // skipped: the 5001 block follows
        if (b == 0xFF)
            highBitMarks_ = 0;
        if (b >= 0x20) {
            if (highBitMarks_ == 1 && b >= 0x80) {
                text_.push_back('#');
                b &= 0x7F;
                // 0x81..0x84 then end a record as their cleared value says, as
                // stored listings always did; 0x80 would have cut the record's text,
                // so its cleared zero is simply left out.
                if (b != 0x00)
                    text_.push_back(static_cast<char>(b));
            } else {
                text_.push_back(static_cast<char>(b));
            }
        }
        if (b >= 0x01 && b <= 0x04)
            CloseRecord(b);
        else if (b == 0xFF)
            CloseSecondSection();
        return true;
    }

    std::string& Out() { return out_; }

private:
    static std::string Padded(int32_t n)
    {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(n));
        return digits;
    }

    void CloseRecord(int kind)
    {
        if (kind >= 2 && lastKind_ == kind - 1)
            index_ = 0;
        lastKind_ = kind;
        const bool listed = kind == 1 || kind == 3 ||
                            (kind == 2 && (deviceClass_ == 1 || deviceClass_ > 6));
        if (listed) {
            out_ += "NUM ";
            out_ += static_cast<char>('0' + kind);
            out_ += Padded(index_);
            out_ += ' ';
            out_ += text_;
            out_ += "\r\n";
        }
        text_.clear();
        ++index_;
    }

    static int32_t GroupValue(uint8_t h, uint8_t l)
    {
        int32_t offset = 0;
        if (h >= 0x40 && h <= 0x4F)
            offset = 256;
        else if (h >= 0x50 && h <= 0x5F)
            offset = 512;
        else if (h >= 0x60 && h <= 0x6F)
            offset = 768;
        else if (h >= 0x70 && h <= 0x7F)
            offset = 256;
        return 16 * (h & 15) + (l & 15) + offset;
    }

    void CloseSecondSection()
    {
        if (lastKind_ == 4)
            index_ = 0;
        lastKind_ = 5;
        // Only the groups the block really holds; the 0xFF just appended is none.
        const size_t held = text_.size() - 1 > 66 ? 66 : text_.size() - 1;
        const size_t groups = held / 3;
        out_ += "NUM 5001 ";
        for (size_t i = 0; i < groups; ++i) {
            const auto p = static_cast<uint8_t>(text_[3 * i]);
            const auto h = static_cast<uint8_t>(text_[3 * i + 1]);
            const auto l = static_cast<uint8_t>(text_[3 * i + 2]);
            out_ += static_cast<char>(p);
            out_ += Padded(GroupValue(h, l));
            if (i + 1 == groups)
                break;
            out_ += i == 10 ? "\r\n         " : " ";
        }
        out_ += "\r\n";
        text_.clear();
        ++index_;
    }

    int32_t deviceClass_;
    int32_t& highBitMarks_;
    std::string text_;
    std::string out_;
    int32_t index_ = 0;
    int lastKind_ = 0;
};

bool Flush(platform::File& out, std::string& text)
{
    bool ok = text.empty() || out.Write(text.data(), text.size());
    text.clear();
    return ok;
}

}  // namespace

bool WriteListing(platform::FileSystem& files, const std::string& srcPath,
                  const std::string& listingPath, int32_t DeviceClass, int32_t& HighBitMarks)
{
    auto src = files.OpenRead(srcPath);
    auto out = files.OpenWrite(listingPath);
    if (!src || !out)
        return false;
    bool ok = src->Seek(0) && out->Seek(0);
    ListingWriter listing(DeviceClass, HighBitMarks);
    uint8_t block[65536];
    bool going = ok;
    while (going) {
        const size_t got = src->Read(block, sizeof block);
        if (got == 0)
            break;
        for (size_t i = 0; i < got && going; ++i)
            going = listing.Feed(block[i]);
        if (listing.Out().size() >= sizeof block)
            ok = Flush(*out, listing.Out()) && ok;
    }
    ok = Flush(*out, listing.Out()) && ok;
    ok = !src->Failed() && ok;
    src->Close();
    return out->Close() && ok;
}

void GenerateListing(ProgramState& S, platform::Form1Components& C)
{
    S.EscSeen = 0;
    S.RxState = 0;
    C.ProgressBar1.Hide();
    C.Memo2.SetText("RICEZIONE COMPLETATA - GENERAZIONE FILE STAMPABILE");
    const bool written = WriteListing(C.Files, S.RxSrcPath, S.RxFileName, S.DeviceClass,
                                      S.HighBitMarks);
    C.ProgressBar1.SetPosition(0);
    if (!written || S.RxFileFailed) {
        // The set is incomplete on disk: say so, and keep the outgoing set as it was.
        C.Memo2.SetText("");
        C.Sound.Beep();
        ShowMessage(S, C, Message::FileError);
        return;
    }
    C.Memo2.SetText("OPERAZIONE ESEGUITA");
    S.TxFileName = S.RxFileName;
    S.TxHdrPath = S.RxHdrPath;
    S.TxSrcPath = S.RxSrcPath;
    C.Edit2.SetText(S.TxFileName);
}
