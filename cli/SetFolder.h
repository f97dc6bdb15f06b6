#pragma once
// The folder serbox-cli receives into: each set is received aside under a
// number this run has claimed, and takes its S name only once whole. Other
// runs may receive into the same folder at the same time.

#include <string>
#include <utility>

#include "platform/files/StdFileSystem.h"

namespace cli {

class SetFolder {
public:
    SetFolder(platform::StdFileSystem& files, std::string dir) : files_(files), dir_(std::move(dir)) {}

    // Claims the next number for a set to receive; why says when none is left.
    bool Claim(std::string& why);
    // The file of the set aside under the claimed number (or under number).
    std::string Aside(const std::string& ext, int number = 0) const;
    // The file of the set named S<number> (the claimed one by default), as the system writes paths.
    std::string Named(const std::string& ext, int number = 0) const;
    // The set aside goes, and the claim on its number with it.
    void Drop();
    // The set aside stays, with its claim: nothing of it is dropped any more.
    void Keep() { number_ = 0; }
    // The whole set takes the first S name free now; its listing's path, or
    // empty with why (the set is then still aside).
    std::string Publish(std::string& why);

private:
    int NextNumber() const;
    void DropData();

    platform::StdFileSystem& files_;
    std::string dir_;
    int number_ = 0;
};

}  // namespace cli
