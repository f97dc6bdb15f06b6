// Listing generation: WriteListing over .src files of 1 MB and 10 MB, real files.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Data.h"
#include "platform/files/StdFileSystem.h"
#include "receive/Listing.h"

namespace bench {

void ListingSpeed(const std::vector<size_t>& megabytes)
{
    std::printf("listing generation (WriteListing, real files)\n");
    const auto dir = std::filesystem::temp_directory_path() / ("serbox-listing-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    platform::StdFileSystem files;
    for (size_t mb : megabytes) {
        const std::string src = (dir / "L.src").string(), txt = (dir / "L.TXT").string();
        std::ofstream(src, std::ios::binary) << Text(mb << 20) << '\0';
        std::ofstream(txt, std::ios::binary).flush();
        int32_t marks = 1;
        const auto started = Clock::now();
        const bool ok = WriteListing(files, src, txt, 6, marks);
        const double seconds = Seconds(Clock::now() - started);
        if (!ok)
            throw std::runtime_error("the listing could not be written");
        const double out = static_cast<double>(std::filesystem::file_size(txt)) / (1 << 20);
        std::printf("  %3zu MB .src   %7.3f s   %7.2f MB/s   (listing %.1f MB)\n", mb, seconds,
                    static_cast<double>(mb) / seconds, out);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace bench
