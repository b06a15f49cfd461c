// Paths that name a directory (or anything but a regular file) where a file
// is read (20011), and outputs that cannot be created (20014): clear codes,
// no allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "base/result_codes.h"
#include "base/whole_file.h"
#include "base/archive_cipher.h"
#include "pkg_test_files.h"
#include "support/inprocess_fixture.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScratchDir;

// A project record with one member of the given name and entry type.
Bytes recordOf(const std::string& name, uint8_t type) {
    Bytes r(64 + 36, 0);
    std::memcpy(r.data(), "NPJ\0" "1.0", 8);
    putU16(r.data() + 12, 1);
    std::memcpy(r.data() + 64, name.data(), name.size());
    r[64 + 26] = type;
    r[64 + 27] = 255;
    return r;
}

class FileKinds : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }
    ScratchDir dir{"file_kinds"};
};

TEST_F(FileKinds, DirectoryWhereAFileIsReadGivesFileError) {
    const std::string sub = dir.path("folder");
    std::filesystem::create_directories(sub);
    ByteBuffer content;
    EXPECT_EQ(readWholeFile(sub.c_str(), &content), rc::fileError);
    EXPECT_EQ(content.data(), nullptr);
#ifndef _WIN32
    // A device is no file either (/dev/null is a path only on POSIX systems).
    EXPECT_EQ(readWholeFile("/dev/null", &content), rc::fileError);
#endif

    int32_t type = 0;
    EXPECT_EQ(TVX_GetNlibFileType(sub.c_str(), &type), rc::fileError);
    EXPECT_EQ(TVX_MakeNlib(sub.c_str(), dir.path("o.nlb").c_str()), rc::fileError);
    char text[64];
    EXPECT_EQ(TVX_GetNlibGlobalDefine(sub.c_str(), text, sizeof text), rc::fileError);

    // Archive members of every checked kind, each a directory.
    struct Member {
        const char* name;
        uint8_t type;
    };
    for (const Member m : {Member{"D.BAS", 1}, Member{"D.NLB", 2}, Member{"D.BMP", 21}, Member{"D.TXT", 255}}) {
        std::filesystem::create_directories(dir.path(m.name));
        Bytes record = recordOf(m.name, m.type);
        EXPECT_EQ(TVX_MakeNar2(record.data(), dir.dir().c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::fileError)
            << m.name;
    }

    testing::InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    EXPECT_EQ(TVX_DownFile(c.handle, sub.c_str(), "F"), rc::fileError);
    EXPECT_EQ(TVX_DownNar(c.handle, sub.c_str(), "F"), rc::fileError);
    EXPECT_EQ(TVX_DownNarToRamAndRun(c.handle, sub.c_str()), rc::fileError);
    // A missing file keeps its own code.
    EXPECT_EQ(TVX_DownFile(c.handle, dir.path("none").c_str(), "F"), rc::fileNotFound);
}

// An output that cannot be created gives 20014, as a missing input does; a
// directory named as the output is one of them.
TEST_F(FileKinds, OutputThatCannotBeCreatedGivesFileNotFound) {
    const std::string source = dir.write("l.bas", std::string("A=1\n"));
    Bytes record = recordOf("l.bas", 1);
    testing::InProcessController c(Framing::rtu);
    ASSERT_EQ(c.open(), 0);
    const uint8_t byte = 1;
    ASSERT_EQ(TVX_DownMemFile(c.handle, &byte, 1, "F"), 0);
    for (const std::string& output : {dir.path("no/such/folder/out.bin"), dir.dir()}) {
        EXPECT_EQ(TVX_MakeNlib(source.c_str(), output.c_str()), rc::fileNotFound) << output;
        EXPECT_EQ(TVX_MakeNar2(record.data(), dir.dir().c_str(), output.c_str(), nullptr, 0), rc::fileNotFound)
            << output;
        EXPECT_EQ(TVX_UpFile(c.handle, output.c_str(), "F"), rc::fileNotFound) << output;
    }
}

}  // namespace
}  // namespace tvx
