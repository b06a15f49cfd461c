// What a request can make the simulated controller hold: every store that
// takes downloads refuses one that does not fit (status 3204) before it
// keeps anything, whatever length the request announces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/cycle_upload_service.h"
#include "engine/firmware_service.h"
#include "engine/three_file_service.h"
#include "support/frames.h"
#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

constexpr int32_t kStoreFull = 3204;

// Sends one request packet straight to the controller; returns its status.
int32_t request(sim::Controller& c, uint16_t command, const Bytes& body, uint64_t origin = 0) {
    static uint16_t sequence = 0;
    const Bytes frame = testing::tcpFrame(1, 72, testing::packetBytes(command, ++sequence, body));
    uint8_t reply[sim::kFrameCapacity];
    const size_t n = c.handleFrame(Framing::tcp, frame.data(), frame.size(), reply, sizeof reply, origin);
    return n >= 18 ? getI32(reply + 14) : -1;
}

Bytes le32(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)}; }

// A download start: block 0, attribute 0, u32 total, name with its NUL.
Bytes start(uint32_t total, const std::string& name) {
    Bytes b{0, 0, 0, 0};
    const Bytes t = le32(total);
    b.insert(b.end(), t.begin(), t.end());
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
    return b;
}

TEST(SimStoreBounds, StartsAnnouncingFourGibibytesAreRefusedAtOnce) {
    struct Case {
        const char* what;
        uint16_t command;
        Bytes body;
    };
    Bytes section(16, 0);  // block 0, attribute, total, index 0, attribute
    const Bytes huge = le32(0xFFFFFFFF);
    section.insert(section.end(), huge.begin(), huge.end());
    section.insert(section.end(), {'S', 0});
    const std::vector<Case> cases = {
        {"file", req::fileDown, start(0xFFFFFFFF, "BIG")},
        {"flash table", req::flashTableDown, start(0xFFFFFFFF, "1")},
        {"archive to RAM", req::archiveRamRun, start(0xFFFFFFFF, "")},
        {"archive", req::archiveDownload, start(0xFFFFFFFF, "")},
        {"three-file store", req::threeFileDown, start(0xFFFFFFFF, "BIG")},
        {"three-file RAM", req::threeFileRamDown, start(0xFFFFFFFF, "BIG")},
        {"firmware", req::firmwareDown, start(0xFFFFFFFF, "FW")},
        {"firmware section", req::firmwareSection, section},
    };
    for (const Case& k : cases) {
        sim::Controller c;
        EXPECT_EQ(request(c, k.command, k.body), kStoreFull) << k.what;
        // Nothing under way: a block finds no transfer to join.
        EXPECT_EQ(request(c, k.command, {1, 0, 1, 0, 0x55}), 213) << k.what;
        EXPECT_EQ(c.transfers().files().used(), 0u) << k.what;
    }
}

TEST(SimStoreBounds, FileStoreHoldsItsCapacityAndNoMore) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    sim::FileStore& files = c.controller.transfers().files();
    files.setCapacity(1000);
    const Bytes a(600, 0xA1), b(500, 0xB2), bigger(900, 0xC3);
    ASSERT_EQ(TVX_DownMemFile(c.handle, a.data(), 600, "A"), 0);
    EXPECT_EQ(TVX_DownMemFile(c.handle, b.data(), 500, "B"), kStoreFull);
    EXPECT_EQ(files.get("B"), nullptr);
    // Replacing a file frees its room first.
    ASSERT_EQ(TVX_DownMemFile(c.handle, bigger.data(), 900, "A"), 0);
    EXPECT_EQ(files.used(), 900u);
    ASSERT_EQ(TVX_DeleteFile(c.handle, "A"), 0);
    EXPECT_EQ(TVX_DownMemFile(c.handle, b.data(), 500, "B"), 0);
    EXPECT_EQ(files.used(), 500u);
    // A download that fit when it started but not when it ends is refused
    // then, and the store keeps what it had.
    files.setCapacity(1200);
    ASSERT_EQ(request(c.controller, req::fileDown, start(600, "C")), 0);
    ASSERT_TRUE(files.put("D", Bytes(300, 1)));
    Bytes last{0xFF, 0xFF, 0x58, 0x02};
    last.resize(4 + 600, 0x77);
    EXPECT_EQ(request(c.controller, req::fileDown, last), kStoreFull);
    EXPECT_EQ(files.get("C"), nullptr);
    EXPECT_EQ(files.used(), 800u);
}

TEST(SimStoreBounds, FileStoreHoldsAtMostItsFileCount) {
    sim::FileStore files;
    for (size_t i = 0; i < sim::FileStore::kMaxFiles; ++i) ASSERT_TRUE(files.put("F" + std::to_string(i), {1}));
    EXPECT_FALSE(files.put("ONE.MORE", {1}));
    EXPECT_TRUE(files.put("F0", {2, 3}));  // a replacement is no new file
}

TEST(SimStoreBounds, ThreeFileStoreAndRamAreBounded) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    auto& store = *c.controller.service<sim::ThreeFileService>();
    store.ramCapacity = 1000;
    store.storeCapacity = 2000;
    const Bytes data(1500, 0x42);
    EXPECT_EQ(TVX_DownMem3File(c.handle, data.data(), 1500, "A.BAS"), 0);
    EXPECT_EQ(TVX_DownMem3File(c.handle, data.data(), 600, "B.BAS"), kStoreFull);
    EXPECT_EQ(TVX_DownMem3FileRam(c.handle, data.data(), 1001, "R", 1), kStoreFull);
    EXPECT_EQ(TVX_DownMem3FileRam(c.handle, data.data(), 1000, "R", 1), 0);
    EXPECT_EQ(store.ramLeft(), 0u);
    // Numbered RAM files: a start for a new number beyond the most files is
    // refused, one for a number already there is not.
    auto partStart = [](uint16_t file) {
        Bytes b{0, 0, 0, 0, static_cast<uint8_t>(file), static_cast<uint8_t>(file >> 8), 0xFF, 0xFF, 0xFF, 0xFF};
        b.insert(b.end(), {'P', 0});
        return b;
    };
    for (uint16_t f = 0; f < sim::ThreeFileService::kMaxFiles; ++f)
        ASSERT_EQ(request(c.controller, req::threeFileRamPart, partStart(f)), 0);
    EXPECT_EQ(request(c.controller, req::threeFileRamPart, partStart(5000)), kStoreFull);
    EXPECT_EQ(request(c.controller, req::threeFileRamPart, partStart(3)), 0);
}

TEST(SimStoreBounds, FirmwareKeepsBoundedImagesAndSections) {
    sim::Controller c;
    auto& firmware = *c.service<sim::FirmwareService>();
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(request(c, req::firmwareDown, start(1, "FW")), 0);
        ASSERT_EQ(request(c, req::firmwareDown, {0xFF, 0xFF, 1, 0, static_cast<uint8_t>(i)}), 0);
    }
    ASSERT_EQ(firmware.images().size(), sim::FirmwareService::kKeptImages);
    EXPECT_EQ(firmware.images().back().payload, Bytes{11});
    EXPECT_EQ(firmware.images().front().payload, Bytes{4});
    // Sections of one image: numbered in order, each one byte.
    auto section = [](uint32_t index) {
        Bytes b(8, 0);
        const Bytes i = le32(index), one = le32(1);
        b.insert(b.end(), i.begin(), i.end());
        b.insert(b.end(), 4, 0);
        b.insert(b.end(), one.begin(), one.end());
        b.insert(b.end(), {'S', 0});
        return b;
    };
    for (uint32_t s = 0; s < sim::FirmwareService::kMaxSections; ++s) {
        ASSERT_EQ(request(c, req::firmwareSection, section(s)), 0) << s;
        ASSERT_EQ(request(c, req::firmwareSection, {0xFF, 0xFF, 1, 0, 9}), 0) << s;
    }
    EXPECT_EQ(request(c, req::firmwareSection, section(sim::FirmwareService::kMaxSections)), kStoreFull);
}

TEST(SimStoreBounds, CycleUploadsAreBoundedOverAllHosts) {
    sim::Controller c;
    Bytes enable{0, 1};
    const Bytes cycle = le32(100);
    enable.insert(enable.end(), cycle.begin(), cycle.end());
    const std::string items = "VR(0)";
    enable.insert(enable.end(), items.begin(), items.end());
    enable.push_back(0);
    auto& uploads = *c.service<sim::CycleUploadService>();
    uint64_t origin = 1;
    while (uploads.runningUploads() < 200 && request(c, req::cycleUpload, enable, origin) == 0) ++origin;
    EXPECT_EQ(uploads.runningUploads(), 64u);
    EXPECT_EQ(request(c, req::cycleUpload, enable, origin + 1), 3204);
    // A host replacing its own upload is not refused.
    EXPECT_EQ(request(c, req::cycleUpload, enable, 1), 0);
}

}  // namespace
}  // namespace tvx
