#include "link/SetCommit.h"

#include <vector>

#include "link/StoredFileSet.h"

std::string AsidePath(const std::string& path)
{
    const size_t name = path.find_last_of("\\/") + 1;  // 0 without a folder
    return path.substr(0, name) + "~" + path.substr(name);
}

std::string ReplaceMarker(const std::string& setPath) { return AsidePath(DeriveSetPath(setPath, "replacing")); }

bool ReplaceInterrupted(platform::FileSystem& files, const std::string& setPath)
{
    return files.Exists(ReplaceMarker(setPath));
}

void DropAside(platform::FileSystem& files, const std::string& listing)
{
    std::string names[3];
    NameSet(listing, names[0], names[1], names[2]);
    for (const std::string& name : names)
        if (files.Exists(AsidePath(name)))
            files.Delete(AsidePath(name));
}

namespace {

std::string Told(const std::string& path, const std::string& reason) { return path + ": " + reason; }

// One file's move in: the old one out to its backup first, when there is one.
struct Move {
    std::string name, aside, backup;
    bool movedOut = false, movedIn = false;
};

// Puts back what step 3 moved, the last move first; false if any of it failed.
bool PutBack(platform::FileSystem& files, std::vector<Move>& moves)
{
    bool ok = true;
    std::string ignored;
    for (auto m = moves.rbegin(); m != moves.rend(); ++m) {
        if (m->movedIn)
            ok = files.Rename(m->name, m->aside, ignored) && ok;
        if (m->movedOut)
            ok = files.Rename(m->backup, m->name, ignored) && ok;
    }
    return files.SyncFolder(moves.front().name, ignored) && ok;
}

}  // namespace

bool CommitSet(platform::FileSystem& files, const std::string& listing, std::string& why)
{
    std::vector<Move> moves(3);
    NameSet(listing, moves[0].name, moves[1].name, moves[2].name);
    for (Move& m : moves) {
        m.aside = AsidePath(m.name);
        m.backup = m.aside + ".old";
        std::string reason;
        if (!files.Sync(m.aside, reason))
            return why = Told(m.aside, reason), false;
    }
    if (const SetCheck check = CheckWholeSet(files, moves[1].aside, moves[2].aside); check.Fault != SetFault::None)
        return why = Told(check.Path, SetFaultReason(check, 1)), false;

    const std::string marker = ReplaceMarker(listing);
    std::string reason;
    if (!files.CreateEmpty(marker))
        return why = Told(marker, "cannot be created"), false;
    if (!files.SyncFolder(marker, reason)) {
        files.Delete(marker);
        return why = Told(listing, reason), false;
    }
    for (Move& m : moves) {
        if (files.Exists(m.name) && !(m.movedOut = files.Rename(m.name, m.backup, reason))) {
            why = Told(m.name, reason);
            break;
        }
        if (!(m.movedIn = files.Rename(m.aside, m.name, reason))) {
            why = Told(m.aside, reason);
            break;
        }
    }
    if (why.empty() && !files.SyncFolder(listing, reason))
        why = Told(listing, reason);
    if (!why.empty()) {
        // Only a set put back whole loses its marker: otherwise the next use of
        // the name must still find that its files may be mixed.
        if (PutBack(files, moves))
            files.Delete(marker);
        return false;
    }
    for (const Move& m : moves)
        if (m.movedOut)
            files.Delete(m.backup);
    files.Delete(marker);
    return true;
}
