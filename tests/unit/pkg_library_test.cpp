// Library files: making them, their kind, and their global declarations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "packaging/library_file.h"
#include "packaging/source_hashes.h"
#include "pkg_test_files.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScratchDir;

class LibraryFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }

    // Deciphers a library file image.
    static Bytes plain(Bytes image) {
        for (size_t at = 0; at + 32 <= image.size(); at += 32) decipherBlock(image.data() + at);
        return image;
    }
    std::string globals(const std::string& lib, uint32_t size = 256) {
        std::string out(size, '\x7E');
        EXPECT_EQ(TVX_GetNlibGlobalDefine(lib.c_str(), out.data(), size), rc::ok);
        return out.substr(0, std::strlen(out.c_str()));
    }
    ScratchDir dir{"library"};
};

TEST_F(LibraryFileTest, BasicLibraryLengthFollowsTheCompactedText) {
    // 16 compacted bytes fill one block exactly; 17 need a second one.
    for (auto [source, fileBytes] : {std::pair{"A=1 'note\r\nB=22  \r\n  C=33\n", 32u},
                                     std::pair{"A=1\nB=22\nC=33333\n", 64u}}) {
        const std::string src = dir.write("lib.bas", std::string(source));
        const std::string lib = dir.path("lib.nlb");
        ASSERT_EQ(TVX_MakeNlib(src.c_str(), lib.c_str()), rc::ok);
        const Bytes p = plain(dir.read("lib.nlb"));
        ASSERT_EQ(p.size(), fileBytes) << source;
        EXPECT_EQ(std::memcmp(p.data(), "NLB", 4), 0);
        const uint32_t length = getU32(p.data() + 4);
        EXPECT_EQ(length, fileBytes == 32 ? 16u : 17u);
        EXPECT_EQ(getU32(p.data() + 8), sourceHash(p.data() + 16, length));
        EXPECT_EQ(getU32(p.data() + 12), 0u);
        int32_t type = 0;
        EXPECT_EQ(TVX_GetNlibFileType(lib.c_str(), &type), rc::ok);
        EXPECT_EQ(type, 2);
        // With no padding there is no zero after the text in the file:
        // reading the globals must still stop at the end.
        EXPECT_EQ(globals(lib), "");
    }
}

TEST_F(LibraryFileTest, PlcLibraryCarriesTheSectionAndItsLabels) {
    Bytes section;
    testing::appendNumberedLabel(section, 7);
    testing::appendNamedLabel(section, "HOME");
    section.push_back(0);  // ends the walk: not a record class
    const std::string plc = dir.write("prog.plc", testing::makePlcFile(section));
    const std::string lib = dir.path("prog.nlb");
    ASSERT_EQ(TVX_MakeNlib(plc.c_str(), lib.c_str()), rc::ok);
    const Bytes p = plain(dir.read("prog.nlb"));
    EXPECT_EQ(std::memcmp(p.data(), "PLB", 4), 0);
    EXPECT_EQ(getU32(p.data() + 4), section.size() + 1);
    EXPECT_EQ(getU32(p.data() + 8), stringHash(section.data(), section.size()));
    int32_t type = 0;
    EXPECT_EQ(TVX_GetNlibFileType(lib.c_str(), &type), rc::ok);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(globals(lib), "LBL L7\r\nLBL @HOME\r\n");
    EXPECT_EQ(globals(lib, 10), "LBL L7\r\nL");  // cut, terminated
}

TEST_F(LibraryFileTest, GlobalLinesAreTheOnesWhoseFirstWordIsGlobal) {
    const std::string src = dir.write("g.bas",
                                      std::string("  GLOBAL a\r\n"
                                                  "dim x\n"
                                                  "global\n"
                                                  "\tGlobal  b, c ' comment\n"
                                                  "globals d\n"
                                                  "gLoBaL e"));
    const std::string lib = dir.path("g.nlb");
    ASSERT_EQ(TVX_MakeNlib(src.c_str(), lib.c_str()), rc::ok);
    EXPECT_EQ(globals(lib), "GLOBAL a\nGlobal b, c \ngLoBaL e");
    char untouched = '#';
    EXPECT_EQ(TVX_GetNlibGlobalDefine(lib.c_str(), &untouched, 0), rc::ok);
    EXPECT_EQ(untouched, '#');
}

// Hostile label records: lengths past the end, a name without its zero,
// a zero length. The walk stops or skips without reading outside.
TEST_F(LibraryFileTest, LabelWalkStaysInsideTheContent) {
    Bytes section;
    testing::appendNumberedLabel(section, 1);
    Bytes unterminated(16, 'N');
    unterminated[0] = 17;
    unterminated[1] = 28;
    putU16(unterminated.data() + 2, 16);
    unterminated[9] = 50;
    section.insert(section.end(), unterminated.begin(), unterminated.end());
    Bytes overlong(16, 0);
    overlong[0] = 17;
    overlong[1] = 28;
    putU16(overlong.data() + 2, 0xFFFF);
    overlong[9] = 11;
    section.insert(section.end(), overlong.begin(), overlong.end());
    const std::string plc = dir.write("bad.plc", testing::makePlcFile(section));
    const std::string lib = dir.path("bad.nlb");
    ASSERT_EQ(TVX_MakeNlib(plc.c_str(), lib.c_str()), rc::ok);
    EXPECT_EQ(globals(lib), "LBL L1\r\n");
}

TEST_F(LibraryFileTest, RefusesFilesThatAreNotLibraries) {
    int32_t type = -1;
    char text[8];
    const std::string odd = dir.write("odd.nlb", Bytes(48, 1));  // not a multiple of 32
    EXPECT_EQ(TVX_GetNlibFileType(odd.c_str(), &type), rc::libraryFile);
    EXPECT_EQ(TVX_GetNlibGlobalDefine(odd.c_str(), text, sizeof text), rc::libraryFile);
    const std::string junk = dir.write("junk.nlb", Bytes(64, 1));  // no library magic
    EXPECT_EQ(TVX_GetNlibFileType(junk.c_str(), &type), rc::libraryFile);
    EXPECT_EQ(TVX_GetNlibGlobalDefine(junk.c_str(), text, sizeof text), rc::libraryFile);
    EXPECT_EQ(type, -1);
    const std::string missing = dir.path("missing.nlb");
    EXPECT_EQ(TVX_GetNlibFileType(missing.c_str(), &type), rc::fileNotFound);
    EXPECT_EQ(TVX_GetNlibGlobalDefine(missing.c_str(), nullptr, 4), rc::badArgument);
    const std::string txt = dir.write("src.txt", std::string("x"));
    EXPECT_EQ(TVX_MakeNlib(txt.c_str(), dir.path("x.nlb").c_str()), rc::fileError);
    EXPECT_EQ(TVX_MakeNlib(dir.path("none.bas").c_str(), dir.path("x.nlb").c_str()), rc::fileNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.path("x.nlb")));
}

}  // namespace
}  // namespace tvx
