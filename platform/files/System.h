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
// The user's data folder (XDG_DATA_HOME or ~/.local/share, %APPDATA%).
std::filesystem::path UserDataFolder();
// Moves from to the name to only while nothing has that name (from stays
// otherwise); false when to was taken or the move failed.
bool MoveIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to);
// One write of data at the end of an existing file (O_APPEND, FILE_APPEND_DATA):
// the system keeps appends of several programs apart.
bool AppendOnce(const std::filesystem::path& path, const std::string& data);
// The file's data on the disk; why: the system's reason when it fails.
bool SyncData(const std::filesystem::path& path, std::string& why);
// The folder's names on the disk (Linux); Windows stores a move by itself (Replace).
bool SyncNames(const std::filesystem::path& folder, std::string& why);
// from takes the name to, a file there replaced, the move stored before it returns
// where the system can (Windows' write-through).
bool Replace(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why);

}  // namespace platform::native
