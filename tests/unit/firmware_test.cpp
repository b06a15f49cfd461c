#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/firmware_service.h"
#include "link/handle.h"
#include "support/firmware_image_maker.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"
#include "support/test_files.h"
#include "transfer/firmware_image.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ImageParts;
using testing::InProcessController;
using testing::randomBytes;
using testing::SectionPlan;

inline constexpr uint32_t kSimHardware = 0x0000A410;  // the simulator's identifier
inline constexpr uint32_t kLastSection = 0xFFFFFFFF;

// An image file on disk for the exports, removed with the object.
class ImageFile {
public:
    explicit ImageFile(const Bytes& content, const std::string& tag = "fw") {
        static int serial = 0;
        path_ = testing::tempPath(tag + std::to_string(++serial) + ".bin");
        testing::writeFile(path_, content);
    }
    ~ImageFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

class Firmware : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    sim::FirmwareService& service() { return *c.controller.service<sim::FirmwareService>(); }
    InProcessController c{GetParam()};
};

// Every image type goes with its request code and attribute, its payload
// prepared as the type says; the controller receives the plain payload.
TEST_P(Firmware, EveryTypeIsPreparedAndSentWithItsCodeAndAttribute) {
    struct Case {
        uint32_t type;
        uint16_t code;
        uint16_t attribute;
        size_t size;
    };
    const Case cases[] = {
        {0, 200, 0, 5000},      {1234, 200, 0, 32 * 100}, {1235, 201, 0, 4097},
        {3234, 421, 0, 64},     {3236, 421, 2, 32 * 77},  {3241, 421, 7, 992 * 3},
    };
    for (const Case& k : cases) {
        const Bytes payload = randomBytes(k.size, k.type);
        const Bytes file = testing::makeImage(kSimHardware, k.type, payload);
        if (k.type == 1235) {
            // Sent as is: the file's own bytes after the header.
            EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 32));
        }
        ImageFile image(file);
        const size_t from = c.requests.size();
        ASSERT_EQ(TVX_DownFirmWare(c.handle, image.path()), 0) << k.type;
        ASSERT_FALSE(service().images().empty());
        const auto& got = service().images().back();
        EXPECT_EQ(got.code, k.code) << k.type;
        EXPECT_EQ(got.attribute, k.attribute) << k.type;
        EXPECT_EQ(got.payload, payload) << k.type;
        // The identifier is asked first, then the payload goes without a name.
        const auto commands = testing::commandsOf(c.requests, from);
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands[0], 114);
        const Bytes start = testing::argumentsWith(c.requests, k.code).at(0);
        EXPECT_EQ(start.size(), 9u);  // block 0, attribute, total, a single 0 byte
        EXPECT_EQ(getU32(start.data() + 4), k.size);
        EXPECT_EQ(TVX_GetProgress(c.handle), 0.0f);
        c.requests.clear();
    }
}

// Sections go in order with their own start packets (index 0, 1, ... and
// 0xFFFFFFFF for the last), and progress runs over all of them.
TEST_P(Firmware, SectionsGoInOrderWithProgressOverAll) {
    const std::vector<SectionPlan> plans = {
        {"boot", randomBytes(3000, 1), 0x11}, {"app", randomBytes(7000, 2), 0x22}, {"fpga", randomBytes(10, 3), 0x33}};
    ImageFile image(testing::makeSectionedImage(kSimHardware, plans));
    // The progress as each section's first block goes.
    std::vector<float> progressAtStart;
    bool sectionStarted = false;
    c.dropRequest = [&](const Bytes& req) {
        if (testing::commandOf(req) != 198) return false;
        if (getU16(req.data() + 6) == 0) {
            sectionStarted = true;
        } else if (sectionStarted) {
            progressAtStart.push_back(TVX_GetProgress(c.handle));
            sectionStarted = false;
        }
        return false;
    };
    ASSERT_EQ(TVX_DownFirmWare(c.handle, image.path()), 0);

    const auto starts = testing::argumentsWith(c.requests, 198);
    std::vector<Bytes> sectionStarts;
    for (const Bytes& a : starts)
        if (getU16(a.data()) == 0) sectionStarts.push_back(a);
    ASSERT_EQ(sectionStarts.size(), 3u);
    const uint32_t indices[] = {0, 1, kLastSection};
    for (size_t i = 0; i < 3; ++i) {
        const Bytes& a = sectionStarts[i];
        EXPECT_EQ(a.size(), 20 + plans[i].name.size() + 1);
        EXPECT_EQ(getU32(a.data() + 4), 0u);
        EXPECT_EQ(getU32(a.data() + 8), indices[i]);
        EXPECT_EQ(getU32(a.data() + 12), plans[i].attribute);
        EXPECT_EQ(getU32(a.data() + 16), plans[i].data.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data() + 20)), plans[i].name);
    }
    const auto& got = service().images().back();
    ASSERT_EQ(got.sections.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got.sections[i].data, plans[i].data);
        EXPECT_EQ(got.sections[i].checksum, testing::byteSum(plans[i].data));
        EXPECT_EQ(got.sections[i].name, plans[i].name);
    }
    ASSERT_EQ(progressAtStart.size(), 3u);
    EXPECT_FLOAT_EQ(progressAtStart[0], 0.0f);
    EXPECT_FLOAT_EQ(progressAtStart[1], 3000.0f / 10010.0f);
    EXPECT_FLOAT_EQ(progressAtStart[2], 10000.0f / 10010.0f);
    EXPECT_EQ(TVX_GetProgress(c.handle), 0.0f);

    // One section: its only start packet is marked the last.
    c.requests.clear();
    ImageFile single(testing::makeSectionedImage(kSimHardware, {{"only", randomBytes(500, 4), 5}}));
    ASSERT_EQ(TVX_DownFirmWare(c.handle, single.path()), 0);
    const auto one = testing::argumentsWith(c.requests, 198);
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(getU32(one[0].data() + 8), kLastSection);
    EXPECT_EQ(service().images().back().sections.size(), 1u);
}

// The check: the controller's 0 is accepted as it is; its 3205 makes the
// library compare the hardware identifiers itself.
TEST_P(Firmware, CheckTrustsTheControllerOrComparesIdentifiers) {
    ImageFile ours(testing::makeImage(kSimHardware, 0, randomBytes(100, 8)));
    ImageFile theirs(testing::makeImage(0xBEEF, 0, randomBytes(100, 9)));
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, ours.path()), 0);
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, theirs.path()), TVX_ERR_FIRMWARE_MISMATCH);  // the controller's answer

    // A controller that answers 0 to a foreign image: accepted, no identifier asked.
    c.filter = testing::setStatus(199, 0);
    c.requests.clear();
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, theirs.path()), 0);
    EXPECT_EQ(testing::commandsOf(c.requests), (std::vector<uint16_t>{199}));
    const Bytes header = testing::argumentsOf(c.requests[0]);
    EXPECT_EQ(header.size(), 32u);
    EXPECT_EQ(getU32(header.data()), 0xBEEFu);

    c.filter = nullptr;
    service().judgesHeaders = false;
    c.requests.clear();
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, ours.path()), 0);
    EXPECT_EQ(testing::commandsOf(c.requests), (std::vector<uint16_t>{199, 114}));
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, theirs.path()), TVX_ERR_FIRMWARE_MISMATCH);
}

// A malformed image is refused with its code before anything is sent: the
// controller sees no frame at all.
TEST_P(Firmware, MalformedImagesAreRefusedWithNothingOnTheWire) {
    const std::vector<SectionPlan> two = {{"one", randomBytes(300, 10), 1}, {"two", randomBytes(200, 11), 2}};
    auto sectioned = [&](auto&& edit) {
        ImageParts p = testing::sectionedParts(kSimHardware, two);
        edit(p);
        return testing::assemble(p);
    };
    auto plain = [&](uint32_t type, size_t size, int64_t declared = -1) {
        ImageParts p;
        p.hardwareId = kSimHardware;
        p.type = type;
        p.payload = randomBytes(size, 12);
        p.declaredLength = declared;
        return testing::assemble(p);
    };
    struct Case {
        const char* what;
        Bytes file;
        int32_t flash;
        int32_t check;  // -1: the header is sound, the check goes to the controller
    };
    const Case cases[] = {
        {"shorter than a header", Bytes(31, 0), TVX_ERR_FIRMWARE_IMAGE, TVX_ERR_FIRMWARE_IMAGE},
        {"payload shorter than the file", plain(0, 100, 99), TVX_ERR_FIRMWARE_IMAGE, TVX_ERR_FIRMWARE_IMAGE},
        {"payload longer than the file", plain(0, 100, 101), TVX_ERR_FIRMWARE_IMAGE, TVX_ERR_FIRMWARE_IMAGE},
        {"payload far longer than the file", plain(1234, 64, 0xFFFFFFE0), TVX_ERR_FIRMWARE_IMAGE, TVX_ERR_FIRMWARE_IMAGE},
        {"no payload", plain(0, 0), TVX_ERR_FIRMWARE_IMAGE, -1},
        {"unknown type", plain(4000, 64), TVX_ERR_FIRMWARE_IMAGE, -1},
        {"enciphered, not whole blocks", plain(1234, 100), TVX_ERR_FIRMWARE_IMAGE, -1},
        {"enciphered 3239, not whole blocks", plain(3239, 31), TVX_ERR_FIRMWARE_IMAGE, -1},
        {"zero sections", sectioned([](ImageParts& p) { p.sectionCount = 0; }), TVX_ERR_FIRMWARE_IMAGE, -1},
        {"table larger than the payload", sectioned([](ImageParts& p) { p.tableSize = static_cast<uint32_t>(p.payload.size() + 1); }),
         TVX_ERR_FIRMWARE_IMAGE, -1},
        {"more sections than the table holds", sectioned([](ImageParts& p) { p.sectionCount = 0xFFFFFFFF; }),
         TVX_ERR_FIRMWARE_IMAGE, -1},
        {"descriptor past the table", sectioned([](ImageParts& p) { putU32(p.payload.data() + 4, 0x7FFFFFF0); }),
         TVX_ERR_FIRMWARE_IMAGE, -1},
        {"descriptor overlapping the next", sectioned([](ImageParts& p) { putU32(p.payload.data() + 4, 0); }),
         TVX_ERR_FIRMWARE_IMAGE, -1},
        {"empty section", sectioned([](ImageParts& p) {
             // The first section's 300 bytes move to the table's end.
             putU32(p.payload.data(), 0);
             p.tableSize += 300;
         }),
         TVX_ERR_FIRMWARE_IMAGE, -1},
        {"unterminated name", sectioned([](ImageParts& p) {
             // The last name runs to the table's end without its 0 byte.
             for (size_t i = 20 + 16 + 3; i < p.tableSize; ++i) p.payload[i] = 'x';
         }),
         TVX_ERR_NAME_TOO_LONG, -1},
        {"lengths that do not add up", sectioned([](ImageParts& p) { putU32(p.payload.data(), 299); }),
         TVX_ERR_FILE_LENGTH, -1},
        {"lengths that overflow 32 bits", sectioned([](ImageParts& p) {
             putU32(p.payload.data(), 0xFFFFFFFF);
             putU32(p.payload.data() + 20, 301);
         }),
         TVX_ERR_FILE_LENGTH, -1},
        {"checksum mismatch", sectioned([](ImageParts& p) { p.payload.back() ^= 1; }), TVX_ERR_FILE, -1},
    };
    for (const Case& k : cases) {
        ImageFile image(k.file);
        const uint32_t sends = c.link.sends.load();
        const uint32_t acted = c.model().requestsActedOn;
        EXPECT_EQ(TVX_DownFirmWare(c.handle, image.path()), k.flash) << k.what;
        EXPECT_EQ(c.link.sends.load(), sends) << k.what;
        EXPECT_EQ(c.model().requestsActedOn, acted) << k.what;
        if (k.check >= 0) {
            EXPECT_EQ(TVX_CheckFirmWare(c.handle, image.path()), k.check) << k.what;
            EXPECT_EQ(c.link.sends.load(), sends) << k.what;
        }
    }
    EXPECT_TRUE(service().images().empty());

    // A long name: 1023 characters pass, 1024 do not.
    std::vector<SectionPlan> named = {{std::string(1023, 'n'), randomBytes(40, 13), 0}};
    ImageFile longest(testing::makeSectionedImage(kSimHardware, named));
    EXPECT_EQ(TVX_DownFirmWare(c.handle, longest.path()), 0);
    named[0].name.push_back('n');
    ImageFile tooLong(testing::makeSectionedImage(kSimHardware, named));
    const uint32_t sends = c.link.sends.load();
    EXPECT_EQ(TVX_DownFirmWare(c.handle, tooLong.path()), TVX_ERR_NAME_TOO_LONG);
    EXPECT_EQ(c.link.sends.load(), sends);

    // Missing files and arguments.
    EXPECT_EQ(TVX_DownFirmWare(c.handle, "/nonexistent/fw.bin"), TVX_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(TVX_CheckFirmWare(c.handle, "/nonexistent/fw.bin"), TVX_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(TVX_DownFirmWare(c.handle, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_DownFirmWare(nullptr, longest.path()), TVX_ERR_INVALID_HANDLE);
}

// An image for other hardware: only the identifier is asked.
TEST_P(Firmware, ForeignImageSendsOnlyTheIdentifierRequest) {
    ImageFile image(testing::makeSectionedImage(0x1234, {{"s", randomBytes(100, 14), 0}}));
    c.requests.clear();
    EXPECT_EQ(TVX_DownFirmWare(c.handle, image.path()), TVX_ERR_FIRMWARE_MISMATCH);
    EXPECT_EQ(testing::commandsOf(c.requests), (std::vector<uint16_t>{114}));
}

// Boot loader and application, as the state query shows them.
TEST_P(Firmware, JumpsSwitchBetweenBootLoaderAndApplication) {
    uint8_t state = 0xFF;
    EXPECT_EQ(TVX_JumpNbios(c.handle), 0);
    EXPECT_TRUE(service().bootLoader());
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    EXPECT_EQ(state, sim::kRunBootLoader);
    EXPECT_EQ(TVX_JumpApp(c.handle), 0);
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    EXPECT_EQ(state, sim::kRunStopped);
    EXPECT_EQ(TVX_StartHardwareTest(c.handle), 0);
    EXPECT_EQ(service().hardwareTests(), 1u);
    EXPECT_EQ(TVX_JumpApp(nullptr), TVX_ERR_INVALID_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Firmware, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Ethernet" : "Serial"; });

}  // namespace
}  // namespace tvx
