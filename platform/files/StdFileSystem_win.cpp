// Wide-character calls throughout: path.c_str() is the UTF-16 name.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/Describe_win.h"
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
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
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
    if (data.empty())
        return ::CloseHandle(h) != 0;
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFF0u;
    turn.OffsetHigh = 0x7FFFFFFFu;
    const BOOL locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    // A row that a full disk cut short is ended before this one, so the two are
    // never read as one.
    std::string whole = data;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(h, &size) && size.QuadPart > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size.QuadPart - 1);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        char last = '\n';
        DWORD got = 0;
        if (::ReadFile(h, &last, 1, &got, &at) && got == 1 && last != '\n')
            whole.insert(0, 1, '\n');
    }
    DWORD wrote = 0;
    const BOOL ok = ::WriteFile(h, whole.data(), static_cast<DWORD>(whole.size()), &wrote, nullptr);
    const BOOL flushed = ok && ::FlushFileBuffers(h);
    if (locked)
        ::UnlockFileEx(h, 0, 1, 0, &turn);
    const BOOL closed = ::CloseHandle(h);
    return ok && flushed && closed && wrote == whole.size();
}

namespace {

std::string LastErrorText() { return Describe(::GetLastError()); }

}  // namespace

bool SyncData(const std::filesystem::path& path, std::string& why)
{
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = LastErrorText();
        return false;
    }
    const bool ok = ::FlushFileBuffers(h) != 0;
    if (!ok)
        why = LastErrorText();
    ::CloseHandle(h);
    return ok;
}

// A move made with MOVEFILE_WRITE_THROUGH is on the disk when it returns; only a
// folder that is not there is told.
bool SyncNames(const std::filesystem::path& folder, std::string& why)
{
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    why = attributes == INVALID_FILE_ATTRIBUTES ? LastErrorText() : "not a folder";
    return false;
}

bool Replace(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why)
{
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = LastErrorText();
    return false;
}

}  // namespace platform::native

namespace platform {

// Wide, converted once: the words keep the system's language.
std::string Describe(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s;
    if (n && text) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        s.resize(static_cast<size_t>(std::max(size, 0)));
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), s.data(), size, nullptr, nullptr);
    }
    ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s;
}

}  // namespace platform
