#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/three_file_service.h"
#include "link/handle.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"
#include "support/test_files.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;
using testing::randomBytes;

// A RAM part block as the library sends it.
struct PartBlock {
    uint16_t number;
    uint16_t length;
    uint16_t file;
    bool acknowledged;
};

class ThreeFiles : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    sim::ThreeFileService& store() { return *c.controller.service<sim::ThreeFileService>(); }
    // Records the data blocks of RAM parts and whether each waits for its answer.
    void recordParts() {
        c.dropRequest = [this](const Bytes& req) {
            const uint16_t number = getU16(req.data() + 6);
            if (testing::commandOf(req) == 138 && number != 0 && number != 0xFFFF)
                parts.push_back({number, getU16(req.data() + 8), getU16(req.data() + 10),
                                 fromApi(c.handle)->channel.waiting.load() != 0});
            return false;
        };
    }
    std::vector<uint16_t> acknowledged() const {
        std::vector<uint16_t> out;
        for (const PartBlock& b : parts)
            if (b.acknowledged) out.push_back(b.number);
        return out;
    }
    InProcessController c{GetParam()};
    std::vector<PartBlock> parts;
};

TEST_P(ThreeFiles, StoreRoundTripListingAndDeletion) {
    const Bytes a = randomBytes(5000, 1), b = randomBytes(17, 2);
    ASSERT_EQ(TVX_DownMem3File(c.handle, a.data(), static_cast<uint32_t>(a.size()), "A.BAS"), 0);
    const std::string local = testing::tempPath("3file.bin");
    testing::writeFile(local, b);
    ASSERT_EQ(TVX_Down3File(c.handle, local.c_str(), "B.BAS"), 0);
    EXPECT_EQ(store().files()["A.BAS"], a);
    EXPECT_EQ(store().files()["B.BAS"], b);

    Bytes back(6000);
    uint32_t got = 0;
    ASSERT_EQ(TVX_Up3FileToMem(c.handle, back.data(), static_cast<uint32_t>(back.size()), "A.BAS", &got), 0);
    back.resize(got);
    EXPECT_EQ(back, a);
    ASSERT_EQ(TVX_Up3File(c.handle, local.c_str(), "A.BAS"), 0);
    EXPECT_EQ(testing::readFile(local), a);
    std::remove(local.c_str());

    char name[2035];
    uint32_t size = 0;
    ASSERT_EQ(TVX_FindFirst3File(c.handle, name, &size), 0);
    EXPECT_STREQ(name, "A.BAS");
    EXPECT_EQ(size, 5000u);
    ASSERT_EQ(TVX_GetCur3File(c.handle, name, &size), 0);
    EXPECT_STREQ(name, "A.BAS");
    ASSERT_EQ(TVX_FindNext3File(c.handle, name, &size), 0);
    EXPECT_STREQ(name, "B.BAS");
    ASSERT_EQ(TVX_FindNext3File(c.handle, name, &size), 0);
    EXPECT_STREQ(name, "");

    EXPECT_EQ(TVX_Delete3File(c.handle, "A.BAS"), 0);
    EXPECT_EQ(store().files().count("A.BAS"), 0u);
    EXPECT_NE(TVX_Delete3File(c.handle, "A.BAS"), 0);
    EXPECT_EQ(TVX_RemoveAll3Files(c.handle), 0);
    EXPECT_TRUE(store().files().empty());
    EXPECT_EQ(TVX_Delete3File(c.handle, nullptr), TVX_ERR_BAD_ARGUMENT);
}

TEST_P(ThreeFiles, CheckReportsExistenceAndRefusesShortOrLongAnswers) {
    store().files()["P.BAS"] = Bytes(1234, 7);
    uint8_t exists = 9;
    uint32_t value = 77;
    ASSERT_EQ(TVX_Check3File(c.handle, "NONE.BAS", &exists, &value), 0);
    EXPECT_EQ(exists, 0);
    EXPECT_EQ(value, 77u);  // untouched
    ASSERT_EQ(TVX_Check3File(c.handle, "P.BAS", &exists, &value), 0);
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(value, 1234u);
    ASSERT_EQ(TVX_Check3File(c.handle, "P.BAS", &exists, nullptr), 0);
    EXPECT_EQ(testing::argumentsOf(c.requests.back()), Bytes({'P', '.', 'B', 'A', 'S'}));
    EXPECT_EQ(TVX_Check3File(c.handle, "P.BAS", nullptr, &value), TVX_ERR_BAD_ARGUMENT);

    for (size_t dataBytes : {size_t{0}, size_t{3}, size_t{5}}) {
        c.filter = testing::cutReply(130, 10 + dataBytes);
        exists = 9;
        value = 77;
        EXPECT_EQ(TVX_Check3File(c.handle, "P.BAS", &exists, &value), TVX_ERR_REPLY_LENGTH) << dataBytes;
        EXPECT_EQ(exists, 9) << dataBytes;
        EXPECT_EQ(value, 77u) << dataBytes;
    }
}

// The whole-file RAM download goes under the name cut to 127 characters,
// the byte 0x13 and the number.
TEST_P(ThreeFiles, RamNamesAreComposedFromNameAndNumber) {
    const Bytes data = randomBytes(3000, 3);
    ASSERT_EQ(TVX_DownMem3FileRam(c.handle, data.data(), 3000, "R", 5), 0);
    const std::string shortName = std::string("R") + '\x13' + "5";
    EXPECT_EQ(store().ramByName()[shortName], data);

    const std::string longName(200, 'L');
    ASSERT_EQ(TVX_DownMem3FileRam(c.handle, data.data(), 3000, longName.c_str(), -2147483647 - 1), 0);
    const std::string composed = std::string(127, 'L') + '\x13' + "-2147483648";
    EXPECT_EQ(store().ramByName()[composed], data);
    EXPECT_EQ(TVX_DownMem3FileRam(c.handle, data.data(), 3000, nullptr, 1), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_Down3FileRam(c.handle, "/nonexistent/file", "R", 1), TVX_ERR_FILE_NOT_FOUND);
}

// Begin, parts, end, then run from RAM; every part restarts at block 1.
TEST_P(ThreeFiles, RamPartsBuildAFileThatRuns) {
    const Bytes first = randomBytes(10000, 4), second = randomBytes(2500, 5);
    uint32_t out = 0;
    ASSERT_EQ(TVX_3FileRamDownBegin(c.handle, 7, 12500, "PROG", &out), 0);
    EXPECT_EQ(out, store().ramCapacity);
    const Bytes start = testing::argumentsOf(c.requests.back());
    ASSERT_EQ(start.size(), 10u + 5u);
    EXPECT_EQ(getU16(start.data() + 4), 7);
    EXPECT_EQ(getU32(start.data() + 6), 12500u);
    recordParts();
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 7, first.data(), 10000, &out), 0);
    EXPECT_EQ(out, store().ramCapacity - 10000);
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 7, second.data(), 2500, &out), 0);
    EXPECT_EQ(out, store().ramCapacity - 12500);
    EXPECT_EQ(TVX_GetProgress(c.handle), 0.0f);
    ASSERT_EQ(TVX_3FileRamDownEnd(c.handle, 7), 0);
    const Bytes end = testing::argumentsOf(c.requests.back());
    EXPECT_EQ(end, Bytes({0xFF, 0xFF, 0, 0, 7, 0}));

    Bytes whole = first;
    whole.insert(whole.end(), second.begin(), second.end());
    EXPECT_EQ(store().ramByNumber()[7].data, whole);
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts.front().number, 1);
    size_t restarts = 0;
    for (const PartBlock& b : parts) {
        restarts += b.number == 1;
        EXPECT_EQ(b.file, 7);
    }
    EXPECT_EQ(restarts, 2u);

    uint32_t space = 0;
    ASSERT_EQ(TVX_3FileRamGetRemainSpace(c.handle, 0, &space), 0);
    EXPECT_EQ(space, store().ramCapacity - 12500);
    ASSERT_EQ(TVX_Run3FileRam(c.handle, 7, 3), 0);
    EXPECT_EQ(c.model().tasks[3].state, sim::kRunRunning);
    EXPECT_EQ(c.model().tasks[3].text, "PROG");
    EXPECT_NE(TVX_Run3FileRam(c.handle, 8, 3), 0);  // no such RAM file
    EXPECT_EQ(TVX_3FileRamDownPart(c.handle, 7, nullptr, 10, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_3FileRamDownPart(c.handle, 7, first.data(), 0, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_3FileRamDownBegin(c.handle, 7, 1, std::string(1025, 'n').c_str(), nullptr), TVX_ERR_NAME_TOO_LONG);
}

// The first block is always answered; after it the block following block 1
// and every window-th block waits, and the last: 1, 2, 5, 9, ... with window 4.
TEST_P(ThreeFiles, RamPartAcknowledgementPattern) {
    store().partWindow = 4;
    store().partBlockSize = 100;
    recordParts();
    const Bytes data = randomBytes(992 + 100 * 13 + 50, 6);
    ASSERT_EQ(TVX_3FileRamDownBegin(c.handle, 1, 0, nullptr, nullptr), 0);
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 1, data.data(), static_cast<uint32_t>(data.size()), nullptr), 0);
    ASSERT_EQ(TVX_3FileRamDownEnd(c.handle, 1), 0);
    EXPECT_EQ(store().ramByNumber()[1].data, data);
    const uint16_t firstBlock = GetParam() == Framing::tcp ? 992 : 192;
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts[0].length, firstBlock);
    EXPECT_EQ(parts[1].length, 100);
    const uint16_t last = parts.back().number;
    if (GetParam() == Framing::tcp) {
        std::vector<uint16_t> expected = {1, 2};
        for (uint16_t n = 5; n < last; n += 4) expected.push_back(n);
        if (expected.back() != last) expected.push_back(last);
        EXPECT_EQ(acknowledged(), expected);
    } else {
        EXPECT_EQ(acknowledged().size(), parts.size());  // one block at a time on serial links
    }

    // A part that fits the first block: one answered block, its value returned.
    parts.clear();
    uint32_t out = 0;
    ASSERT_EQ(TVX_3FileRamDownBegin(c.handle, 1, 0, nullptr, nullptr), 0);
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 1, data.data(), 50, &out), 0);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].number, 1);
    EXPECT_TRUE(parts[0].acknowledged);
    EXPECT_EQ(out, store().ramCapacity - 50);
}

// Controller answers that would stall or misdirect a part.
TEST_P(ThreeFiles, RamPartFirstBlockAnswers) {
    ASSERT_EQ(TVX_3FileRamDownBegin(c.handle, 2, 0, "X", nullptr), 0);
    const Bytes data = randomBytes(5000, 7);
    // A block size of 0: refused, and nothing more is sent.
    store().partBlockSize = 0;
    recordParts();
    EXPECT_EQ(TVX_3FileRamDownPart(c.handle, 2, data.data(), 5000, nullptr), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(parts.size(), 1u);
    // ... unless the part was whole in its first block.
    parts.clear();
    EXPECT_EQ(TVX_3FileRamDownPart(c.handle, 2, data.data(), 100, nullptr), 0);

    // A first answer without block size and window keeps the default and one at a time.
    store().partBlockSize = 1024;
    store().partWindow = 4;
    c.filter = [](const Bytes& req, Bytes& reply) {
        if (testing::commandOf(req) == 138 && getU16(req.data() + 6) == 1) {
            reply.resize(12);
            testing::fixLength(reply);
        }
        return true;
    };
    parts.clear();
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 2, data.data(), 5000, nullptr), 0);
    const uint16_t block = GetParam() == Framing::tcp ? 992 : 192;
    for (const PartBlock& b : parts) {
        EXPECT_TRUE(b.acknowledged);
        if (&b != &parts.back()) {
            EXPECT_EQ(b.length, block);
        }
    }
    // A larger block size than a packet carries is cut to 2016.
    c.filter = nullptr;
    store().partBlockSize = 4000;
    parts.clear();
    ASSERT_EQ(TVX_3FileRamDownPart(c.handle, 2, data.data(), 5000, nullptr), 0);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[1].length, 2016);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, ThreeFiles, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Ethernet" : "Serial"; });

}  // namespace
}  // namespace tvx
