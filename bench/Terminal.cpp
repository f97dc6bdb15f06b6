// Terminal: the device floods the line with text lines (40 characters, CR LF) while
// serbox sits in its idle state, so every line goes to Memo1. The real main window
// is shown (offscreen, so it paints into an image) and reads a pseudo-terminal; a
// second thread writes the lines as fast as the line takes them. Lines a second
// count from the first write to the moment the last line is in Memo1. The CPU is
// the whole process's less the writing thread's own, so it is serbox's: reading,
// the receive machine, the text area, painting. The lines Memo1 keeps are then
// compared with the tail of what was sent.

#include <sys/resource.h>
#include <time.h>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Shell.h"

namespace bench {

namespace {

constexpr size_t kLinesPerWrite = 1000;

// Line n as the device sends it: 40 characters, then CR LF.
std::string DeviceLine(size_t n)
{
    char text[64];
    std::snprintf(text, sizeof text, "T%08zu CH%02zu %+07.2f V OK STATUS=%06zx", n, n % 16,
                  static_cast<double>(n % 20000) / 100.0 - 50.0, n * 2654435761u % 0xFFFFFF);
    std::string line(text);
    line.resize(40, '.');
    return line;
}

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    auto s = [](timeval v) { return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// The lines Memo1 ends with must be the last ones sent, in order.
void CheckTail(const QPlainTextEdit& memo, size_t lines)
{
    const size_t kept = static_cast<size_t>(memo.document()->blockCount());
    const size_t check = std::min(lines, kept > 1 ? kept - 1 : kept);
    QTextBlock b = memo.document()->lastBlock();
    for (size_t i = 0; i < check; ++i, b = b.previous()) {
        const size_t n = lines - 1 - i;
        if (b.text().toStdString() != DeviceLine(n))
            throw std::runtime_error("line " + std::to_string(n) + " shows as \"" + b.text().toStdString() + "\"");
    }
}

}  // namespace

void Terminal(size_t lines)
{
    Pty line;
    Shell shell(line.path);
    shell.Form1.show();
    QPlainTextEdit& memo = *shell.Form1.Memo(1);
    const QString last = QString::fromStdString(DeviceLine(lines - 1));

    double writerCpu = 0;
    const double cpuBefore = ProcessCpuSeconds();
    const auto started = Clock::now();
    std::thread device([&] {
        std::string chunk;
        for (size_t n = 0; n < lines;) {
            chunk.clear();
            for (size_t k = 0; k < kLinesPerWrite && n < lines; ++k, ++n)
                chunk += DeviceLine(n) + "\r\n";
            line.Send(chunk);
        }
        writerCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    });

    double seconds = 0;
    int seenSteady = 0;
    int lastCount = -1;
    QString lastSeen;
    QTimer watch;
    // Looks at the last line only, a few hundred times a second: no cost to speak of.
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString now = memo.document()->lastBlock().text();
        if (now == last) {
            seconds = Seconds(Clock::now() - started);
            qApp->quit();
            return;
        }
        // Nothing new for 10 s: serbox has stopped taking lines.
        seenSteady = now == lastSeen && memo.document()->blockCount() == lastCount ? seenSteady + 1 : 0;
        lastSeen = now;
        lastCount = memo.document()->blockCount();
        if (seenSteady > 2000)
            qApp->quit();
    });
    watch.start(5);
    qApp->exec();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    device.join();
    if (seconds == 0)
        throw std::runtime_error("the last line never showed; Memo1 ends with \"" + lastSeen.toStdString() + "\"");
    CheckTail(memo, lines);
    const double serboxCpu = cpu - writerCpu;
    std::printf("terminal, %zu device lines of 42 bytes into Memo1 over a pseudo-terminal (window shown, offscreen)\n",
                lines);
    std::printf("  %7zu lines   %6.2f s   %8.0f lines/s   %6.2f us CPU a line   Memo1 keeps %d lines\n", lines,
                seconds, static_cast<double>(lines) / seconds, 1e6 * serboxCpu / static_cast<double>(lines),
                memo.document()->blockCount());
}

}  // namespace bench
