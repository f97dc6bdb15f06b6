// Storing a received set. First what the syncs that make "done" true cost: a set
// written aside and moved in under its name (the same steps as a reception's
// end), with its syncs and, in the same run, without them, in each folder given
// (this machine's disk; bench/run.sh adds a FAT image where it can mount one).
// Then that the device never waits on them: receptions from a scripted device on
// a pseudo-terminal into the real window, the reply to the last poll (after which
// the set is stored) timed beside the replies to the polls before it.

#include <QLineEdit>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Data.h"
#include "bench/Shell.h"
#include "link/SetCommit.h"
#include "link/StoredFileSet.h"
#include "platform/files/StdFileSystem.h"

namespace bench {

namespace {

// The same file system with nothing written out: what a store cost before.
struct Unsynced : platform::StdFileSystem {
    bool Sync(const std::string&, std::string&) override { return true; }
    bool SyncFolder(const std::string&, std::string&) override { return true; }
};

// One set of a header and a source of srcBytes, aside, then moved in; milliseconds.
double StoreOnce(platform::FileSystem& files, const std::string& listing, size_t srcBytes)
{
    const std::string text = Text(srcBytes) + '\0';
    const std::pair<std::string, const std::string*> parts[] = {
        {AsidePath(DeriveSetPath(listing, "hdr")), nullptr}, {AsidePath(DeriveSetPath(listing, "src")), &text},
        {AsidePath(listing), &text}};
    const std::string header = Header('T', '0');
    for (const auto& [path, data] : parts) {
        const std::string& bytes = data ? *data : header;
        if (!files.CreateEmpty(path))
            throw std::runtime_error("cannot write " + path);
        auto f = files.OpenWrite(path);
        if (!f || !f->Write(bytes.data(), bytes.size()) || !f->Close())
            throw std::runtime_error("cannot write " + path);
    }
    std::string why;
    const auto started = Clock::now();
    if (!CommitSet(files, listing, why))
        throw std::runtime_error(why);
    return Micros(Clock::now() - started) / 1000;
}

void Costs(const std::string& folder, int rounds)
{
    platform::StdFileSystem synced;
    Unsynced unsynced;
    for (size_t bytes : {size_t{4} << 10, size_t{1} << 20}) {
        std::vector<double> with, without;
        for (int i = 0; i < rounds; ++i) {  // the same name each time: each store replaces a set
            const std::string listing = folder + "/STORE.TXT";
            with.push_back(StoreOnce(synced, listing, bytes));
            without.push_back(StoreOnce(unsynced, listing, bytes));
        }
        std::printf("  %-28s %5zu kB source   synced median %7.2f ms  max %7.2f ms   unsynced median %6.2f ms\n",
                    folder.c_str(), bytes >> 10, Percentile(with, 0.5), Percentile(with, 1.0),
                    Percentile(without, 0.5));
        for (const char* ext : {"TXT", "hdr", "src"})
            std::filesystem::remove(folder + "/STORE." + ext);
    }
}

// One reception of a small set, the device scripted; the microseconds from each
// poll of the text section written to its reply read, the last poll's last.
std::vector<double> Reception(const Pty& line)
{
    const std::string text = Text(4000);
    line.Send("\x1B" "A" "\x1B" "C" "\x1B" "Y" + Header('T', '0') + "\x1B" "U");
    std::vector<double> us;
    const auto poll = [&](const std::string& reply) {
        line.Send("\x1B" "I");
        const auto sent = Clock::now();
        if (line.Read(reply.size(), 5000) != reply)
            throw std::runtime_error("a poll of the reception got a wrong or no reply");
        us.push_back(Micros(Clock::now() - sent));
    };
    for (size_t at = 0; at < text.size(); at += 1000) {
        line.Send(text.substr(at, 1000));
        poll("\x1B" "BB@B");  // a chunk stored
    }
    line.Send(std::string(1, '\0'));
    poll("\x1B" "BA@B");  // the section ended
    poll("\x1B" "AB@B");  // the last: the set is stored after this reply
    return us;
}

}  // namespace

void Store(const std::vector<std::string>& folders, int rounds)
{
    std::printf("storing a received set (written aside, synced, moved in), %d times each\n", rounds);
    for (const std::string& folder : folders)
        Costs(folder, rounds);

    const auto dir = std::filesystem::temp_directory_path() / ("serbox-bench-store-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Pty line;
    Shell shell(line.path);
    std::vector<double> before, last;
    for (int i = 0; i < rounds; ++i) {
        const std::string listing = (dir / ("R" + std::to_string(i) + ".TXT")).string();
        shell.Form1.SaveDialog().SetChooser([listing] { return std::optional<std::string>(listing); });
        shell.Form1.Action("File in-F7")->trigger();
        RunBeside([&] {
            std::vector<double> us = Reception(line);
            last.push_back(us.back());
            us.pop_back();
            before.insert(before.end(), us.begin(), us.end());
        });
        if (!std::filesystem::exists(listing))
            throw std::runtime_error(listing + " was not stored");
    }
    std::filesystem::remove_all(dir);
    std::printf("  reply to a poll during a reception   median %8.1f us   max %8.1f us\n", Percentile(before, 0.5),
                Percentile(before, 1.0));
    std::printf("  reply to the last poll (then stored) median %8.1f us   max %8.1f us\n", Percentile(last, 0.5),
                Percentile(last, 1.0));
}

}  // namespace bench
