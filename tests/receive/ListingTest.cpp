#include <gtest/gtest.h>

#include <tuple>

#include "receive/Listing.h"
#include "tests/fakes/FakeFileSystem.h"

namespace {

std::string Listing(const std::string& src, int32_t deviceClass, int32_t marks = 1)
{
    FakeFileSystem fs;
    fs.Files["a.src"] = src;
    fs.Files["a.TXT"] = "";
    EXPECT_TRUE(WriteListing(fs, "a.src", "a.TXT", deviceClass, marks));
    return fs.Files["a.TXT"];
}

std::string Group(char p, int v)
{
    return std::string{p, static_cast<char>(0x30 + (v >> 4)), static_cast<char>(0x30 + (v & 15))};
}

}  // namespace

// The item numbers, which kinds each class lists, and the high bytes marked with
// '#' until the first 0xFF.
TEST(Listing, IndexRulesKindTwoLinesAndHighBytes)
{
    const std::tuple<std::string, int32_t, std::string> cases[] = {
        {std::string("a\x01" "b\x01" "c\x02" "d\x02" "e\x03", 10), 7,
         "NUM 1000 a\r\nNUM 1001 b\r\nNUM 2000 c\r\nNUM 2001 d\r\nNUM 3000 e\r\n"},
        {std::string("a\x01" "c\x02" "d\x02" "e\x03", 8), 6, "NUM 1000 a\r\nNUM 3000 e\r\n"},
        {std::string("a\x01" "e\x03", 4), 7, "NUM 1000 a\r\nNUM 3001 e\r\n"},
        {"", 7, ""},
        {std::string("c\x02", 2), 1, "NUM 2000 c\r\n"},                // class 1 lists kind 2 too
        {std::string("x\r\ny\x04" "\x01", 6), 0, "NUM 1001 \r\n"},    // kind 1 never resets
        {std::string("a\x05" "b\x01", 4), 7, "NUM 1000 ab\r\n"},      // only 1..4 close a record
        {std::string("\xC1\x01\xFF\xC1\x01", 5), 6, "NUM 1000 #A\r\nNUM 5001 \r\nNUM 1002 \xC1\r\n"},
        {std::string("a\x80" "b\x01", 4), 6, "NUM 1000 a#b\r\n"},
        {std::string("a\x04\xFF" "y\x01", 5), 6, "NUM 5001 \r\nNUM 1001 y\r\n"},  // numbered anew
        {std::string("a\x82", 2), 7, "NUM 2000 a#\x02\r\n"}};
    for (const auto& [text, deviceClass, listing] : cases)
        EXPECT_EQ(Listing(text + '\0', deviceClass), listing) << testing::PrintToString(text);
}

// Past 64 KiB of source and of listing: read and written in blocks, nothing twice
// or lost at their seams, item numbers growing past three digits.
TEST(Listing, ALargeSetWholeAndItemNumbersPastNineHundredNinetyNine)
{
    std::string src, expected;
    for (int i = 0; i < 8000; ++i) {
        const std::string text = "rec" + std::to_string(i * 7);
        src += text + "\x01";
        expected += "NUM 1" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i) + " " + text + "\r\n";
    }
    ASSERT_GT(src.size(), 64u * 1024);
    EXPECT_EQ(Listing(src + '\0', 6), expected);
}

TEST(Listing, SecondSectionGroupsOnTwoLines)
{
    std::string block;
    for (int g = 0; g < 22; ++g)
        block += Group(g < 11 ? 'A' : ' ', g == 0 ? 0 : g == 1 ? 45 : g == 2 ? 999 : 1000 + g);
    EXPECT_EQ(Listing(std::string("t\x04", 2) + '\0' + block + "\xFF", 7),
              "NUM 5001 A000 A045 A999 A1003 A1004 A1005 A1006 A1007 A1008 A1009 A1010\r\n"
              "          1011  1012  1013  1014  1015  1016  1017  1018  1019  1020  1021\r\n");
    // The high character's row adds 256, 512 or 768; on each row's first and last
    // (unmarked: 0x80 is only a row's neighbour once the marks have ended).
    std::string rows;
    for (uint8_t h : {0x3F, 0x40, 0x4F, 0x50, 0x5F, 0x60, 0x6F, 0x70, 0x7F, 0x80})
        rows += {'P', static_cast<char>(h), '5'};
    EXPECT_EQ(Listing(std::string(1, '\0') + rows + "\xFF", 7, 0),
              "NUM 5001 P245 P261 P501 P517 P757 P773 P1013 P261 P501 P005\r\n");
    // A 0x00 ends the listing for classes without the block.
    EXPECT_EQ(Listing(std::string("t\x01", 2) + '\0' + block + "\xFF", 6), "NUM 1000 t\r\n");
}

// No source, no listing to write to, or neither; a listing that cannot be written,
// or is the source itself.
TEST(Listing, UnreadableFilesAreReported)
{
    FakeFileSystem fs;
    int32_t marks = 1;
    EXPECT_FALSE(WriteListing(fs, "a.src", "a.TXT", 7, marks));
    fs.Files["a.TXT"] = "";
    EXPECT_FALSE(WriteListing(fs, "a.src", "a.TXT", 7, marks));
    fs.Files["a.src"] = std::string("x\x01", 2);
    EXPECT_FALSE(WriteListing(fs, "a.src", "a.src", 7, marks));  // the source under its own name
    for (auto* fault : {&fs.FailOpen, &fs.FailWrite}) {
        fault->insert("a.TXT");
        EXPECT_FALSE(WriteListing(fs, "a.src", "a.TXT", 7, marks));
    }
}
