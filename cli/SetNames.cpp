#include "cli/SetNames.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "link/StoredFileSet.h"
#include "receive/Listing.h"

std::string SetStem(int number)
{
    char name[8];
    std::snprintf(name, sizeof name, "S%04d", number);
    return name;
}

int SetNumberOf(const std::string& n)
{
    // Only a set's own files: a report named S2026.xlsx beside the sets is no set.
    if (n.size() != 9 || (n[0] != 'S' && n[0] != 's') || n[5] != '.')
        return 0;
    if (!std::all_of(n.begin() + 1, n.begin() + 5, [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    std::string ext = n.substr(6);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != "txt" && ext != "hdr" && ext != "src")
        return 0;
    return std::stoi(n.substr(1, 4));
}

int NextSetNumber(const std::vector<std::string>& names)
{
    int highest = 0;
    for (const std::string& n : names)
        highest = std::max(highest, SetNumberOf(n));
    return highest >= 9999 ? 0 : highest + 1;
}

namespace {

std::string ReadAll(platform::FileSystem& files, const std::string& path)
{
    std::string data;
    auto f = files.OpenRead(path);
    if (!f)
        return data;
    char block[64 * 1024];
    while (const size_t got = f->Read(block, sizeof block))
        data.append(block, got);
    return data;
}

size_t FirstMismatch(const std::string& a, const std::string& b)
{
    return static_cast<size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

std::string Hex(const std::string& s, size_t at)
{
    if (at >= s.size())
        return "none";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(s[at]));
    return text;
}

std::string ListingOf(platform::FileSystem& files, const std::string& src, const std::string& out, int32_t deviceClass)
{
    int32_t marks = 1;
    if (!files.CreateEmpty(out) || !WriteListing(files, src, out, deviceClass, marks))
        return {};
    return ReadAll(files, out);
}

}  // namespace

std::string FirstDifference(platform::FileSystem& files, const std::string& storedHdr, const std::string& storedSrc,
                            const std::string& gotHdr, const std::string& gotSrc, const std::string& scratchDir)
{
    const std::string hs = ReadAll(files, storedHdr), hg = ReadAll(files, gotHdr);
    if (hs != hg) {
        const size_t at = FirstMismatch(hs, hg);
        return "header byte " + std::to_string(at + 1) + " (stored " + Hex(hs, at) + ", device " + Hex(hg, at) + ")";
    }
    const std::string ss = ReadAll(files, storedSrc), sg = ReadAll(files, gotSrc);
    if (ss == sg)
        return {};
    // Told where the technician reads the program: in its listing.
    ProgramState scratch;
    if (hs.size() >= 128)
        ClassifyHeader(scratch, reinterpret_cast<const uint8_t*>(hs.data()));
    const std::string ls = ListingOf(files, storedSrc, scratchDir + "/stored.lst", scratch.DeviceClass);
    const std::string lg = ListingOf(files, gotSrc, scratchDir + "/device.lst", scratch.DeviceClass);
    if (ls != lg) {
        const size_t at = FirstMismatch(ls, lg);
        const size_t line = static_cast<size_t>(std::count(ls.begin(), ls.begin() + at, '\n')) + 1;
        const size_t newline = at == 0 ? std::string::npos : ls.rfind('\n', at - 1);
        const size_t column = newline == std::string::npos ? at + 1 : at - newline;
        return "listing line " + std::to_string(line) + ", column " + std::to_string(column);
    }
    const size_t at = FirstMismatch(ss, sg);
    return "source byte " + std::to_string(at + 1) + " (stored " + Hex(ss, at) + ", device " + Hex(sg, at) + ")";
}
