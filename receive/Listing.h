#pragma once
// The printable listing written when a reception completes.

#include <cstdint>
#include <string>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void GenerateListing(ProgramState& S, platform::Form1Components& C);

// The listing of the .src file at srcPath, written from the start of the existing
// file listingPath. DeviceClass decides the kind-2 lines and whether a 5001 block
// follows the text section; HighBitMarks is 1 at the start of a reception's listing
// and is cleared at the first 0xFF. False when a file could not be read or written.
// GenerateListing and the stand-alone listing tool both use this.
bool WriteListing(platform::FileSystem& files, const std::string& srcPath,
                  const std::string& listingPath, int32_t DeviceClass, int32_t& HighBitMarks);
