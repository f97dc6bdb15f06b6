#pragma once
// The file operations of the stored file set. Every step opens its file, reads or
// writes, and closes it again; nothing stays open between steps. Unlike the
// original design, every operation says whether it worked, so that a failed write
// is never reported to the user as a finished transfer.
//
// StdFileSystem is the real one; tests use tests/fakes/FakeFileSystem.h, which can
// fail chosen operations on purpose.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class File {
public:
    virtual ~File() = default;
    virtual bool Seek(uint64_t offset) = 0;  // from the start
    virtual bool SeekEnd() = 0;
    // Up to n bytes; 0 at the end of the file or on a failure (see Failed).
    virtual size_t Read(void* buffer, size_t n) = 0;
    virtual bool Write(const void* data, size_t n) = 0;
    // Flushes and closes; false if anything written could not be stored.
    virtual bool Close() = 0;
    virtual bool Failed() const = 0;  // a read or write has failed
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    virtual bool Delete(const std::string& path) = 0;
    virtual bool CreateEmpty(const std::string& path) = 0;  // truncates; closed at once
    // nullptr when the file cannot be opened.
    virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
    // An existing file, not truncated, at position 0.
    virtual std::unique_ptr<File> OpenWrite(const std::string& path) = 0;
    // Whether two names reach one file, as the file system sees it where both
    // exist: a folder that ignores case (Windows, a FAT stick on Linux too) or a
    // link makes two names one file. Where either is missing, only the same name is.
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
    // Adds data at the end of path in one write, so that what several programs
    // append at once never mixes inside one append. A file not there yet is first
    // made holding start, whole and once however many append at that moment.
    virtual bool AppendWhole(const std::string& path, const std::string& start, const std::string& data) = 0;

    // What a set is said to be is what a stick pulled or a power cut right after
    // leaves: these put a file's data, and a folder's names, on the disk. Each
    // says the system's reason in why when it fails.
    // The data written to path (fsync; FlushFileBuffers).
    virtual bool Sync(const std::string& path, std::string& why) = 0;
    // The names in the folder that holds path: files made, renamed or removed there.
    virtual bool SyncFolder(const std::string& path, std::string& why) = 0;
    // from takes the name to, replacing a file of that name in one step.
    virtual bool Rename(const std::string& from, const std::string& to, std::string& why) = 0;
};

}  // namespace platform
