#include <gtest/gtest.h>

#include <vector>

#include "frame/library_frame.h"
#include "support/display_replies.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::chunkData;
using testing::encodeRunBytes;
using testing::PixelRun;
using testing::ScriptedController;

constexpr uint16_t kGuard = 0xA5A5;

Bytes description(uint16_t w, uint16_t h, uint16_t bits, uint32_t extra = 0) {
    Bytes d;
    testing::appendU16(d, w);
    testing::appendU16(d, h);
    testing::appendU16(d, bits);
    testing::appendU16(d, 0xEEEE);
    testing::appendU32(d, extra);
    return d;
}

class Vision : public ::testing::Test {
protected:
    void SetUp() override {
        libraryLoad();
        ASSERT_EQ(c.open(), 0);
    }
    // An image of w x h sent as the given chunks: chunk i answers the i-th
    // fetch with its position, and the last one ends the image.
    void script(uint16_t w, uint16_t h, uint16_t bits, std::vector<Bytes> chunks) {
        c.answer = [=, this](const Bytes& r) -> std::optional<Bytes> {
            if (testing::commandOf(r) != 165) return std::nullopt;
            if (testing::positionOf(r) == 0xFFFFFFFFu) return description(w, h, bits, 0x12345678);
            const size_t i = fetches++;
            return i < chunks.size() ? chunks[i] : chunkData(0, {});
        };
    }
    // Fetches into a 4 x 2 buffer between guard zones; returns the result.
    int32_t fetch(bool convert = false, int32_t size = 16) {
        store.assign(8 + 16, kGuard);
        std::fill(store.begin() + 8, store.begin() + 16, 0);
        return convert ? TVX_NVLatinImgGet2(c.handle, 2, &w, &h, &bits, store.data() + 8, size)
                       : TVX_NVLatinImgGet(c.handle, 2, &w, &h, &bits, store.data() + 8, size);
    }
    std::vector<uint16_t> image() const { return {store.begin() + 8, store.begin() + 16}; }
    bool guardsIntact() const {
        for (int i = 0; i < 8; ++i)
            if (store[i] != kGuard || store[16 + i] != kGuard) return false;
        return true;
    }

    ScriptedController c;
    size_t fetches = 0;
    std::vector<uint16_t> store;
    int32_t w = -1, h = -1, bits = -1;
};

TEST_F(Vision, FillsTheImageFromItsRuns) {
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
        bool convert;
        std::vector<uint16_t> expect;
    };
    const std::vector<Case> cases = {
        {"one chunk, runs ending at the row's end",
         {chunkData(0, encodeRunBytes({{1, 3}, {2, 1}, {2, 3}, {3, 1}}))}, false, {1, 1, 1, 2, 2, 2, 2, 3}},
        {"a run past the row's end: the next starts at column 0 of the next row",
         {chunkData(0, encodeRunBytes({{1, 3}, {2, 4}, {3, 1}}))}, false, {1, 1, 1, 2, 3, 2, 2, 0}},
        {"two chunks, the second from the next position",
         {chunkData(2, encodeRunBytes({{5, 2}})), chunkData(0, encodeRunBytes({{6, 2}, {7, 4}}))}, false,
         {5, 5, 6, 6, 7, 7, 7, 7}},
        {"a chunk position whose column equals the width starts the next row",
         {chunkData(4, encodeRunBytes({{5, 4}})), chunkData(0, encodeRunBytes({{6, 4}}))}, false,
         {5, 5, 5, 5, 6, 6, 6, 6}},
        {"converted colours", {chunkData(0, encodeRunBytes({{0x7FFF, 4}, {0x001F, 4}}))}, true,
         {0xFFDF, 0xFFDF, 0xFFDF, 0xFFDF, 0x1F, 0x1F, 0x1F, 0x1F}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        fetches = 0;
        script(4, 2, 16, k.chunks);
        EXPECT_EQ(fetch(k.convert), 0);
        EXPECT_EQ(image(), k.expect);
        EXPECT_EQ(fetches, k.chunks.size());
        if (k.chunks.size() == 2) {  // the second chunk is asked for at the first one's next position
            EXPECT_EQ(testing::positionOf(c.sent(165).back()), getU32(k.chunks[0].data()));
        }
        EXPECT_TRUE(guardsIntact());
        EXPECT_EQ(w, 4);
        EXPECT_EQ(h, 2);
        EXPECT_EQ(bits, 16);
    }
    const std::vector<Bytes> sent = c.sent(165);
    EXPECT_EQ(getU16(sent.back().data() + 6), 2);
    EXPECT_EQ(sent.back().size(), 14u);
}

TEST_F(Vision, RefusesWithoutWritingOutsideTheImage) {
    struct Case {
        const char* what;
        uint16_t w, h, bits;
        std::vector<Bytes> chunks;
        int32_t size;
        int32_t expect;
        size_t fetchesExpected;
    };
    const std::vector<Case> cases = {
        {"8 bits per pixel", 4, 2, 8, {}, 16, 5029, 0},
        {"buffer one byte short", 4, 2, 16, {}, 15, 20030, 0},
        {"negative buffer size", 4, 2, 16, {}, -1, 20030, 0},
        {"size overflowing 32 bits", 46341, 46341, 16, {}, 16, 20030, 0},
        {"length over 2048", 4, 2, 16, {chunkData(0, encodeRunBytes({{1, 1}}), 1, 2049)}, 16, 20100, 1},
        {"length beyond the reply", 4, 2, 16, {chunkData(0, encodeRunBytes({{1, 1}}), 1, 9)}, 16, 20100, 1},
        {"kind other than 1", 4, 2, 16, {chunkData(0, encodeRunBytes({{1, 1}}), 3)}, 16, 5028, 1},
        {"runs past the image's end", 4, 2, 16, {chunkData(0, encodeRunBytes({{1, 4}, {1, 4}, {1, 1}}))}, 16, 20100, 1},
        {"one long run", 4, 2, 16, {chunkData(0, encodeRunBytes({{1, 256}}))}, 16, 20100, 1},
        {"a chunk starting below the last row", 4, 2, 16,
         {chunkData(0x20000, encodeRunBytes({{1, 1}})), chunkData(0, encodeRunBytes({{1, 1}}))}, 16, 20100, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        fetches = 0;
        script(k.w, k.h, k.bits, k.chunks);
        EXPECT_EQ(fetch(false, k.size), k.expect);
        EXPECT_TRUE(guardsIntact());
        EXPECT_EQ(fetches, k.fetchesExpected);
        // The sizes are written before any check.
        EXPECT_EQ(w, k.w);
        EXPECT_EQ(h, k.h);
        EXPECT_EQ(bits, k.bits);
    }
    script(4, 2, 16, {});
    EXPECT_EQ(TVX_NVLatinImgGet(c.handle, 0, nullptr, nullptr, nullptr, nullptr, 16), 20002);
}

TEST_F(Vision, DescriptionOutputsAreOptional) {
    script(640, 480, 16, {});
    int32_t width = 0, height = 0, depth = 0, extra = 0;
    ASSERT_EQ(TVX_NVLatinImgGetInfo(c.handle, 7, &width, &height, &depth, &extra), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(extra, 0x12345678);
    EXPECT_EQ(TVX_NVLatinImgGetInfo(c.handle, 7, nullptr, nullptr, nullptr, nullptr), 0);
    const Bytes req = c.sent(165).back();
    EXPECT_EQ(getU16(req.data() + 6), 7);
    EXPECT_EQ(getU32(req.data() + 10), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tvx
