#pragma once
// The stored file set: a listing named by the user, and the .hdr and .src files
// whose names are derived from it.

#include <cstdint>
#include <string>

#include "shell/ProgramState.h"

// The listing's name with its extension replaced by (or extended with) ext.
std::string DeriveSetPath(const std::string& name, const std::string& ext);

// A set's three names, the listing's and those derived from it.
void NameSet(const std::string& name, std::string& listing, std::string& hdr, std::string& src);

// Sets HeaderDigit and DeviceClass from a 128-byte header block alone.
void ClassifyHeader(ProgramState& S, const uint8_t* block);

// A 5001 block follows the text section.
bool SecondSectionFollows(const ProgramState& S);
