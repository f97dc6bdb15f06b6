#pragma once
// Fakes that let the fuzzer's checker see what the handlers do: a port that
// reports every byte the dispatcher reads (so each byte can be checked on its
// own, inside events of any size) and keeps every write, and a file system that
// remembers which paths had an operation fail.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/fakes/FakeForm1.h"

namespace fuzzrig {

class WatchedPort : public FakeSerialPort {
public:
    std::function<void()> BeforeRead;
    std::function<void(uint8_t)> AfterRead;
    std::vector<std::string> Out;  // writes since the checker last looked

    int ReadStr(std::string& s, int count) override
    {
        if (BeforeRead)
            BeforeRead();
        const size_t had = s.size();
        const int n = FakeSerialPort::ReadStr(s, count);
        if (AfterRead)
            AfterRead(s.size() > had ? static_cast<uint8_t>(s.back()) : 0);
        return n;
    }
    void WriteStr(const std::string& s) override { Out.push_back(s); }
    void TransmitChar(char c) override { Out.push_back(std::string(1, c)); }
};

class WatchedFiles : public platform::FileSystem {
public:
    explicit WatchedFiles(FakeFileSystem& fs) : fs_(fs) {}

    std::set<std::string> Failed;  // paths with a failed operation since the last clear

    bool FailedAny(std::initializer_list<const std::string*> paths) const
    {
        for (const std::string* p : paths)
            if (Failed.count(*p))
                return true;
        return false;
    }

    bool Exists(const std::string& path) override { return fs_.Exists(path); }
    bool Delete(const std::string& path) override { return fs_.Delete(path); }
    bool CreateEmpty(const std::string& path) override { return Note(path, fs_.CreateEmpty(path)); }
    std::unique_ptr<platform::File> OpenRead(const std::string& path) override
    {
        return Wrap(path, fs_.OpenRead(path));
    }
    std::unique_ptr<platform::File> OpenWrite(const std::string& path) override
    {
        return Wrap(path, fs_.OpenWrite(path));
    }
    bool SameFile(const std::string& a, const std::string& b) override { return fs_.SameFile(a, b); }

private:
    class File : public platform::File {
    public:
        File(WatchedFiles& owner, std::string path, std::unique_ptr<platform::File> f)
            : owner_(owner), path_(std::move(path)), f_(std::move(f)) {}
        bool Seek(uint64_t offset) override { return owner_.Note(path_, f_->Seek(offset)); }
        bool SeekEnd() override { return owner_.Note(path_, f_->SeekEnd()); }
        size_t Read(void* buffer, size_t n) override
        {
            const size_t got = f_->Read(buffer, n);
            owner_.Note(path_, !f_->Failed());
            return got;
        }
        bool Write(const void* data, size_t n) override { return owner_.Note(path_, f_->Write(data, n)); }
        bool Close() override { return owner_.Note(path_, f_->Close()); }
        bool Failed() const override { return f_->Failed(); }

    private:
        WatchedFiles& owner_;
        std::string path_;
        std::unique_ptr<platform::File> f_;
    };

    bool Note(const std::string& path, bool ok)
    {
        if (!ok)
            Failed.insert(path);
        return ok;
    }
    std::unique_ptr<platform::File> Wrap(const std::string& path, std::unique_ptr<platform::File> f)
    {
        if (!f) {
            Failed.insert(path);
            return nullptr;
        }
        return std::make_unique<File>(*this, path, std::move(f));
    }

    FakeFileSystem& fs_;
};

}  // namespace fuzzrig
