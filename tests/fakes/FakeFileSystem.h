#pragma once
// An in-memory file system for tests, with faults on purpose: paths listed in
// FailCreate, FailOpen, FailSeek, FailWrite or FailClose make those operations fail.
// Failed keeps every path an operation failed on, until the user clears it.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/files/FileSystem.h"

class FakeFileSystem : public platform::FileSystem {
public:
    std::map<std::string, std::string> Files;  // path -> content
    std::set<std::string> FailCreate, FailOpen, FailSeek, FailWrite, FailClose, Failed;

    bool Exists(const std::string& path) override { return Files.count(path) != 0; }
    bool Delete(const std::string& path) override { return Files.erase(path) != 0; }
    bool CreateEmpty(const std::string& path) override { return Note(path, !FailCreate.count(path) && (Files[path].clear(), true)); }
    std::unique_ptr<platform::File> OpenRead(const std::string& path) override { return Open(path, false); }
    std::unique_ptr<platform::File> OpenWrite(const std::string& path) override { return Open(path, true); }
    bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
    bool AppendWhole(const std::string& path, const std::string& start, const std::string& data) override
    {
        if (FailWrite.count(path))
            return Note(path, false);
        if (!Files.count(path))
            Files[path] = start;
        return Files[path] += data, true;
    }

private:
    class MemFile : public platform::File {
    public:
        MemFile(FakeFileSystem& fs, std::string path, bool writable) : fs_(fs), path_(std::move(path)), writable_(writable) {}
        bool Seek(uint64_t offset) override { return pos_ = offset, fs_.Note(path_, !fs_.FailSeek.count(path_)); }
        bool SeekEnd() override { return pos_ = Data().size(), fs_.Note(path_, !fs_.FailSeek.count(path_)); }
        size_t Read(void* buffer, size_t n) override
        {
            n = std::min<size_t>(n, 10);  // in pieces, as a read may come
            const size_t got = pos_ >= Data().size() ? 0 : std::min<size_t>(n, Data().size() - pos_);
            std::memcpy(buffer, Data().data() + pos_, got);
            pos_ += got;
            fs_.Note(path_, !failed_);
            return got;
        }
        bool Write(const void* data, size_t n) override
        {
            if (!writable_ || fs_.FailWrite.count(path_))
                return failed_ = true, fs_.Note(path_, false);
            std::string& d = Data();
            d.resize(std::max<size_t>(d.size(), pos_ + n));
            std::memcpy(d.data() + pos_, data, n);
            pos_ += n;
            return true;
        }
        bool Close() override { return fs_.Note(path_, !failed_ && !fs_.FailClose.count(path_)); }
        bool Failed() const override { return failed_; }

    private:
        std::string& Data() { return fs_.Files[path_]; }
        FakeFileSystem& fs_;
        std::string path_;
        bool writable_;
        uint64_t pos_ = 0;
        bool failed_ = false;
    };
    bool Note(const std::string& path, bool ok) { return ok || (Failed.insert(path), false); }
    std::unique_ptr<platform::File> Open(const std::string& path, bool writable)
    {
        if (!Exists(path) || FailOpen.count(path))
            return Note(path, false), nullptr;
        return std::make_unique<MemFile>(*this, path, writable);
    }
};
