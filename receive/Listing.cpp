#include "receive/Listing.h"
void GenerateListing(ProgramState&, platform::Form1Components&) {}
bool WriteListing(platform::FileSystem&, const std::string&, const std::string&, int32_t, int32_t&) { return false; }
