#include "tools/ListingTool.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "platform/files/StdFileSystem.h"
#include "receive/Listing.h"
#include "link/StoredFileSet.h"
#include "shell/ProgramState.h"

namespace listing_tool {
namespace {

const char* const kUsageText =
    "usage: serbox-listing [--force] SRC [LISTING]\n"
    "Writes the printable listing of the stored program SRC (a .src file with its\n"
    ".hdr beside it), as a reception writes it. Without LISTING it goes to the .TXT\n"
    "beside the pair (LINE1.src -> LINE1.TXT), the name F8 expects.\n"
    "  --force  replace an existing listing\n"
    "Exit status: 0 written, 1 not written (see the message), 2 wrong arguments.\n";

struct Options {
    bool force = false;
    bool help = false;
    std::string src, listing;
};

// False with a message for arguments that do not make a command.
bool Parse(const std::vector<std::string>& args, Options& o, std::string& problem)
{
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (!optionsEnded && a == "--")
            optionsEnded = true;
        else if (!optionsEnded && a == "--force")
            o.force = true;
        else if (!optionsEnded && (a == "--help" || a == "-h"))
            o.help = true;
        else if (!optionsEnded && a.size() > 1 && a[0] == '-')
            problem = "unknown option " + a;
        else
            names.push_back(a);
    }
    if (o.help)
        return true;
    if (problem.empty() && (names.empty() || names.size() > 2))
        problem = names.empty() ? "no SRC given" : "too many names";
    if (!problem.empty())
        return false;
    o.src = names[0];
    o.listing = names.size() == 2 ? names[1] : DeriveSetPath(o.src, "TXT");
    return true;
}

// The whole file; false when it cannot be opened or read.
bool ReadAll(platform::FileSystem& files, const std::string& path, std::string& data)
{
    auto f = files.OpenRead(path);
    if (!f)
        return false;
    data.clear();
    char block[64 * 1024];
    while (size_t got = f->Read(block, sizeof block))
        data.append(block, got);
    const bool ok = !f->Failed();
    return f->Close() && ok;
}

class Command {
public:
    Command(const Options& o, std::ostream& err) : o_(o), err_(err) {}

    int Run()
    {
        const std::string hdrPath = DeriveSetPath(o_.src, "hdr");
        std::string src, hdr;
        if (!files_.Exists(o_.src))
            return Fail(o_.src, "no such file");
        if (!ReadAll(files_, o_.src, src))
            return Fail(o_.src, "cannot be read");
        if (!files_.Exists(hdrPath)) {
            // Sets made under DOS come in capitals, and F8 looks for .hdr and .src.
            const std::string dosHdr = DeriveSetPath(o_.src, "HDR");
            const std::string hint = files_.Exists(dosHdr)
                ? " (" + dosHdr + " is there: F8 looks for lower-case .hdr and .src, rename the pair)" : "";
            return Fail(o_.src, "not a stored program: no header file " + hdrPath + " beside it" + hint);
        }
        // The rules F8 applies before it sends a set.
        const SetCheck check = CheckWholeSet(files_, hdrPath, o_.src);
        if (check.Fault == SetFault::Unreadable)
            return Fail(check.Path, "cannot be read");
        if (check.Fault != SetFault::None)
            return Fail(check.Path, "not a stored program: " + SetFaultReason(check, 1));
        if (!ReadAll(files_, hdrPath, hdr))
            return Fail(hdrPath, "cannot be read");
        ProgramState S;  // a fresh program: no class from an earlier header
        ClassifyHeader(S, reinterpret_cast<const uint8_t*>(hdr.data()));

        if (files_.SameFile(o_.listing, o_.src) || files_.SameFile(o_.listing, hdrPath))
            return Fail(o_.listing, "is a file of the set itself; name a listing beside it");
        if (files_.Exists(o_.listing) && !o_.force)
            return Fail(o_.listing, "already exists; --force replaces it");
        std::error_code ec;
        if (files_.Exists(o_.listing) && !std::filesystem::is_regular_file(platform::PathFromUtf8(o_.listing), ec))
            return Fail(o_.listing, "is not a regular file");

        if (!Write(S.DeviceClass))
            return kFailed;
        WarnIfF8CannotFind();
        return kOk;
    }

private:
    int Fail(const std::string& path, const std::string& problem)
    {
        err_ << "serbox-listing: " << path << ": " << problem << "\n";
        return kFailed;
    }

    // Into a new file beside the listing, renamed over it once whole.
    bool Write(int32_t deviceClass)
    {
        std::string temp, why;
        std::random_device seed;  // another run may be writing beside the same listing
        const std::string tag = std::to_string(seed() % 1000000);
        for (int n = 0; temp.empty() && n < 100; ++n) {
            const std::string name = o_.listing + ".part" + tag + "-" + std::to_string(n);
            switch (files_.CreateNew(name, why)) {
            case platform::StdFileSystem::Created::Yes:
                temp = name;
                break;
            case platform::StdFileSystem::Created::Taken:
                break;
            case platform::StdFileSystem::Created::Failed:
                Fail(o_.listing, "cannot be written: " + why);
                return false;
            }
        }
        if (temp.empty()) {
            Fail(o_.listing, "cannot be written: no free temporary name beside it");
            return false;
        }
        int32_t highBitMarks = 1;  // as a reception leaves it when the text section has arrived
        if (!WriteListing(files_, o_.src, temp, deviceClass, highBitMarks)) {
            files_.Delete(temp);
            Fail(o_.listing, "cannot be written (disk full or the source vanished?)");
            return false;
        }
        // Stored before it takes the name, and the name stored before "done".
        if (!files_.Sync(temp, why) || !files_.Rename(temp, o_.listing, why)) {
            files_.Delete(temp);
            Fail(o_.listing, "cannot be written: " + why);
            return false;
        }
        if (!files_.SyncFolder(o_.listing, why)) {
            Fail(o_.listing, "written, but not stored on the disk: " + why);
            return false;
        }
        return true;
    }

    // The listing is only useful if F8 finds the pair from its name.
    void WarnIfF8CannotFind()
    {
        const std::string hdr = DeriveSetPath(o_.listing, "hdr"), src = DeriveSetPath(o_.listing, "src");
        if (files_.Exists(hdr) && files_.Exists(src))
            return;
        err_ << "serbox-listing: warning: F8 on " << o_.listing << " looks for " << hdr << " and " << src
             << "; name the pair so, or the set cannot be sent\n";
    }

    const Options& o_;
    std::ostream& err_;
    platform::StdFileSystem files_;
};

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Options o;
    std::string problem;
    if (!Parse(args, o, problem)) {
        err << "serbox-listing: " << problem << "\n" << kUsageText;
        return kBadArguments;
    }
    if (o.help) {
        out << kUsageText;
        return kOk;
    }
    return Command(o, err).Run();
}

}  // namespace listing_tool
