#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/SetCommit.h"
#include "link/StoredFileSet.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/support/Header.h"

namespace {

using Files = std::map<std::string, std::string>;
const std::string kNames[] = {"/d/P.TXT", "/d/P.hdr", "/d/P.src"};

// A whole set under the name: its listing, a class-6 header, a source.
Files SetOf(const std::string& text, char digit)
{
    return {{kNames[0], text + "\r\n"}, {kNames[1], HeaderOf('T', digit)}, {kNames[2], text + kNul}};
}

// The files of the name, of those there.
Files Named(const Files& disk)
{
    Files named;
    for (const std::string& name : kNames)
        if (disk.count(name))
            named[name] = disk.at(name);
    return named;
}

// What F8 would take as the set of the name on that disk.
bool Accepted(const Files& disk)
{
    FakeFileSystem fs;
    fs.Files = disk;
    return Named(disk).size() == 3 && CheckWholeSet(fs, kNames[1], kNames[2]).Fault == SetFault::None;
}

bool Told(const Files& disk)
{
    FakeFileSystem fs;
    fs.Files = disk;
    return ReplaceInterrupted(fs, kNames[0]);
}

}  // namespace

// A power cut after any step of the replace, with any of the name changes not yet
// stored reaching the disk or not: under the name the old set, the new one, or
// nothing F8 takes and a mix the next use of the name is told of. A whole replace
// leaves the new set and nothing beside it.
TEST(SetCommit, APowerCutAtAnyStepLeavesOneWholeSetOrIsTold)
{
    const Files before = SetOf("old", '0'), after = SetOf("new", '1');
    for (bool stored : {true, false})
        for (long cut = 0;; ++cut) {
            FakeFileSystem fs;
            if (stored)
                fs.Files = before;
            for (const auto& [name, data] : after) {  // as a reception writes them
                ASSERT_TRUE(fs.CreateEmpty(AsidePath(name)));
                ASSERT_TRUE(fs.OpenWrite(AsidePath(name))->Write(data.data(), data.size()));
            }
            fs.CutAfter = static_cast<long>(fs.Log.size()) + cut;
            std::string why;
            bool done = false;
            try {
                done = CommitSet(fs, kNames[0], why);
            } catch (const FakeFileSystem::PowerCutNow&) {
            }
            for (unsigned long reached = 0; reached < (1ul << fs.Pending.size()); ++reached) {
                const Files disk = fs.PowerCut(reached);
                const Files named = Named(disk);
                const bool whole = named == before || named == after || (!stored && named.empty());
                ASSERT_TRUE(whole || (!Accepted(disk) && Told(disk))) << cut << " " << reached;
                ASSERT_TRUE(!Accepted(disk) || whole) << cut << " " << reached;
            }
            if (done) {
                EXPECT_EQ(fs.Files, after) << why;
                break;
            }
            ASSERT_LT(cut, 40) << "the replace never ends";
        }
}
