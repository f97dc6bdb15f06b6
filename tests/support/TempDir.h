#pragma once
// A fresh folder under the system's temporary folder, removed with the object.
// Portable: no mkdtemp on Windows.

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

class TempDir {
public:
    explicit TempDir(const std::string& stem)
    {
        namespace fs = std::filesystem;
        std::random_device seed;
        for (int tries = 0; tries < 100; ++tries) {
            fs::path p = fs::temp_directory_path() / (stem + "-" + std::to_string(seed()));
            if (fs::create_directory(p)) {
                path = p;
                return;
            }
        }
        throw std::runtime_error("no free temporary folder for " + stem);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};
