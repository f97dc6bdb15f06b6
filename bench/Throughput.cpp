// Reception throughput: serbox receives a program whose text section is 1 MB, 4 MB
// ..., from the device emulator on a pseudo-terminal, as fast as the line takes
// it (no 4800-baud pacing). The stored .src is compared with what was sent, and
// the listing must have been generated.

#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Data.h"
#include "bench/Shell.h"
#include "device/Device.h"

namespace bench {

namespace {

constexpr double kQuietWait = 0.3;  // the device listens this long after its last reply

std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

void Throughput(const std::vector<size_t>& megabytes, size_t chunk)
{
    std::printf("reception throughput over a pseudo-terminal, unthrottled, %zu bytes between polls\n", chunk);
    const auto dir = std::filesystem::temp_directory_path() / ("serbox-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (size_t mb : megabytes) {
        const device::Program program{Header('T', '0'), Text(mb << 20) + '\0'};
        device::Line line = device::Line::CreatePty();
        Shell shell(line.Path());
        const std::string listing = (dir / ("R" + std::to_string(mb) + ".TXT")).string();
        shell.Form1.SaveDialog().SetChooser([listing] { return std::optional<std::string>(listing); });
        shell.Form1.Action("File in-F7")->trigger();

        device::Options options;
        options.chunk = chunk;
        options.timeoutMs = 10000;
        double seconds = 0, listed = 0;
        const auto started = Clock::now();
        // The listing is written right after the last reply, while the device
        // still listens; its end shows in the message line.
        QObject::connect(shell.Form1.Memo(2), &QPlainTextEdit::textChanged, [&] {
            if (shell.Form1.Memo(2)->toPlainText() == "OPERAZIONE ESEGUITA")
                listed = Seconds(Clock::now() - started);
        });
        RunBeside([&] {
            std::ostringstream log;
            device::SendProgram(line, program, options, log);
            seconds = Seconds(Clock::now() - started) - kQuietWait;
        });
        const std::string stored = ReadAll(dir / ("R" + std::to_string(mb) + ".src"));
        const std::string done = shell.Form1.Memo(2)->toPlainText().toStdString();
        if (stored != program.src || done.find("OPERAZIONE ESEGUITA") == std::string::npos)
            throw std::runtime_error(std::to_string(mb) + " MB: the stored program differs or no listing (" + done + ")");
        std::printf("  %3zu MB   %7.2f s   %6.2f MB/s   (listing done at %.2f s)\n", mb, seconds,
                    static_cast<double>(mb) / seconds, listed);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace bench
