#include "platform/files/StdFileSystem.h"

#include <cstdio>
#include <random>
#include <system_error>

#include "platform/files/System.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

class StdFile : public File {
public:
    explicit StdFile(std::FILE* f) : f_(f) {}
    ~StdFile() override { Close(); }

    bool Seek(uint64_t offset) override { return f_ && native::Seek(f_, offset); }
    bool SeekEnd() override { return f_ && native::SeekEnd(f_); }

    size_t Read(void* buffer, size_t n) override
    {
        if (!f_)
            return 0;
        size_t got = std::fread(buffer, 1, n, f_);
        if (got < n && std::ferror(f_))
            failed_ = true;
        return got;
    }

    bool Write(const void* data, size_t n) override
    {
        if (!f_ || std::fwrite(data, 1, n, f_) != n) {
            failed_ = true;
            return false;
        }
        return true;
    }

    bool Close() override
    {
        if (!f_)
            return !failed_;
        // A full disk often shows only when the buffer is flushed here.
        if (std::fclose(f_) != 0)
            failed_ = true;
        f_ = nullptr;
        return !failed_;
    }

    bool Failed() const override { return failed_; }

private:
    std::FILE* f_;
    bool failed_ = false;
};

bool IsRegular(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

fs::path PathFromUtf8(const std::string& name)
{
    try {
        return fs::path(std::u8string(name.begin(), name.end()));
    } catch (const std::exception&) {
        return {};  // Windows refuses to convert what is no UTF-8
    }
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

bool StdFileSystem::Exists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::exists(PathFromUtf8(path), ec);
}

bool StdFileSystem::Delete(const std::string& path)
{
    std::error_code ec;
    return fs::remove(PathFromUtf8(path), ec);
}

bool StdFileSystem::CreateEmpty(const std::string& path)
{
    std::FILE* f = native::Open(PathFromUtf8(path), "wb");
    if (!f)
        return false;
    return std::fclose(f) == 0;
}

std::unique_ptr<File> StdFileSystem::OpenRead(const std::string& path)
{
    // Reading a directory "succeeds" with fopen on Linux; it is no stored file.
    const fs::path p = PathFromUtf8(path);
    if (!IsRegular(p))
        return nullptr;
    std::FILE* f = native::Open(p, "rb");
    if (!f)
        return nullptr;
    return std::make_unique<StdFile>(f);
}

std::unique_ptr<File> StdFileSystem::OpenWrite(const std::string& path)
{
    const fs::path p = PathFromUtf8(path);
    if (!IsRegular(p))
        return nullptr;
    std::FILE* f = native::Open(p, "r+b");
    if (!f)
        return nullptr;
    return std::make_unique<StdFile>(f);
}

bool StdFileSystem::SameFile(const std::string& a, const std::string& b)
{
    const fs::path pa = PathFromUtf8(a), pb = PathFromUtf8(b);
    std::error_code ec;
    if (!fs::exists(pa, ec) || !fs::exists(pb, ec))
        return a == b;
    const bool same = fs::equivalent(pa, pb, ec);
    return ec ? a == b : same;
}

std::string UserDataPath(const std::string& name)
{
    const fs::path folder = native::UserDataFolder() / "serbox";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return Utf8FromPath(folder / PathFromUtf8(name));
}

bool StdFileSystem::AppendWhole(const std::string& path, const std::string& start, const std::string& data)
{
    const fs::path p = PathFromUtf8(path);
    if (p.empty())
        return false;
    std::error_code ec;
    if (!fs::exists(p, ec)) {
        // Made aside and moved in only while the name is free: whoever appends
        // next finds the file with its start line, and never two of them.
        static std::random_device seed;
        fs::path aside = p;
        aside += "." + std::to_string(seed()) + ".new";
        std::FILE* f = native::Open(aside, "wb");
        if (!f)
            return false;
        const bool written = std::fwrite(start.data(), 1, start.size(), f) == start.size();
        const bool closed = std::fclose(f) == 0;
        if (!(written && closed && native::MoveIfAbsent(aside, p)))
            fs::remove(aside, ec);
    }
    return native::AppendOnce(p, data);
}

StdFileSystem::Created StdFileSystem::CreateNew(const std::string& path, std::string& why)
{
    const fs::path p = PathFromUtf8(path);
    if (p.empty()) {
        why = "not a valid name";
        return Created::Failed;
    }
    return native::CreateExclusive(p, why);
}

StdFileSystem::Created StdFileSystem::MoveIfFree(const std::string& from, const std::string& to, std::string& why)
{
    const fs::path target = PathFromUtf8(to);
    if (native::MoveIfAbsent(PathFromUtf8(from), target))
        return Created::Yes;
    std::error_code ec;
    if (fs::exists(target, ec))
        return Created::Taken;
    why = "cannot move " + from + " to " + to;
    return Created::Failed;
}

bool StdFileSystem::Rename(const std::string& from, const std::string& to, std::string& why)
{
    return native::Replace(PathFromUtf8(from), PathFromUtf8(to), why);
}

bool StdFileSystem::Sync(const std::string& path, std::string& why)
{
    return native::SyncData(PathFromUtf8(path), why);
}

bool StdFileSystem::SyncFolder(const std::string& path, std::string& why)
{
    fs::path folder = PathFromUtf8(path).parent_path();
    return native::SyncNames(folder.empty() ? fs::path(".") : folder, why);
}

}  // namespace platform
