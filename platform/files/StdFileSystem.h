#pragma once
// The real file system, through the C library's buffered streams: byte-at-a-time
// reads of a large source file stay cheap.
//
// Names are UTF-8 everywhere in the program. They become the system's own names
// only here, at the boundary: unchanged bytes on Linux, UTF-16 on Windows (the
// narrow Windows calls would read them in the ANSI code page and garble every
// accented letter). What differs between the systems (how a stream is opened,
// 64-bit seeks, exclusive creation) is declared in System.h.

#include <filesystem>

#include "platform/files/FileSystem.h"

namespace platform {

// The system's name for a UTF-8 name; empty (naming no file) when it is no UTF-8.
std::filesystem::path PathFromUtf8(const std::string& name);
std::string Utf8FromPath(const std::filesystem::path& path);

// name in serbox's folder of the user's data (~/.local/share/serbox,
// %APPDATA%\serbox), the folder made when missing; the journal both programs keep.
std::string UserDataPath(const std::string& name);

class StdFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) override;
    bool Delete(const std::string& path) override;
    bool CreateEmpty(const std::string& path) override;
    std::unique_ptr<File> OpenRead(const std::string& path) override;
    std::unique_ptr<File> OpenWrite(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    bool AppendWhole(const std::string& path, const std::string& start, const std::string& data) override;
    bool Sync(const std::string& path, std::string& why) override;
    bool SyncFolder(const std::string& path, std::string& why) override;
    bool Rename(const std::string& from, const std::string& to, std::string& why) override;

    // For the listing tool, which writes beside its target and renames.
    // A new empty file, only if nothing has that name yet; why says what failed.
    enum class Created { Yes, Taken, Failed };
    Created CreateNew(const std::string& path, std::string& why);
    // Moves a file to a name only while that name is free (from stays otherwise).
    Created MoveIfFree(const std::string& from, const std::string& to, std::string& why);
};

}  // namespace platform
