// Project records from a program file and from a project text file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "packaging/project_record.h"
#include "pkg_test_files.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScratchDir;

class ProjectRecordTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }
    ScratchDir dir{"project"};
    Bytes record = Bytes(TVX_PROJECT_RECORD_MAX_BYTES + 64, 0xCC);
    char directory[TVX_PATH_BYTES] = {};

    std::string entryName(uint32_t i) const { return reinterpret_cast<const char*>(projectEntry(record.data(), i)); }
    uint8_t entryByte(uint32_t i, size_t field) const { return projectEntry(record.data(), i)[field]; }
};

TEST_F(ProjectRecordTest, OneFileRecordHoldsTheProgram) {
    const std::string path = dir.write("Main.BAS", std::string("print 1\n"));
    ASSERT_EQ(TVX_MakeOneFileNpj(record.data(), directory, path.c_str()), rc::ok);
    EXPECT_EQ(std::memcmp(record.data(), "NPJ\0" "1.0\0", 8), 0);
    EXPECT_EQ(getU16(record.data() + 12), 1u);
    EXPECT_EQ(record[14], 0);
    EXPECT_EQ(record[15], record[17]);  // the hour, twice
    EXPECT_GE(getU16(record.data() + 20), 2024u);
    EXPECT_GE(record[18], 1);
    EXPECT_LE(record[18], 12);
    EXPECT_EQ(getU32(record.data() + 24), 0u);
    EXPECT_EQ(record[40], 0xCC);  // reserved bytes are not written
    EXPECT_EQ(entryName(0), "Main.BAS");
    EXPECT_EQ(entryByte(0, 26), 1);
    EXPECT_EQ(entryByte(0, 27), 0);
    EXPECT_EQ(getU32(projectEntry(record.data(), 0) + 28), 0u);
    EXPECT_EQ(std::string(directory), dir.dir());
}

TEST_F(ProjectRecordTest, OneFileRecordChecksNameAndExtension) {
    struct Case {
        std::string name;
        int32_t expected;
    };
    const Case cases[] = {
        {std::string(21, 'a') + ".plc", rc::ok},           // 25 characters
        {std::string(22, 'a') + ".plc", rc::nameTooLong},  // 26
        {"prog.txt", rc::fileError},
    };
    for (const Case& c : cases) {
        const std::string path = dir.path(c.name);
        EXPECT_EQ(TVX_MakeOneFileNpj(record.data(), nullptr, path.c_str()), c.expected) << c.name;
    }
    EXPECT_EQ(entryByte(0, 26), 4);
    EXPECT_EQ(TVX_MakeOneFileNpj(nullptr, nullptr, "a.bas"), rc::badArgument);
    EXPECT_EQ(TVX_MakeOneFileNpj(record.data(), nullptr, ""), rc::badArgument);
    // A directory that would not fit the caller's 260 bytes is refused before any write.
    const std::string deep = std::string(300, 'd') + "/x.bas";
    std::memset(directory, '#', sizeof directory);
    EXPECT_EQ(TVX_MakeOneFileNpj(record.data(), directory, deep.c_str()), rc::nameTooLong);
    EXPECT_EQ(directory[0], '#');
}

TEST_F(ProjectRecordTest, MultiFileRecordTypesEveryEntryFromItsExtension) {
    dir.write("lib.bas", std::string("global x\n"));
    ASSERT_EQ(TVX_MakeNlib(dir.path("lib.bas").c_str(), dir.path("good.nlb").c_str()), rc::ok);
    dir.write("bad.nlb", Bytes(64, 9));
    const std::string npj = dir.write("demo.npj",
                                      std::string("[Controller]\nFiles=9\n[FileList]\n"
                                                  "File1=main.bas\nAutoRun1=0\n"
                                                  "File2=good.nlb\nAutoRun2=-1\n"
                                                  "File3=bad.nlb\n"
                                                  "File4=PIC.JPEG\nFileType4=1\nAutoRun4=3\n"
                                                  "File5=noextension\n"
                                                  "File6=part.G\n"
                                                  "File7=\nAutoRun7=2\n"
                                                  "File8=" + std::string(25, 'n') + "\n"
                                                  "File9=font.nft\nAutoRun9=300\n"));
    ASSERT_EQ(TVX_MakeMultiFileNpj(record.data(), directory, npj.c_str()), rc::ok);
    EXPECT_EQ(getU16(record.data() + 12), 9u);
    const struct {
        const char* name;
        uint8_t type;
        uint8_t autoRun;
    } expected[] = {{"main.bas", 1, 0},  {"good.nlb", 2, 255},  {"bad.nlb", 2, 255},
                    {"PIC.JPEG", 22, 3}, {"noextension", 255, 255}, {"part.G", 7, 255},
                    {"", 255, 2},        {"nnnnnnnnnnnnnnnnnnnnnnnnn", 255, 255}, {"font.nft", 40, 44}};
    for (uint32_t i = 0; i < 9; ++i) {
        EXPECT_EQ(entryName(i), expected[i].name) << i;
        EXPECT_EQ(entryByte(i, 26), expected[i].type) << i;
        EXPECT_EQ(entryByte(i, 27), expected[i].autoRun) << i;
        EXPECT_EQ(getU32(projectEntry(record.data(), i) + 28), 0u);
        EXPECT_EQ(getU32(projectEntry(record.data(), i) + 32), 0u);
    }
}

TEST_F(ProjectRecordTest, MultiFileCountIsClampedAndNamesAreChecked) {
    struct Case {
        const char* files;
        uint16_t count;
    };
    for (const Case& c : {Case{"1500", 1000}, Case{"-4", 0}, Case{"x", 0}, Case{"99999999999", 1000}}) {
        const std::string npj = dir.write("count.npj", std::string("[Controller]\nFiles=") + c.files + "\n");
        ASSERT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, npj.c_str()), rc::ok) << c.files;
        EXPECT_EQ(getU16(record.data() + 12), c.count) << c.files;
    }
    EXPECT_EQ(record[TVX_PROJECT_RECORD_MAX_BYTES], 0xCC);  // nothing past 1000 entries

    const std::string longName = dir.write("long.npj", "[Controller]\nFiles=1\n[FileList]\nFile1=" +
                                                           std::string(26, 'n') + "\n");
    EXPECT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, longName.c_str()), rc::nameTooLong);

    ASSERT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, dir.path("absent.npj").c_str()), rc::ok);
    EXPECT_EQ(getU16(record.data() + 12), 0u);
    EXPECT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, dir.path("p.ini").c_str()), rc::fileError);
    EXPECT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, dir.path(std::string(23, 'p') + ".npj").c_str()),
              rc::nameTooLong);
}

}  // namespace
}  // namespace tvx
