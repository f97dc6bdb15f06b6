#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace platform::native
