// Profile files through ProfileFile. The same cases run on the POSIX
// implementation and, in the Windows build under Wine, on the system's
// profile functions: both must give the same answers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "packaging/profile_file.h"
#include "pkg_test_files.h"

namespace tvx {
namespace {

using testing::ScratchDir;

std::string text(const ProfileText& t) { return t.data() ? std::string(reinterpret_cast<const char*>(t.data()), t.size()) : ""; }

// A zero-separated list as texts joined by '|'.
std::string list(const ProfileText& t) {
    std::string out;
    const char* p = reinterpret_cast<const char*>(t.data());
    const char* end = p + t.size();
    for (; p && p < end && *p; p += std::strlen(p) + 1) out += (out.empty() ? "" : "|") + std::string(p);
    return out;
}

constexpr const char* kSample =
    "; a comment line\r\n"
    "[Main]\r\n"
    "Name = First Value \r\n"
    "Empty=\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Count=42\r\n"
    "Hex=1f\r\n"
    "Block=01AB\r\n"
    "BadBlock=01AG\r\n"
    "Yes=yEs\r\n"
    "Zero=0\r\n"
    "Two=2\r\n"
    "Words=a, b ,c\r\n"
    "\r\n"
    "[Other]\r\n"
    "Key=other\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* defaultValue;
    const char* expected;
};

TEST(ProfileFileTest, ReadsValuesAsTheSystemProfileFunctionsDo) {
    ScratchDir d("profile");
    ProfileFile p(d.write("sample.ini", std::string(kSample)).c_str());
    const ReadCase cases[] = {
        {"Main", "Name", "x", "First Value"},     // blanks around the value dropped
        {"MAIN", "name", "x", "First Value"},     // names without regard to case
        {"Main", "Empty", "x", ""},               // an empty value is a value
        {"Main", "Missing", "dflt", "dflt"},      // absent key: the default
        {"Main", "Missing", "dflt  ", "dflt"},    // ... without its trailing blanks
        {"Nowhere", "Name", "d", "d"},            // absent section
        {"Main", "Quoted", "", "  spaced  "},     // matching quotes removed
        {"Other", "Key", "", "other"},
    };
    for (const ReadCase& c : cases)
        EXPECT_EQ(text(p.getString(c.section, c.key, c.defaultValue)), c.expected) << c.section << "/" << c.key;

    EXPECT_TRUE(p.keyExists("Main", "Empty"));
    EXPECT_FALSE(p.keyExists("Main", "Missing"));
    EXPECT_TRUE(p.sectionExists("other"));
    EXPECT_FALSE(p.sectionExists("Oth"));
    EXPECT_EQ(list(p.sectionNames()), "Main|Other");
    EXPECT_EQ(list(p.keyNames("Other")), "Key");
    EXPECT_EQ(list(p.keyLines("Other")), "Key=other");
}

TEST(ProfileFileTest, ConvertsNumbersBooleansAndBlocks) {
    ScratchDir d("profile");
    ProfileFile p(d.write("sample.ini", std::string(kSample)).c_str());
    EXPECT_EQ(p.getInt("Main", "Count", -1), 42);
    EXPECT_EQ(p.getInt("Main", "Hex", -1, 16), 31);
    EXPECT_EQ(p.getInt("Main", "Empty", -7), -7);
    EXPECT_EQ(p.getUnsigned("Main", "Missing", 9), 9u);
    EXPECT_TRUE(p.getBool("Main", "Yes", false));
    EXPECT_FALSE(p.getBool("Main", "Zero", true));
    EXPECT_TRUE(p.getBool("Main", "Two", false));
    EXPECT_TRUE(p.getBool("Main", "Empty", true));
    EXPECT_EQ(p.getChar("Main", "Name", '?'), 'F');

    uint8_t block[4] = {};
    EXPECT_EQ(p.getData("Main", "Block", block, sizeof block, 0), 2u);
    EXPECT_EQ(block[0], 0x01);
    EXPECT_EQ(block[1], 0xAB);
    EXPECT_EQ(p.getData("Main", "Block", block, sizeof block, 1), 1u);
    EXPECT_EQ(block[0], 0xAB);
    EXPECT_EQ(p.getData("Main", "Block", block, sizeof block, 5), 0u);  // offset past the block
    EXPECT_EQ(p.getData("Main", "BadBlock", block, sizeof block, 0), 0u);

    char pieces[16];
    EXPECT_EQ(p.getArray("Main", "Words", pieces, sizeof pieces, nullptr, true), 3u);
    EXPECT_EQ(std::memcmp(pieces, "a\0b\0c\0\0", 7), 0);
    // Cut to the room: every piece and the list end stay inside the buffer.
    char small[5];
    std::memset(small, 0x7E, sizeof small);
    p.getArray("Main", "Words", small, 4, nullptr, true);
    EXPECT_EQ(std::memcmp(small, "a\0\0\0\x7E", 5), 0);
}

TEST(ProfileFileTest, ReadsValuesLongerThanTheFirstBuffer) {
    ScratchDir d("profile");
    for (size_t length : {511u, 512u, 1500u}) {
        const std::string value(length, 'v');
        ProfileFile p(d.write("long.ini", "[S]\nK=" + value + "\n").c_str());
        EXPECT_EQ(text(p.getString("S", "K", "")), value) << length;
        char buffer[8];
        EXPECT_EQ(p.getString("S", "K", buffer, sizeof buffer, ""), length);
        EXPECT_STREQ(buffer, "vvvvvvv");
    }
}

TEST(ProfileFileTest, BufferReadsNeverWriteOutsideTheBuffer) {
    ScratchDir d("profile");
    ProfileFile p(d.write("sample.ini", std::string(kSample)).c_str());
    char guard[3] = {'#', '#', '#'};
    EXPECT_EQ(p.getString("Main", "Count", guard + 1, 0, ""), 2u);  // size 0 writes nothing
    EXPECT_EQ(std::string(guard, 3), "###");
    EXPECT_EQ(p.getString("Main", "Count", guard + 1, 1, ""), 2u);
    EXPECT_EQ(std::string(guard, 3), std::string("#\0#", 3));
    char none[1] = {'#'};
    EXPECT_EQ(p.getArray("Main", "Words", none, 0, nullptr, false), 0u);
    EXPECT_EQ(none[0], '#');
}

TEST(ProfileFileTest, WritesAndReadsBackEveryKind) {
    ScratchDir d("profile");
    ProfileFile p(d.path("written.ini").c_str());
    EXPECT_TRUE(p.writeString("W", "S", "text"));
    EXPECT_TRUE(p.appendString("W", "S", "+more"));
    EXPECT_TRUE(p.writeString("W", "Null", nullptr));
    EXPECT_TRUE(p.writeInt("W", "Bin", 5, 2));
    EXPECT_TRUE(p.writeInt("W", "ZeroBin", 0, 2));
    EXPECT_TRUE(p.writeInt("W", "Hex", 255, 16));
    EXPECT_TRUE(p.writeInt("W", "Oct", 8, 8));
    EXPECT_TRUE(p.writeInt("W", "Neg", -12));
    EXPECT_TRUE(p.writeUnsigned("W", "U", 4000000000u));
    EXPECT_TRUE(p.writeBool("W", "B", true));
    EXPECT_TRUE(p.invertBool("W", "B"));
    EXPECT_TRUE(p.writeDouble("W", "D", 2.5, 2));
    EXPECT_TRUE(p.writeDouble("W", "Wide", 1.0, 100000));  // precision far past any buffer
    EXPECT_TRUE(p.writeChar("W", "C", 'z'));
    const uint8_t bytes[] = {0x01, 0xAB};
    EXPECT_TRUE(p.writeData("W", "Data", bytes, sizeof bytes));
    EXPECT_TRUE(p.appendData("W", "Data", bytes, 1));
    const char* words[] = {"x", "y", "z", nullptr};
    EXPECT_TRUE(p.writeArray("W", "Arr", words, 2, ";"));
    EXPECT_TRUE(p.increaseInt("W", "Counter", 3));
    EXPECT_TRUE(p.increaseInt("W", "Counter", 4));
    EXPECT_TRUE(p.increaseDouble("W", "D", 0.25, 2));

    EXPECT_EQ(text(p.getString("W", "S", "")), "text+more");
    EXPECT_TRUE(p.keyExists("W", "Null"));
    EXPECT_EQ(text(p.getString("W", "Bin", "")), "101");
    EXPECT_EQ(text(p.getString("W", "ZeroBin", "")), "0");
    EXPECT_EQ(text(p.getString("W", "Hex", "")), "FF");
    EXPECT_EQ(text(p.getString("W", "Oct", "")), "10");
    EXPECT_EQ(p.getInt("W", "Neg", 0), -12);
    EXPECT_EQ(text(p.getString("W", "U", "")), "4000000000");
    EXPECT_EQ(text(p.getString("W", "B", "")), "0");
    EXPECT_EQ(text(p.getString("W", "D", "")), "2.75");
    EXPECT_EQ(text(p.getString("W", "Wide", "")).substr(0, 4), "1.00");
    EXPECT_EQ(text(p.getString("W", "C", "")), "z");
    EXPECT_EQ(text(p.getString("W", "Data", "")), "01AB01");
    EXPECT_EQ(text(p.getString("W", "Arr", "")), "x;y");
    EXPECT_EQ(p.getInt("W", "Counter", 0), 7);
}

TEST(ProfileFileTest, WritesKeepTheRestOfTheFile) {
    ScratchDir d("profile");
    const std::string path = d.write("keep.ini", std::string(kSample));
    ProfileFile p(path.c_str());
    EXPECT_TRUE(p.writeString("main", "COUNT", "43"));
    EXPECT_TRUE(p.writeString("Other", "New", "n"));
    EXPECT_TRUE(p.writeString("Fresh", "K", "v"));
    EXPECT_EQ(p.getInt("Main", "Count", 0), 43);
    EXPECT_EQ(text(p.getString("Main", "Name", "")), "First Value");
    EXPECT_EQ(text(p.getString("Other", "Key", "")), "other");
    EXPECT_EQ(text(p.getString("Other", "New", "")), "n");
    EXPECT_EQ(text(p.getString("Fresh", "K", "")), "v");
#ifndef _WIN32
    // The POSIX implementation changes only the affected line.
    const std::string after(reinterpret_cast<const char*>(d.read("keep.ini").data()), d.read("keep.ini").size());
    EXPECT_NE(after.find("; a comment line\r\n[Main]\r\nName = First Value \r\n"), std::string::npos);
    EXPECT_NE(after.find("Count=43\r\n"), std::string::npos);
    EXPECT_NE(after.find("Key=other\r\nNew=n\r\n"), std::string::npos);
#endif
}

TEST(ProfileFileTest, CopiesMovesAndDeletesSectionsAndKeys) {
    ScratchDir d("profile");
    ProfileFile p(d.write("ops.ini", std::string(kSample)).c_str());
    EXPECT_FALSE(p.copySection("Other", "OTHER", false));  // same name
    EXPECT_FALSE(p.copySection("Nope", "T", false));       // no source
    EXPECT_TRUE(p.copySection("Other", "Copy", true));
    EXPECT_FALSE(p.copySection("Main", "Copy", true));     // target exists
    EXPECT_EQ(text(p.getString("Copy", "Key", "")), "other");
    EXPECT_TRUE(p.moveSection("Copy", "Moved"));
    EXPECT_FALSE(p.sectionExists("Copy"));
    EXPECT_EQ(text(p.getString("Moved", "Key", "")), "other");

    EXPECT_TRUE(p.copyKey("Main", "Count", "Moved", "Count2", true));
    EXPECT_FALSE(p.copyKey("Main", "Name", "Moved", "Count2", true));
    EXPECT_TRUE(p.moveKey("Moved", "Count2", "Moved", "Count3"));
    EXPECT_FALSE(p.keyExists("Moved", "Count2"));
    EXPECT_EQ(p.getInt("Moved", "Count3", 0), 42);

    EXPECT_TRUE(p.deleteKey("Main", "Yes"));
    EXPECT_FALSE(p.keyExists("Main", "Yes"));
    EXPECT_TRUE(p.deleteSection("Moved"));
    EXPECT_EQ(list(p.sectionNames()), "Main|Other");
}

TEST(ProfileFileTest, AMissingFileReadsAsEmpty) {
    ScratchDir d("profile");
    ProfileFile p(d.path("absent.ini").c_str());
    EXPECT_EQ(p.getInt("Controller", "Files", 5), 5);
    EXPECT_EQ(list(p.sectionNames()), "");
    ProfileFile none;
    EXPECT_STREQ(none.path(), "");
    EXPECT_EQ(text(none.getString(nullptr, "k", "d")), "d");
}

}  // namespace
}  // namespace tvx
