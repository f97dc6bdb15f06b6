#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/SetCommit.h"
#include "link/StoredFileSet.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/support/Header.h"

using Files = std::map<std::string, std::string>;

// A power cut after any step of the replace, with any of the name changes not
// yet stored reaching the disk or not: under the name the old set, the new one,
// or nothing, else nothing F8 takes and a mix the next use of the name is told of.
TEST(SetCommit, APowerCutAtAnyStepLeavesOneWholeSetOrIsTold)
{
    const std::string names[] = {"/d/P.TXT", "/d/P.hdr", "/d/P.src"};
    const auto set = [&](const std::string& text, char digit) {
        return Files{{names[0], text}, {names[1], HeaderOf('T', digit)}, {names[2], text + kNul}};
    };
    const Files old = set("old", '0'), received = set("new", '1');
    for (const Files& stored : {old, Files{}})
        for (long cut = 0, done = 0; !done; ++cut) {
            ASSERT_LT(cut, 40) << "the replace never ends";
            FakeFileSystem fs;
            fs.Files = stored;
            for (const auto& [name, data] : received) {  // as a reception writes them
                fs.CreateEmpty(AsidePath(name));
                fs.OpenWrite(AsidePath(name))->Write(data.data(), data.size());
            }
            fs.CutAfter = cut;
            std::string why;
            try {
                done = CommitSet(fs, names[0], why);
            } catch (const FakeFileSystem::PowerCutNow&) {
            }
            for (unsigned long reached = 0; reached < (1ul << fs.Pending.size()); ++reached) {
                FakeFileSystem disk;
                disk.Files = fs.PowerCut(reached);
                Files named;
                for (const std::string& name : names)
                    if (disk.Exists(name))
                        named[name] = disk.Files[name];
                const bool whole = named == stored || named == received;
                const bool taken = named.size() == 3 && CheckWholeSet(disk, names[1], names[2]).Fault == SetFault::None;
                ASSERT_TRUE(whole || (!taken && ReplaceInterrupted(disk, names[0]))) << cut << " " << reached;
            }
            EXPECT_TRUE(!done || fs.Files == received) << why;
        }
}
