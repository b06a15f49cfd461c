// Program-section extraction from compiled PLC program files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "packaging/plc_section.h"
#include "packaging/source_hashes.h"

namespace tvx {
namespace {

struct PlcLayout {
    uint32_t lengths[4] = {3, 0, 5, 1};
    uint32_t program = 10;
    uint16_t usable = 1;
    bool magic = true;
    size_t extraBytes = 0;  // bytes after the program section
};

// Builds a plain file for the layout, then encodes it as the PLC tools do:
// ByteMirror from offset 32 and the first block enciphered.
std::vector<uint8_t> makePlcFile(const PlcLayout& l, std::vector<uint8_t>* programOut = nullptr) {
    uint64_t body = 0;
    for (uint32_t len : l.lengths) body += len;
    std::vector<uint8_t> f(kPlcHeaderBytes + body + l.program + l.extraBytes);
    for (size_t i = kPlcHeaderBytes; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 7 + 1);
    if (l.magic) {
        f[0] = 'N';
        f[1] = 'P';
        f[2] = 'C';
    }
    putU16(f.data() + 26, l.usable);
    for (int i = 0; i < 4; ++i) putU32(f.data() + 36 + 4 * i, l.lengths[i]);
    putU32(f.data() + 52, l.program);
    if (programOut) programOut->assign(f.begin() + kPlcHeaderBytes + body, f.begin() + kPlcHeaderBytes + body + l.program);
    byteMirror(f.data() + 32, f.size() - 32);
    encipherBlock(f.data());
    return f;
}

class PlcSectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }
};

TEST_F(PlcSectionTest, ExtractsTheProgramSectionFromAFile) {
    std::vector<uint8_t> program;
    const std::vector<uint8_t> file = makePlcFile(PlcLayout{}, &program);
    const std::string path = ::testing::TempDir() + "tavrix_member.plc";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    PlcSection section;
    ASSERT_EQ(extractPlcSection(path.c_str(), &section), rc::ok);
    ASSERT_EQ(section.content.size(), program.size());
    EXPECT_EQ(std::vector<uint8_t>(section.content.data(), section.content.data() + section.content.size()), program);
    EXPECT_EQ(section.content.data()[program.size()], 0);
    EXPECT_EQ(section.hash, stringHash(program.data(), program.size()));
    std::remove(path.c_str());

    EXPECT_EQ(extractPlcSection((::testing::TempDir() + "no_such_file.plc").c_str(), &section), rc::fileNotFound);
}

TEST_F(PlcSectionTest, RefusesBadFiles) {
    struct Case {
        const char* name;
        PlcLayout layout;
        int32_t result;
    };
    const std::vector<Case> cases = {
        {"exact fit", PlcLayout{}, rc::ok},
        {"trailing bytes", PlcLayout{{3, 0, 5, 1}, 10, 1, true, 4}, rc::ok},
        {"empty program", PlcLayout{{0, 0, 0, 0}, 0, 1, true, 0}, rc::ok},
        {"wrong magic", PlcLayout{{3, 0, 5, 1}, 10, 1, false, 0}, rc::fileError},
        {"word 26 zero", PlcLayout{{3, 0, 5, 1}, 10, 0, true, 0}, rc::fileUnusable},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = makePlcFile(c.layout);
        PlcSection section;
        EXPECT_EQ(extractPlcSectionFromMemory(file.data(), file.size(), &section), c.result) << c.name;
    }
}

TEST_F(PlcSectionTest, SectionsOverrunningTheFile) {
    // Lengths written into an otherwise valid 100-byte file.
    struct Case {
        const char* name;
        uint32_t lengths[4];
        uint32_t program;
    };
    const std::vector<Case> cases = {
        {"one byte too long", {3, 0, 5, 1}, 24},
        {"section lengths wrap 32 bits", {0xFFFFFFFFu, 1, 0, 0}, 4},
        {"all four lengths huge", {0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u}, 8},
        {"program length wraps the start", {4, 0, 0, 0}, 0xFFFFFFF0u},
    };
    for (const Case& c : cases) {
        PlcLayout l;
        l.lengths[0] = 3;
        l.lengths[1] = 0;
        l.lengths[2] = 5;
        l.lengths[3] = 1;
        l.program = 23;  // 68 + 9 + 23 = 100 bytes
        std::vector<uint8_t> file = makePlcFile(l);
        ASSERT_EQ(file.size(), 100u);
        // Rewrite the lengths in the (decoded) header and encode it again.
        decipherBlock(file.data());
        byteMirror(file.data() + 32, file.size() - 32);
        for (int i = 0; i < 4; ++i) putU32(file.data() + 36 + 4 * i, c.lengths[i]);
        putU32(file.data() + 52, c.program);
        byteMirror(file.data() + 32, file.size() - 32);
        encipherBlock(file.data());
        PlcSection section;
        EXPECT_EQ(extractPlcSectionFromMemory(file.data(), file.size(), &section), rc::fileError) << c.name;
    }
}

TEST_F(PlcSectionTest, ShortFiles) {
    for (size_t size : {0u, 1u, 32u, 67u}) {
        std::vector<uint8_t> file(size + 1, 0);
        PlcSection section;
        EXPECT_EQ(extractPlcSectionFromMemory(file.data(), size, &section), rc::fileLength) << size;
    }
    // 68 bytes is enough for the header and an empty program.
    PlcLayout l;
    l.lengths[0] = l.lengths[2] = l.lengths[3] = 0;
    l.program = 0;
    std::vector<uint8_t> file = makePlcFile(l);
    ASSERT_EQ(file.size(), 68u);
    PlcSection section;
    EXPECT_EQ(extractPlcSectionFromMemory(file.data(), file.size(), &section), rc::ok);
    EXPECT_EQ(section.content.size(), 0u);
}

}  // namespace
}  // namespace tvx
