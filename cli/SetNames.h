#pragma once
// The names serbox-cli gives the sets it receives, and where a received set first
// differs from a stored one. Plain C++.

#include <string>
#include <vector>

#include "platform/files/FileSystem.h"

// S0001 to S9999: names the DOS-era editing software reads too (8.3).
std::string SetStem(int number);
// The number of a set's file name, S<four digits>.txt, .hdr or .src in any
// case; 0 for any other name.
int SetNumberOf(const std::string& name);
// One past the highest set number among names, so a batch carries on after what
// a folder already holds; 0 when S9999 is taken.
int NextSetNumber(const std::vector<std::string>& names);

// Where the received header and source first differ from the stored ones: the
// header byte, or the line and column of the listing (both listed into
// scratchDir as a reception lists them); empty when they are the same bytes.
std::string FirstDifference(platform::FileSystem& files, const std::string& storedHdr, const std::string& storedSrc,
                            const std::string& gotHdr, const std::string& gotSrc, const std::string& scratchDir);
