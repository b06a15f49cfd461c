// String hash, source hash and BASIC text compaction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packaging/source_hashes.h"
#include "tavrix.h"

namespace tvx {
namespace {

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string compacted(std::string text) {
    const size_t n = compactBasicText(reinterpret_cast<uint8_t*>(text.data()), text.size());
    EXPECT_TRUE(n == text.size() || text[n] == '\0');
    return text.substr(0, n);
}

TEST(StringHash, KnownValues) {
    EXPECT_EQ(stringHash(bytes("abc"), 3), 3014u);
    EXPECT_EQ(stringHash(nullptr, 0), 0u);
    const uint8_t ff = 0xFF;
    EXPECT_EQ(stringHash(&ff, 1), 0xFFFFFFFFu);
    const uint8_t pair[2] = {0x80, 0x01};  // -128 * 5 + 1
    EXPECT_EQ(stringHash(pair, 2), static_cast<uint32_t>(-639));

    int32_t h = 7;
    EXPECT_EQ(TVX_CalStringHash(bytes("abc"), 3, &h), 0);
    EXPECT_EQ(h, 3014);
    EXPECT_EQ(TVX_CalStringHash(&ff, 1, &h), 0);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(TVX_CalStringHash(nullptr, 0, &h), 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(TVX_CalStringHash(bytes("abc"), 3, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_CalStringHash(nullptr, 5, &h), TVX_ERR_BAD_ARGUMENT);
}

TEST(CompactBasicText, Cases) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  MOVE   X ,  10   ' go there\r\nEND\r\n", "MOVE X , 10 \nEND\n"},
        // A closing quote counts as a separator: the blanks after it go.
        {"\tPRINT \"a  'b\"  'c\n", "PRINT \"a  'b\"\n"},
        {"A=1'x\nB=2", "A=1\nB=2"},
        {"PRINT \"x\"\"y\"  Z", "PRINT \"x\"\"y\"Z"},
        {"", ""},
        {"   \r\n\t\t\n", "\n\n"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(compacted(in), out) << in;
}

TEST(CompactBasicText, StopsAtZeroAndTerminates) {
    std::string text("A  B\0C  D", 9);
    const size_t n = compactBasicText(reinterpret_cast<uint8_t*>(text.data()), text.size());
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(text.substr(0, 4), std::string("A B\0", 4));
}

TEST(SourceHash, IgnoresWhatCompactionRemoves) {
    const std::string base = "MOVE X 10\nPRINT \"a  b\"\n";
    const uint32_t h = sourceHash(bytes(base), base.size());
    const std::vector<std::string> same = {
        "MOVE X 10\r\nPRINT \"a  b\"\r\n",          // CRs
        "MOVE    X 10\nPRINT   \"a  b\"\n",         // blank runs
        "   MOVE X 10\n\t PRINT \"a  b\"\n",        // leading blanks
        "MOVE\tX\t10\nPRINT\t\"a  b\"\n",           // tab for space
        "MOVE X 10'comment\nPRINT \"a  b\"'x\n",    // comments
    };
    for (const std::string& s : same) EXPECT_EQ(sourceHash(bytes(s), s.size()), h) << s;
    // It equals the string hash of the compacted text.
    const std::string c = compacted(same[4]);
    EXPECT_EQ(stringHash(bytes(c), c.size()), h);

    const std::vector<std::string> different = {
        "MOVE X 11\nPRINT \"a  b\"\n",
        "MOVE X 10\nPRINT \"a b\"\n",      // blanks inside quotes count
        "MOVE X 10\nPRINT \"a\tb \"\n",    // so does a tab inside quotes
        "MOVEX 10\nPRINT \"a  b\"\n",
    };
    for (const std::string& s : different) EXPECT_NE(sourceHash(bytes(s), s.size()), h) << s;
}

TEST(SourceHash, StopsAtZeroByte) {
    const std::string a("AB\0CD", 5);
    EXPECT_EQ(sourceHash(bytes(a), a.size()), sourceHash(bytes("AB"), 2));
}

}  // namespace
}  // namespace tvx
