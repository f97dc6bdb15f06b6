#pragma once
// The stored file set: a listing named by the user, and the .hdr and .src files
// whose names are derived from it.

#include <cstdint>
#include <string>

#include "platform/files/FileSystem.h"
#include "shell/Messages.h"
#include "shell/ProgramState.h"

// The listing's name with its extension replaced by (or extended with) ext.
std::string DeriveSetPath(const std::string& name, const std::string& ext);

// A set's three names, the listing's and those derived from it.
void NameSet(const std::string& name, std::string& listing, std::string& hdr, std::string& src);

// Sets HeaderDigit and DeviceClass from a 128-byte header block alone.
void ClassifyHeader(ProgramState& S, const uint8_t* block);

// A 5001 block follows the text section.
bool SecondSectionFollows(const ProgramState& S);

// Whether a stored set can be sent whole: a .hdr of exactly 128 bytes, a .src whose
// text section ends with its 0x00 and, where the header calls for the 5001 block,
// a block ended by 0xFF. A set whose files are all empty was named with F7 and
// never received; one whose replace was cut (link/SetCommit.h) may mix two sets.
SetCheck CheckWholeSet(platform::FileSystem& files, const std::string& hdrPath, const std::string& srcPath);
