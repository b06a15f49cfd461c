#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "link/handle.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "support/test_files.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;
using testing::randomBytes;
using testing::readFile;
using testing::tempPath;
using testing::writeFile;

// A download block as the engine sends it.
struct Block {
    uint16_t number;
    uint16_t length;
    bool acknowledged;
};

class Transfers : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    // Records the download blocks of code 209 and whether the library waits
    // for each one's reply.
    void recordBlocks() {
        c.dropRequest = [this](const Bytes& req) {
            if (getU16(req.data() + 2) == 209 && getU16(req.data() + 6) != 0)
                blocks.push_back({getU16(req.data() + 6), getU16(req.data() + 8),
                                  fromApi(c.handle)->channel.waiting.load() != 0});
            return false;
        };
    }
    InProcessController c{GetParam()};
    std::vector<Block> blocks;
};

TEST_P(Transfers, MemoryAndFileRoundTripsAreByteIdentical) {
    for (size_t size : {size_t{1}, size_t{991}, size_t{992}, size_t{993}, size_t{100000}, size_t{3u << 20}}) {
        const Bytes data = randomBytes(size, static_cast<uint32_t>(size));
        ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), static_cast<uint32_t>(data.size()), "DATA.BIN"), 0) << size;
        const Bytes* stored = c.controller.transfers().files().get("DATA.BIN");
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(*stored, data);
        Bytes back(size + 10);
        uint32_t received = 0;
        ASSERT_EQ(TVX_UpFileToMem(c.handle, back.data(), static_cast<uint32_t>(back.size()), "DATA.BIN", &received), 0);
        ASSERT_EQ(received, size);
        back.resize(received);
        EXPECT_EQ(back, data) << size;
        EXPECT_EQ(TVX_GetProgress(c.handle), 0.0f);
    }
    const std::string local = tempPath("down.bin"), copy = tempPath("up.bin");
    const Bytes data = randomBytes(250000, 7);
    writeFile(local, data);
    ASSERT_EQ(TVX_DownFile(c.handle, local.c_str(), "FILE.BIN"), 0);
    ASSERT_EQ(TVX_UpFile(c.handle, copy.c_str(), "FILE.BIN"), 0);
    EXPECT_EQ(readFile(copy), data);
    std::remove(local.c_str());
    std::remove(copy.c_str());
}

TEST_P(Transfers, ExactlyOneBlockIsSentAsTheLastBlock) {
    recordBlocks();
    const uint32_t block = GetParam() == Framing::tcp ? 992 : 192;
    const Bytes data = randomBytes(block, 1);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), block, "ONE"), 0);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].number, 0xFFFF);
    EXPECT_EQ(blocks[0].length, block);
    EXPECT_TRUE(blocks[0].acknowledged);
}

TEST_P(Transfers, ShortStartReplyKeepsDefaultBlockAndWindowOne) {
    c.filter = [](const Bytes& req, Bytes& reply) {
        if (getU16(req.data() + 2) == 209 && getU16(req.data() + 6) == 0) {
            reply.resize(10);
            testing::fixLength(reply);
        }
        return true;
    };
    recordBlocks();
    const Bytes data = randomBytes(5000, 3);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), static_cast<uint32_t>(data.size()), "SHORT"), 0);
    const uint16_t expected = GetParam() == Framing::tcp ? 992 : 192;
    EXPECT_EQ(blocks[0].length, expected);
    for (const Block& b : blocks) EXPECT_TRUE(b.acknowledged);
}

TEST_P(Transfers, ControllerBlockLimitIsRoundedToThirtyTwo) {
    c.controller.transfers().settings().largestBlock = 100;
    recordBlocks();
    const Bytes data = randomBytes(1000, 4);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), 1000, "SMALL"), 0);
    EXPECT_EQ(blocks[0].length, 96);
    c.controller.transfers().settings().largestBlock = 31;
    EXPECT_EQ(TVX_DownMemFile(c.handle, data.data(), 1000, "TINY"), TVX_ERR_REPLY_LENGTH);
}

TEST_P(Transfers, UploadLargerThanBufferFillsItAndEndsTheTransfer) {
    const Bytes data = randomBytes(5000, 6);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), 5000, "BIG"), 0);
    Bytes small(3000, 0);
    uint32_t received = 0;
    EXPECT_EQ(TVX_UpFileToMem(c.handle, small.data(), 3000, "BIG", &received), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(received, 3000u);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), data.begin()));
    const Bytes& last = c.requests.back();
    EXPECT_EQ(getU16(last.data() + 2), 210);
    EXPECT_EQ(getU16(last.data() + 6), 0xFFFF);  // the ending request
}

TEST_P(Transfers, UploadBlockClaimingMoreThanItCarriesIsRefused) {
    const Bytes data = randomBytes(3000, 8);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), 3000, "LIE"), 0);
    c.filter = [](const Bytes& req, Bytes& reply) {
        if (getU16(req.data() + 2) == 210 && getU16(req.data() + 6) == 1) putU16(reply.data() + 12, 0xFFF0);
        return true;
    };
    Bytes buffer(70000, 0);
    uint32_t received = 0;
    EXPECT_EQ(TVX_UpFileToMem(c.handle, buffer.data(), 70000, "LIE", &received), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(received, 0u);
}

TEST_P(Transfers, ArgumentErrors) {
    const std::string empty = tempPath("empty.bin");
    writeFile(empty, {});
    EXPECT_EQ(TVX_DownFile(c.handle, empty.c_str(), "E"), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_DownFile(c.handle, tempPath("missing.bin").c_str(), "E"), TVX_ERR_FILE_NOT_FOUND);
    std::remove(empty.c_str());
    uint8_t b = 0;
    const std::string longName(1025, 'n');
    EXPECT_EQ(TVX_DownMemFile(c.handle, &b, 1, longName.c_str()), TVX_ERR_NAME_TOO_LONG);
    EXPECT_EQ(TVX_DownMemFile(c.handle, nullptr, 1, "X"), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_UpFileToMem(c.handle, &b, 0, "X", nullptr), TVX_ERR_BAD_ARGUMENT);
    float f = 0;
    EXPECT_EQ(TVX_FlashWritef(c.handle, 1, 0x40000001u, &f), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_FindFirstFile(c.handle, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
}

TEST_P(Transfers, FlashTables) {
    std::vector<float> table(496);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<float>(i) * 0.25f;
    ASSERT_EQ(TVX_FlashWritef(c.handle, 7, 496, table.data()), 0);
    std::vector<float> all(496), part(248, -1.0f);
    uint32_t count = 0;
    ASSERT_EQ(TVX_FlashReadf(c.handle, 7, 496, all.data(), &count), 0);
    EXPECT_EQ(count, 496u);
    EXPECT_EQ(all, table);
    EXPECT_EQ(TVX_FlashReadf(c.handle, 7, 248, part.data(), &count), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 248u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), table.begin()));
}

TEST_P(Transfers, ListingDeletionStateAndLog) {
    uint8_t b = 'x';
    ASSERT_EQ(TVX_DownMemFile(c.handle, &b, 1, "A.BAS"), 0);
    ASSERT_EQ(TVX_DownMemFile(c.handle, &b, 1, "B.BAS"), 0);
    char name[2035];
    uint32_t size = 0;
    std::vector<std::string> names;
    for (int r = TVX_FindFirstFile(c.handle, name, &size); r == 0 && name[0]; r = TVX_FindNextFile(c.handle, name, &size))
        names.emplace_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"A.BAS", "B.BAS"}));
    ASSERT_EQ(TVX_DeleteFile(c.handle, "A.BAS"), 0);
    EXPECT_EQ(c.controller.transfers().files().get("A.BAS"), nullptr);
    EXPECT_NE(TVX_DeleteFile(c.handle, "A.BAS"), 0);
    char state[26];
    ASSERT_EQ(TVX_GetFileState(c.handle, 1, state), 0);
    EXPECT_EQ(std::string(state), "READY");
    char log[4096];
    uint32_t got = 0;
    ASSERT_EQ(TVX_UpLogToMem(c.handle, log, sizeof log, &got), 0);
    EXPECT_EQ(std::string(log, got), c.controller.transfers().log());
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Transfers, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

TEST(TransfersCounter, BlockNumbersCycleFrom65534BackToOne) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    c.controller.transfers().settings().largestBlock = 32;
    std::vector<uint16_t> numbers;
    c.dropRequest = [&](const Bytes& req) {
        if (getU16(req.data() + 2) == 209 && getU16(req.data() + 6) != 0) numbers.push_back(getU16(req.data() + 6));
        return false;
    };
    const Bytes data = randomBytes(32u * 65536u, 9);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), static_cast<uint32_t>(data.size()), "CYCLE"), 0);
    ASSERT_EQ(numbers.size(), 65536u);
    EXPECT_EQ(numbers[65533], 65534);
    EXPECT_EQ(numbers[65534], 1);
    EXPECT_EQ(numbers[65535], 0xFFFF);
    EXPECT_EQ(*c.controller.transfers().files().get("CYCLE"), data);
}

}  // namespace
}  // namespace tvx

namespace tvx {
namespace {

// Controller answers that would make a careless engine copy garbage, loop
// forever or resume past the end: each gives a clear code.
TEST(TransferReplies, MalformedControllerAnswersGiveClearCodes) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    const Bytes data = randomBytes(5000, 11);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), 5000, "F"), 0);
    auto reqCode = [](const Bytes& req) { return getU16(req.data() + 2); };
    auto reqBlock = [](const Bytes& req) { return getU16(req.data() + 6); };
    Bytes buffer(10000);
    uint32_t got = 0;

    // An upload block that is not the last and carries nothing.
    c.filter = [&](const Bytes& req, Bytes& reply) {
        if (reqCode(req) == 210 && reqBlock(req) == 2) {
            reply.resize(14);
            putU16(reply.data() + 10, 2);
            putU16(reply.data() + 12, 0);
            testing::fixLength(reply);
        }
        return true;
    };
    EXPECT_EQ(TVX_UpFileToMem(c.handle, buffer.data(), 10000, "F", &got), TVX_ERR_REPLY_LENGTH);

    // A listing reply too short to hold a size.
    c.filter = testing::cutReply(208, 12);
    char name[2035];
    EXPECT_EQ(TVX_FindFirstFile(c.handle, name, nullptr), TVX_ERR_REPLY_LENGTH);

    // A transfer state claiming more bytes received than the transfer has:
    // no resume past the end.
    c.controller.transfers().settings().window = 4;
    int drops = 1;
    c.dropRequest = [&](const Bytes& req) { return reqCode(req) == 209 && reqBlock(req) == 3 && drops-- > 0; };
    c.filter = [&](const Bytes& req, Bytes& reply) {
        if (reqCode(req) == 148) putU32(reply.data() + 10, 0x7FFFFFFF);
        return true;
    };
    EXPECT_EQ(TVX_DownMemFile(c.handle, data.data(), 5000, "G"), 213);
    c.dropRequest = nullptr;

    // A file announced as empty arrives as an empty local file.
    c.filter = [&](const Bytes& req, Bytes& reply) {
        if (reqCode(req) == 210 && reqBlock(req) == 0) putU32(reply.data() + 14, 0);
        return true;
    };
    const std::string local = tempPath("announced_empty.bin");
    writeFile(local, {1, 2, 3});
    EXPECT_EQ(TVX_UpFile(c.handle, local.c_str(), "F"), 0);
    EXPECT_TRUE(readFile(local).empty());
    std::remove(local.c_str());
}

}  // namespace
}  // namespace tvx
