#pragma once
// The real file system, through the C library's buffered streams: byte-at-a-time
// reads of a large source file stay cheap.

#include "platform/FileSystem.h"

namespace platform {

class StdFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) override;
    bool Delete(const std::string& path) override;
    bool CreateEmpty(const std::string& path) override;
    std::unique_ptr<File> OpenRead(const std::string& path) override;
    std::unique_ptr<File> OpenWrite(const std::string& path) override;
};

}  // namespace platform
