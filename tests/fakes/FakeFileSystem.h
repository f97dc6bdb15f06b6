#pragma once
// An in-memory file system for tests, with faults on purpose: paths listed in
// FailCreate, FailOpen or FailWrite make those operations fail.

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/FileSystem.h"

class FakeFileSystem : public platform::FileSystem {
public:
    std::map<std::string, std::string> Files;  // path -> content
    std::set<std::string> FailCreate, FailOpen, FailWrite;
    int Opens = 0;  // every OpenRead and OpenWrite that succeeded

    bool Exists(const std::string& path) override { return Files.count(path) != 0; }
    bool Delete(const std::string& path) override { return Files.erase(path) != 0; }
    bool CreateEmpty(const std::string& path) override
    {
        if (FailCreate.count(path))
            return false;
        Files[path].clear();
        return true;
    }
    std::unique_ptr<platform::File> OpenRead(const std::string& path) override
    {
        if (!Files.count(path) || FailOpen.count(path))
            return nullptr;
        ++Opens;
        return std::make_unique<MemFile>(*this, path, false);
    }
    std::unique_ptr<platform::File> OpenWrite(const std::string& path) override
    {
        if (!Files.count(path) || FailOpen.count(path))
            return nullptr;
        ++Opens;
        return std::make_unique<MemFile>(*this, path, true);
    }

private:
    class MemFile : public platform::File {
    public:
        MemFile(FakeFileSystem& fs, std::string path, bool writable)
            : fs_(fs), path_(std::move(path)), writable_(writable) {}
        bool Seek(uint64_t offset) override { pos_ = offset; return true; }
        bool SeekEnd() override { pos_ = Data().size(); return true; }
        size_t Read(void* buffer, size_t n) override
        {
            const std::string& d = Data();
            if (pos_ >= d.size())
                return 0;
            size_t got = std::min<size_t>(n, d.size() - pos_);
            std::memcpy(buffer, d.data() + pos_, got);
            pos_ += got;
            return got;
        }
        bool Write(const void* data, size_t n) override
        {
            if (!writable_ || fs_.FailWrite.count(path_)) {
                failed_ = true;
                return false;
            }
            std::string& d = fs_.Files[path_];
            if (d.size() < pos_ + n)
                d.resize(pos_ + n);
            std::memcpy(d.data() + pos_, data, n);
            pos_ += n;
            return true;
        }
        bool Close() override { return !failed_; }
        bool Failed() const override { return failed_; }

    private:
        const std::string& Data() { return fs_.Files[path_]; }
        FakeFileSystem& fs_;
        std::string path_;
        bool writable_;
        uint64_t pos_ = 0;
        bool failed_ = false;
    };
};
