#pragma once
// An in-memory file system for tests, with faults on purpose: paths listed in
// FailCreate, FailOpen, FailSeek, FailWrite, FailClose, FailSync or FailRename (its
// from) make those operations fail, FailSyncFolder every folder sync. Failed keeps
// every path an operation failed on, until the user clears it.
//
// It keeps what a power cut would leave: data reaches the disk with Sync, a name
// made, renamed or removed with SyncFolder; files a test puts in Files are on it.
// CutAfter = n: the n+1th operation that changes the disk throws PowerCutNow.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"

class FakeFileSystem : public platform::FileSystem {
public:
    std::map<std::string, std::string> Files;  // path -> content
    std::set<std::string> FailCreate, FailOpen, FailSeek, FailWrite, FailClose, FailSync, FailRename, Failed;
    bool FailSyncFolder = false;
    long CutAfter = -1;
    struct PowerCutNow {};
    // Name changes not on the disk yet: made (from ""), removed (to "") or renamed.
    struct NameChange {
        std::string from, to;
        long id;
    };
    std::vector<NameChange> Pending;

    bool Exists(const std::string& path) override { return Files.count(path) != 0; }
    bool Delete(const std::string& path) override { return Step() && Files.erase(path) && Change(path, ""); }
    bool CreateEmpty(const std::string& path) override
    {
        if (!Step() || FailCreate.count(path))
            return Note(path, false);
        if (!Ids.count(path))
            Ids[path] = ++lastId_, Pending.push_back({"", path, lastId_});
        return Files[path].clear(), true;
    }
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
    bool Sync(const std::string& path, std::string& why) override
    {
        if (!Step() || FailSync.count(path) || !Files.count(path))
            return why = "Input/output error", Note(path, false);
        return Synced[Ids[path]] = Files[path], true;
    }
    bool SyncFolder(const std::string& path, std::string& why) override
    {
        if (!Step() || FailSyncFolder)
            return why = "Input/output error", Note(path, false);
        return DurableIds = Ids, Pending.clear(), true;
    }
    bool Rename(const std::string& from, const std::string& to, std::string& why) override
    {
        if (!Step() || FailRename.count(from) || !Files.count(from))
            return why = "Permission denied", Note(from, false);
        Files[to] = Files[from];
        return Files.erase(from), Change(from, to);
    }
    // The files after a power cut now, with the pending changes whose bits are set
    // in reached on the disk too.
    std::map<std::string, std::string> PowerCut(unsigned long reached) const
    {
        std::map<std::string, long> names = DurableIds;
        for (size_t i = 0; i < Pending.size(); ++i)
            if ((reached >> i & 1) && (Pending[i].from.empty() || names.erase(Pending[i].from)) && !Pending[i].to.empty())
                names[Pending[i].to] = Pending[i].id;
        std::map<std::string, std::string> files;
        for (const auto& [name, id] : names)
            files[name] = Synced.count(id) ? Synced.at(id) : "";
        return files;
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
    bool Step()
    {
        for (const auto& [name, data] : Files)
            if (!Ids.count(name))
                Ids[name] = DurableIds[name] = ++lastId_, Synced[lastId_] = data;
        if (CutAfter-- == 0)
            throw PowerCutNow{};
        return true;
    }
    bool Change(const std::string& from, const std::string& to)
    {
        const long id = Ids[from];
        Ids.erase(from);
        if (!to.empty())
            Ids[to] = id;
        return Pending.push_back({from, to, id}), true;
    }
    std::map<std::string, long> Ids, DurableIds;  // name -> file, now and on the disk
    std::map<long, std::string> Synced;         // file -> its data on the disk
    long lastId_ = 0;
    std::unique_ptr<platform::File> Open(const std::string& path, bool writable)
    {
        if (!Exists(path) || FailOpen.count(path))
            return Note(path, false), nullptr;
        return std::make_unique<MemFile>(*this, path, writable);
    }
};
