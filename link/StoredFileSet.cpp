#include "link/StoredFileSet.h"

#include <algorithm>
#include <vector>

#include "link/SetCommit.h"

std::string DeriveSetPath(const std::string& name, const std::string& ext)
{
    // Only the last path component may carry the extension: a "." in a folder name
    // (C:\V1.2\LINE1) must not pull the set out of the chosen folder.
    const size_t last_sep = name.find_last_of("\\/");
    const size_t component = last_sep == std::string::npos ? 0 : last_sep + 1;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot >= component)
        return name.substr(0, dot + 1) + ext;
    return name + "." + ext;
}

void NameSet(const std::string& name, std::string& listing, std::string& hdr, std::string& src)
{
    listing = name;
    hdr = DeriveSetPath(name, "hdr");
    src = DeriveSetPath(name, "src");
}

void ClassifyHeader(ProgramState& S, const uint8_t* block)
{
    const uint8_t b10 = block[10], b11 = block[11], b14 = block[14];
    const int8_t b16 = static_cast<int8_t>(block[16]);

    S.HeaderDigit = b14 == '*' ? 3 : (b14 & 0x0F);

    // Tried in this order; the last match wins. No match is class 0, as in a
    // program just started: a class left by an unrelated earlier header would
    // make the same set save, list and send differently.
    S.DeviceClass = 0;
    if (b10 == '*') S.DeviceClass = 1;
    if (b10 == 'T') S.DeviceClass = 6;
    if (b10 == 't') S.DeviceClass = 7;
    if (b11 == 'P' && b16 <= 0x54) S.DeviceClass = 8;
    if (b11 == 'P' && b16 == 'U') S.DeviceClass = 9;
    if (b11 == 'P' && b16 == 'u') S.DeviceClass = 10;
    if (b10 == 'L' || b10 == 'l' || b10 == 'M') S.DeviceClass = 11;
    if (b10 == '\\' || b10 == '|' || b10 == ']') S.DeviceClass = 12;
    if (b10 == 'N' || b10 == 'n' || b10 == 'O') S.DeviceClass = 13;
    if (b10 == 'J' || b10 == 'j' || b10 == 'K') S.DeviceClass = 14;
}

bool SecondSectionFollows(const ProgramState& S) { return S.DeviceClass > 6 && S.HeaderDigit < 3; }

namespace {

constexpr size_t kHeaderSize = 128;

// The file's bytes up to at most limit; false when it cannot be read.
bool ReadUpTo(platform::FileSystem& files, const std::string& path, size_t limit, std::string& data)
{
    auto f = files.OpenRead(path);
    if (!f)
        return false;
    data.clear();
    std::vector<char> block(64 * 1024);
    while (data.size() < limit) {
        const size_t got = f->Read(block.data(), std::min(block.size(), limit - data.size()));
        if (got == 0)
            break;
        data.append(block.data(), got);
    }
    const bool ok = !f->Failed();
    return f->Close() && ok;
}

// Where the first terminator byte lies at or after from, reading the file in
// blocks (a .src may be large); npos when none, or when it cannot be read.
size_t FindByte(platform::FileSystem& files, const std::string& path, uint64_t from, char terminator, bool& readable)
{
    auto f = files.OpenRead(path);
    readable = f && f->Seek(from);
    if (!readable)
        return std::string::npos;
    std::vector<char> block(64 * 1024);
    for (uint64_t at = from;;) {
        const size_t got = f->Read(block.data(), block.size());
        if (got == 0)
            break;
        for (size_t i = 0; i < got; ++i)
            if (block[i] == terminator)
                return static_cast<size_t>(at + i);
        at += got;
    }
    readable = !f->Failed();
    return std::string::npos;
}

}  // namespace

SetCheck CheckWholeSet(platform::FileSystem& files, const std::string& hdrPath, const std::string& srcPath)
{
    if (ReplaceInterrupted(files, hdrPath))
        return {SetFault::Interrupted, hdrPath};
    std::string header;
    if (!ReadUpTo(files, hdrPath, kHeaderSize + 1, header))
        return {SetFault::Unreadable, hdrPath};
    bool readable = true;
    const size_t textEnd = FindByte(files, srcPath, 0, '\0', readable);
    if (!readable)
        return {SetFault::Unreadable, srcPath};
    if (header.empty() && textEnd == std::string::npos) {
        std::string any;
        if (ReadUpTo(files, srcPath, 1, any) && any.empty())
            return {SetFault::NeverReceived, hdrPath};
    }
    if (header.size() != kHeaderSize)
        return {SetFault::HeaderSize, hdrPath, header.size()};
    if (textEnd == std::string::npos)
        return {SetFault::NoTextEnd, srcPath};
    ProgramState scratch;  // the class of this header alone
    ClassifyHeader(scratch, reinterpret_cast<const uint8_t*>(header.data()));
    if (SecondSectionFollows(scratch)) {
        const size_t blockEnd = FindByte(files, srcPath, textEnd + 1, '\xFF', readable);
        if (!readable)
            return {SetFault::Unreadable, srcPath};
        if (blockEnd == std::string::npos)
            return {SetFault::NoBlockEnd, srcPath};
    }
    return {};
}
