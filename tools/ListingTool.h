#pragma once
// serbox-listing: the printable listing of a stored program that did not come
// through a reception, typically a .hdr/.src pair made with the maker's editing
// software. F8 only accepts a set whose listing exists, so such a pair needs one.
//
// The listing is written by the reception's own WriteListing, with the device
// class a fresh program would take from the .hdr and HighBitMarks 1, so it is
// byte-identical to the listing a reception of the same set writes. It goes to a
// temporary file beside the target first and is renamed into place only when
// complete: an existing listing is replaced whole (--force) or not at all.
//
// A stored program, as this tool accepts it:
//   - the .hdr beside the .src (same base name, as F8 derives it) holds exactly
//     128 bytes, as a reception writes it;
//   - the .src holds the 0x00 that ends its text section and, when the header
//     calls for a 5001 block, an 0xFF after that 0x00.

#include <ostream>
#include <string>
#include <vector>

namespace listing_tool {

enum ExitCode { kOk = 0, kFailed = 1, kBadArguments = 2 };

// args are the command-line arguments without the program name. Messages go to
// err; --help goes to out.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace listing_tool
