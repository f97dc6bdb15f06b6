#pragma once
// The printable listing written when a reception completes.
//
// The .src file is read from its start: records of text, each closed by a marker
// byte 0x01..0x04 giving its kind, the text section ended by 0x00, then (for
// device classes 7 and up) the 5001 block ended by 0xFF. Each record becomes a line
// "NUM <kind><index, three digits> <text>" ended by CR LF; the 5001 block becomes
// two lines of eleven groups. Bytes of 0x80 and above are shown as "#" and the
// byte with bit 7 cleared until the first 0xFF.

#include <cstdint>
#include <string>

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// Ends a reception: the listing of RxSrcPath into RxFileName, then the received
// set becomes the outgoing one; a file that could not be written is reported
// instead, and the outgoing set stays as it was.
void GenerateListing(ProgramState& S, Form1Components& C);

// The listing of the .src file at srcPath, written from the start of the existing
// file listingPath. DeviceClass decides the kind-2 lines and whether a 5001 block
// follows the text section; HighBitMarks is 1 at the start of a reception's listing
// and is cleared at the first 0xFF. False when a file could not be read or written.
// GenerateListing and the stand-alone listing tool both use this.
bool WriteListing(platform::FileSystem& files, const std::string& srcPath,
                  const std::string& listingPath, int32_t DeviceClass, int32_t& HighBitMarks);
