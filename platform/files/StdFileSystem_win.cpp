// Wide-character calls throughout: path.c_str() is the UTF-16 name.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/System.h"

namespace platform::native {

std::FILE* Open(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wmode(mode, mode + std::strlen(mode));  // ASCII
    return ::_wfopen(path.c_str(), wmode.c_str());
}

// long is 32 bits on Windows: fseek would stop at 2 GB.
bool Seek(std::FILE* f, uint64_t offset)
{
    return ::_fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool SeekEnd(std::FILE* f) { return ::_fseeki64(f, 0, SEEK_END) == 0; }

Created CreateExclusive(const std::filesystem::path& path, std::string& why)
{
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0)
        return ::_close(fd) == 0 ? Created::Yes : Created::Failed;
    if (errno == EEXIST)
        return Created::Taken;
    why = std::strerror(errno);
    return Created::Failed;
}

std::filesystem::path UserDataFolder()
{
    // The wide variables: the narrow ones are in the ANSI code page. A growing
    // journal belongs to this PC, not to the roaming profile that follows the
    // user to every logon.
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    const wchar_t* roaming = ::_wgetenv(L"APPDATA");
    if (!local)
        return roaming ? std::filesystem::path(roaming) : std::filesystem::temp_directory_path();
    const std::filesystem::path folder(local);
    if (roaming) {
        // Where earlier versions kept the journal: carried over once, while the
        // new place has none. Without MOVEFILE_REPLACE_EXISTING a journal already
        // there is never overwritten; a failed move leaves the old one whole.
        const std::filesystem::path old = std::filesystem::path(roaming) / "serbox" / "journal.csv";
        const std::filesystem::path now = folder / "serbox" / "journal.csv";
        std::error_code ec;
        if (std::filesystem::exists(old, ec) && !std::filesystem::exists(now, ec)) {
            std::filesystem::create_directories(now.parent_path(), ec);
            if (::MoveFileExW(old.c_str(), now.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
                std::filesystem::remove(old.parent_path(), ec);  // only while empty
        }
    }
    return folder;
}

bool MoveIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that is taken.
    return ::MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

bool AppendOnce(const std::filesystem::path& path, const std::string& data)
{
    // Append access: every write goes to the end. Not every implementation of it
    // finds the end and writes in one step (Wine does not), so the writers also
    // take turns on a lock far past any end, which no write ever touches.
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFF0u;
    turn.OffsetHigh = 0x7FFFFFFFu;
    const BOOL locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    DWORD wrote = 0;
    const BOOL ok = ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &wrote, nullptr);
    if (locked)
        ::UnlockFileEx(h, 0, 1, 0, &turn);
    const BOOL closed = ::CloseHandle(h);
    return ok && closed && wrote == data.size();
}

}  // namespace platform::native
