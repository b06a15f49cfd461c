// The three kinds of block download (a file, a firmware section, a RAM
// part) go through one engine and differ only in header, acknowledgement
// and the check of the controller's position. One table drives each
// behaviour over all three.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "engine/firmware_service.h"
#include "engine/three_file_service.h"
#include "link/handle.h"
#include "support/firmware_image_maker.h"
#include "support/inprocess_fixture.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

inline constexpr uint32_t kSimHardware = 0x0000A410;  // the simulator's identifier
inline constexpr uint16_t kRamFile = 3;
inline constexpr uint16_t kStateRequest = 148;
// Offsets in the transfer state reply packet.
inline constexpr size_t kStateReceived = 10;
inline constexpr size_t kStateTotal = 14;
inline constexpr size_t kStateCode = 18;
inline constexpr size_t kStateFileNumber = 22;
inline constexpr size_t kStateLastBlock = 26;

enum class Kind { file, section, ramPart };

struct KindCase {
    Kind kind;
    const char* name;
    uint16_t code;
    // Block numbers awaited on Ethernet with window 4 and 21 blocks.
    std::vector<uint16_t> acknowledgedOnEthernet;
    // Whether a serial link keeps the controller's window.
    bool windowOnSerial;
    // The state field that names the transfer besides its code.
    size_t identityField;
};

const KindCase kKinds[] = {
    {Kind::file, "File", 209, {1, 4, 8, 12, 16, 20, 0xFFFF}, false, kStateTotal},
    {Kind::section, "FirmwareSection", 198, {1, 4, 8, 12, 16, 20, 0xFFFF}, true, kStateTotal},
    {Kind::ramPart, "RamPart", 138, {1, 2, 5, 9, 13, 17, 21}, false, kStateFileNumber},
};

void PrintTo(const KindCase& k, std::ostream* os) { *os << k.name; }

Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

// A data block as the library sends it.
struct SentBlock {
    uint16_t number;
    bool acknowledged;
};

class BlockStreams : public ::testing::TestWithParam<std::tuple<KindCase, Framing>> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    const KindCase& kind() const { return std::get<0>(GetParam()); }

    // Window and block size of the controller, for whichever kind.
    void configure(uint16_t window, uint16_t blockSize) {
        if (kind().kind == Kind::ramPart) {
            ram().partWindow = window;
            ram().partBlockSize = blockSize;
        } else {
            c.controller.transfers().settings().window = window;
            c.controller.transfers().settings().largestBlock = blockSize;
        }
    }
    bool isDataBlock(const Bytes& req) const {
        // Packets too short to carry a block number (a bare query) are not blocks.
        if (req.size() < 8) return false;
        const uint16_t number = getU16(req.data() + 6);
        return testing::commandOf(req) == kind().code && number != 0 &&
               !(kind().kind == Kind::ramPart && number == 0xFFFF);
    }
    // Records the data blocks and whether the library waits for each; the
    // block numbered `lose` is lost `losses` times.
    void watchBlocks(uint16_t lose = 0, int losses = 0) {
        lost = losses;
        c.dropRequest = [this, lose](const Bytes& req) {
            if (!isDataBlock(req)) return false;
            const uint16_t number = getU16(req.data() + 6);
            if (number == lose && lost > 0) {
                --lost;
                return true;
            }
            blocks.push_back({number, fromApi(c.handle)->channel.waiting.load() != 0});
            return false;
        };
    }
    // Downloads `data` the way the kind does.
    int32_t send(const Bytes& data) {
        stateQueriesBefore = stateQueries();
        const auto size = static_cast<uint32_t>(data.size());
        switch (kind().kind) {
            case Kind::file:
                return TVX_DownMemFile(c.handle, data.data(), size, "F");
            case Kind::section: {
                const std::string path = ::testing::TempDir() + "tvx_" + std::to_string(::getpid()) + "_stream.bin";
                const Bytes image = testing::makeSectionedImage(kSimHardware, {{"s", data, 1}});
                std::ofstream(path, std::ios::binary)
                    .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
                imagesBefore = c.controller.service<sim::FirmwareService>()->images().size();
                const int32_t r = TVX_DownFirmWare(c.handle, path.c_str());
                std::remove(path.c_str());
                return r;
            }
            case Kind::ramPart: {
                int32_t r = TVX_3FileRamDownBegin(c.handle, kRamFile, size, "R", nullptr);
                if (r == 0) r = TVX_3FileRamDownPart(c.handle, kRamFile, data.data(), size, nullptr);
                if (r == 0) r = TVX_3FileRamDownEnd(c.handle, kRamFile);
                return r;
            }
        }
        return -1;
    }
    // What the controller holds of the last download (null for nothing).
    const Bytes* stored() {
        switch (kind().kind) {
            case Kind::file:
                return c.controller.transfers().files().get("F");
            case Kind::section: {
                const auto& images = c.controller.service<sim::FirmwareService>()->images();
                if (images.size() <= imagesBefore || images.back().sections.empty()) return nullptr;
                return &images.back().sections[0].data;
            }
            case Kind::ramPart: {
                auto found = ram().ramByNumber().find(kRamFile);
                return found == ram().ramByNumber().end() ? nullptr : &found->second.data;
            }
        }
        return nullptr;
    }
    size_t stateQueries() const {
        size_t n = 0;
        for (const Bytes& r : c.requests) n += testing::commandOf(r) == kStateRequest;
        return n;
    }
    size_t stateQueriesDuringSend() const { return stateQueries() - stateQueriesBefore; }
    std::vector<uint16_t> acknowledged() const {
        std::vector<uint16_t> out;
        for (const SentBlock& b : blocks)
            if (b.acknowledged) out.push_back(b.number);
        return out;
    }
    sim::ThreeFileService& ram() { return *c.controller.service<sim::ThreeFileService>(); }
    bool ethernet() const { return std::get<1>(GetParam()) == Framing::tcp; }

    InProcessController c{std::get<1>(GetParam())};
    std::vector<SentBlock> blocks;
    int lost = 0;
    size_t stateQueriesBefore = 0;
    size_t imagesBefore = 0;
};

const Bytes kData = randomBytes(992 * 20 + 7, 5);  // 21 blocks of 992 bytes

TEST_P(BlockStreams, AcknowledgementsFollowTheKindsRule) {
    configure(4, 992);
    watchBlocks();
    ASSERT_EQ(send(kData), 0);
    ASSERT_NE(stored(), nullptr);
    EXPECT_EQ(*stored(), kData);
    if (ethernet()) {
        EXPECT_EQ(acknowledged(), kind().acknowledgedOnEthernet);
    } else if (kind().windowOnSerial) {
        // 192-byte blocks on a serial link, still windowed.
        const std::vector<uint16_t> acked = acknowledged();
        ASSERT_GE(acked.size(), 3u);
        EXPECT_EQ(std::vector<uint16_t>(acked.begin(), acked.begin() + 3), (std::vector<uint16_t>{1, 4, 8}));
        EXPECT_LT(acked.size(), blocks.size());
    } else {
        EXPECT_EQ(acknowledged().size(), blocks.size());  // one block at a time
    }
    EXPECT_EQ(stateQueriesDuringSend(), 0u);
    EXPECT_EQ(TVX_GetProgress(c.handle), 0.0f);
}

// Only windowed blocks go unanswered and can be lost unnoticed: the loss
// cases run on Ethernet.
class LostBlockStreams : public BlockStreams {};

// A block lost once: one question for the controller's position, then the
// download goes on from there and arrives whole.
TEST_P(LostBlockStreams, LostBlockResumesFromTheControllersPosition) {
    configure(4, 992);
    watchBlocks(6, 1);
    ASSERT_EQ(send(kData), 0);
    EXPECT_EQ(lost, 0);
    ASSERT_NE(stored(), nullptr);
    EXPECT_EQ(*stored(), kData);
    EXPECT_EQ(stateQueriesDuringSend(), 1u);
}

// A block that never arrives: three resumptions that bring no progress,
// then 213 with the data incomplete.
TEST_P(LostBlockStreams, BlockThatNeverArrivesGivesUpAfterThreeResumptions) {
    configure(4, 992);
    watchBlocks(6, 1000);
    EXPECT_EQ(send(kData), 213);
    const Bytes* got = stored();
    EXPECT_TRUE(got == nullptr || got->size() < kData.size());
    EXPECT_EQ(stateQueriesDuringSend(), 4u);  // the first resumption and three more
}

// Loss that keeps hitting a long download costs many resumptions, but each
// one moves the controller on: the download completes.
TEST_P(LostBlockStreams, ResumptionsThatAdvanceNeverRunOut) {
    configure(4, 992);
    const Bytes data = randomBytes(992 * 80, 9);
    int seen = 0;
    // Every 7th block is lost: about a dozen resumptions.
    c.dropRequest = [&](const Bytes& req) { return isDataBlock(req) && ++seen % 7 == 0; };
    ASSERT_EQ(send(data), 0);
    ASSERT_NE(stored(), nullptr);
    EXPECT_EQ(*stored(), data);
    EXPECT_GT(stateQueriesDuringSend(), 3u);
}

// A position that is not inside this download ends it with 213 rather than
// resuming elsewhere: past its end, another request, a finished transfer,
// or another transfer of the same request.
TEST_P(LostBlockStreams, PositionOutsideTheDownloadIsNotResumed) {
    configure(4, 992);
    struct Field {
        size_t offset;
        uint32_t value;
        bool word;
    };
    const Field fields[] = {{kStateReceived, 0x7FFFFFFF, false},
                            {kStateCode, uint32_t{kind().code} + 1, false},
                            {kStateLastBlock, 0xFFFF, true},
                            {kind().identityField, 0x12345, false}};
    for (const Field& f : fields) {
        watchBlocks(6, 1);
        c.filter = [&](const Bytes& req, Bytes& reply) {
            if (testing::commandOf(req) != kStateRequest) return true;
            if (f.word)
                putU16(reply.data() + f.offset, static_cast<uint16_t>(f.value));
            else
                putU32(reply.data() + f.offset, f.value);
            return true;
        };
        EXPECT_EQ(send(kData), 213) << f.offset;
        EXPECT_EQ(stateQueriesDuringSend(), 1u) << f.offset;
        c.filter = nullptr;
    }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<KindCase, Framing>>& info) {
    return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) == Framing::tcp ? "Ethernet" : "Serial");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BlockStreams,
                         ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::Values(Framing::rtu, Framing::tcp)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(AllKinds, LostBlockStreams,
                         ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::Values(Framing::tcp)), caseName);

}  // namespace
}  // namespace tvx
