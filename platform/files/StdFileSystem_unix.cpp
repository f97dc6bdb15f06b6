#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/System.h"

namespace platform::native {

static_assert(sizeof(off_t) >= 8, "stored files need 64-bit offsets");

std::FILE* Open(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool Seek(std::FILE* f, uint64_t offset)
{
    return ::fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool SeekEnd(std::FILE* f) { return ::fseeko(f, 0, SEEK_END) == 0; }

Created CreateExclusive(const std::filesystem::path& path, std::string& why)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0)
        return ::close(fd) == 0 ? Created::Yes : Created::Failed;
    if (errno == EEXIST)
        return Created::Taken;
    why = std::strerror(errno);
    return Created::Failed;
}

std::filesystem::path UserDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/tmp") / ".local" / "share";
}

bool MoveIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // A second name that only a free name takes; then the first one goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
    // A file system without links (a FAT stick): the exclusive rename instead.
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool AppendOnce(const std::filesystem::path& path, const std::string& data)
{
    // Read access only to look at the last byte; a file that allows no reading is still appended to.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (data.empty())
        return ::close(fd) == 0;
    // A row that a full disk cut short is ended before this one, so the two are
    // never read as one. The writers take turns: another's append under way
    // shows its end before its last byte is there.
    const bool turn = ::flock(fd, LOCK_EX) == 0;
    std::string whole = data;
    struct stat st {};
    char last = '\n';
    if (turn && ::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        whole.insert(0, 1, '\n');
    const ssize_t wrote = ::write(fd, whole.data(), whole.size());
    if (turn)
        ::flock(fd, LOCK_UN);
    const bool synced = wrote > 0 && ::fdatasync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return closed && synced && wrote == static_cast<ssize_t>(whole.size());
}

}  // namespace platform::native

namespace platform::native {

namespace {

bool SyncOpened(const std::filesystem::path& path, int flags, std::string& why)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    bool ok = ::fsync(fd) == 0;
    // A folder whose file system keeps no such thing to sync has nothing waiting.
    if (!ok && errno == EINVAL && (flags & O_DIRECTORY))
        ok = true;
    if (!ok)
        why = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        why = std::strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace

bool SyncData(const std::filesystem::path& path, std::string& why) { return SyncOpened(path, O_RDONLY, why); }

bool SyncNames(const std::filesystem::path& folder, std::string& why)
{
    return SyncOpened(folder, O_RDONLY | O_DIRECTORY, why);
}

bool Replace(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why)
{
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    why = std::strerror(errno);
    return false;
}

}  // namespace platform::native
