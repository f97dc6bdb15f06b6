#include "link/StoredFileSet.h"

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
