#include "platform/StdFileSystem.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

class StdFile : public File {
public:
    explicit StdFile(std::FILE* f) : f_(f) {}
    ~StdFile() override { Close(); }

    bool Seek(uint64_t offset) override
    {
        return f_ && fseeko(f_, static_cast<off_t>(offset), SEEK_SET) == 0;
    }
    bool SeekEnd() override { return f_ && fseeko(f_, 0, SEEK_END) == 0; }

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

bool IsRegular(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool StdFileSystem::Exists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

bool StdFileSystem::Delete(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::remove(path, ec);
}

bool StdFileSystem::CreateEmpty(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    return std::fclose(f) == 0;
}

std::unique_ptr<File> StdFileSystem::OpenRead(const std::string& path)
{
    // Reading a directory "succeeds" with fopen on Linux; it is no stored file.
    if (!IsRegular(path))
        return nullptr;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    return std::make_unique<StdFile>(f);
}

std::unique_ptr<File> StdFileSystem::OpenWrite(const std::string& path)
{
    if (!IsRegular(path))
        return nullptr;
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f)
        return nullptr;
    return std::make_unique<StdFile>(f);
}

}  // namespace platform
