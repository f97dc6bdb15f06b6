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
        std::random_device seed;
        for (int tries = 0; tries < 100 && path.empty(); ++tries)
            if (auto p = std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(seed()));
                std::filesystem::create_directory(p))
                path = p;
        if (path.empty())
            throw std::runtime_error("no free temporary folder for " + stem);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;  // one removal per folder
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};
