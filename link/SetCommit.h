#pragma once
// How a received set takes its name. A reception writes beside the chosen name,
// into the set's aside files (AsidePath: "~" before each file's name), and the
// set under the name stays as it was until the whole set is written, checked
// whole and on the disk. Only then does CommitSet move it in:
//
//   1. each aside file's data synced; the aside set checked whole;
//   2. the marker ~NAME.replacing made and the folder synced: from here until it
//      goes, the files under the name may be a mix of two sets, and every use of
//      the name says so (ReplaceInterrupted, CheckWholeSet);
//   3. for the listing, the .hdr and the .src in turn: the old file moved to its
//      backup (~FILE.old), the new one moved to the name;
//   4. the folder synced; the backups and the marker removed.
//
// A step that fails puts back what had moved, so a failed save keeps the old set;
// a crash between 2 and 4 leaves the marker, the moved-out files as backups and
// the rest of the new set aside, for the next use of the name to find.

#include <string>

#include "platform/files/FileSystem.h"

// The file a reception writes in place of path: in the same folder, so that a
// rename moves it in whole.
std::string AsidePath(const std::string& path);

// The marker of a replace under way for the set of any of its files' names.
std::string ReplaceMarker(const std::string& setPath);
// A replace of that set began and never ended: its files may mix two sets.
bool ReplaceInterrupted(platform::FileSystem& files, const std::string& setPath);

// The aside files of the set named listing go (a reception failed or was abandoned).
void DropAside(platform::FileSystem& files, const std::string& listing);

// The whole set received aside takes the name listing (steps 1 to 4 above).
// False with why (the file at fault and the system's reason) when it could not:
// the set under the name is then as it was, the aside files still there.
bool CommitSet(platform::FileSystem& files, const std::string& listing, std::string& why);
