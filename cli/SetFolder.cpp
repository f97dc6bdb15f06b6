#include "cli/SetFolder.h"

#include <QDir>
#include <algorithm>
#include <filesystem>

#include "cli/SetNames.h"
#include "link/SetCommit.h"

namespace cli {

namespace {

const char* const kAside = "~";  // the prefix of a set being received
using Created = platform::StdFileSystem::Created;

}  // namespace

std::string SetFolder::Aside(const std::string& ext, int number) const
{
    return QDir(QString::fromStdString(dir_))
        .filePath(QString::fromStdString(kAside + SetStem(number ? number : number_) + "." + ext))
        .toStdString();
}

std::string SetFolder::Named(const std::string& ext, int number) const
{
    const QDir dir(QString::fromStdString(dir_));
    return QDir::toNativeSeparators(dir.filePath(QString::fromStdString(SetStem(number ? number : number_) + "." + ext)))
        .toStdString();
}

void SetFolder::DropData()
{
    // The set aside, and what a reception into it writes beside it.
    DropAside(files_, Aside("txt"));
    for (const char* ext : {"txt", "hdr", "src"})
        if (files_.Exists(Aside(ext)))
            files_.Delete(Aside(ext));
}

void SetFolder::Drop()
{
    if (number_ == 0)
        return;
    DropData();
    if (files_.Exists(Aside("claim")))
        files_.Delete(Aside("claim"));
    number_ = 0;
}

// Each run takes its aside number by creating its claim file, so that none
// deletes or mixes another's set. A claim left by a killed run only costs a number.
bool SetFolder::Claim(std::string& why)
{
    Drop();
    for (int n = NextNumber(); n != 0 && n <= 9999; ++n) {
        std::string failure;
        switch (files_.CreateNew(Aside("claim", n), failure)) {
        case Created::Yes:
            number_ = n;
            DropData();  // whatever else is aside under this number belongs to no live run
            return true;
        case Created::Taken:
            continue;
        case Created::Failed:
            // F7's own check of the folder then says why, in its words.
            number_ = n;
            return true;
        }
    }
    why = dir_ + " already holds a set S9999: no name is left";
    return false;
}

// Read as a stream: a folder of thousands of sets costs no more memory than an empty one.
int SetFolder::NextNumber() const
{
    int highest = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(platform::PathFromUtf8(dir_), ec), end; !ec && it != end;
         it.increment(ec))
        highest = std::max(highest, SetNumberOf(platform::Utf8FromPath(it->path().filename())));
    return highest >= 9999 ? 0 : highest + 1;
}

// Another program receiving into the same folder may have moved the first free
// number on since this set was claimed.
std::string SetFolder::Publish(std::string& why)
{
    for (int tries = 0; tries < 100; ++tries) {
        const int n = NextNumber();
        if (n == 0)
            return why = "no name is left after S9999", std::string();
        // The listing last: a set is there once its listing is. Each file takes
        // only a free name, so a set another program published at the same
        // moment is never replaced; a name taken midway puts back what had moved
        // and tries the next number.
        const char* const exts[] = {"hdr", "src", "txt"};
        int moved = 0;
        auto taken = Created::Yes;
        for (; moved < 3; ++moved)
            if ((taken = files_.MoveIfFree(Aside(exts[moved]), Named(exts[moved], n), why)) != Created::Yes)
                break;
        // Whole only once its new names are on the disk too.
        std::string reason;
        if (moved == 3 && files_.SyncFolder(Named("txt", n), reason))
            return Named("txt", n);
        if (moved == 3) {
            why = Named("txt", n) + ": " + reason;
            taken = Created::Failed;
        }
        std::string back;
        while (moved-- > 0)
            if (files_.MoveIfFree(Named(exts[moved], n), Aside(exts[moved]), back) != Created::Yes)
                return why = "moving the set back from " + Named(exts[moved], n) + " failed", std::string();
        if (taken == Created::Failed)
            return std::string();
    }
    why = "the folder's S names keep changing";
    return {};
}

}  // namespace cli
