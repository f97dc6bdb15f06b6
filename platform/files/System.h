#pragma once
// What differs per system in the files room, the system-specific half of
// StdFileSystem: StdFileSystem_unix.cpp and StdFileSystem_win.cpp each provide it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/files/StdFileSystem.h"

namespace platform::native {

// mode is one of "rb", "wb", "r+b"; nullptr on failure.
std::FILE* Open(const std::filesystem::path& path, const char* mode);
// From the start, with a 64-bit offset.
bool Seek(std::FILE* f, uint64_t offset);
bool SeekEnd(std::FILE* f);
using Created = StdFileSystem::Created;
// Creates the file only if nothing has that name; why says what went wrong.
Created CreateExclusive(const std::filesystem::path& path, std::string& why);

}  // namespace platform::native
