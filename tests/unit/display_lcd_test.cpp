#include <gtest/gtest.h>

#include <cstring>
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
constexpr uint16_t kBlank = 0x1111;

// A caller's pixel buffer of width x height with a guard zone on each side.
struct GuardedPixels {
    static constexpr size_t kGuardCount = 64;
    GuardedPixels(int32_t w, int32_t h) : store(static_cast<size_t>(w * h) + 2 * kGuardCount, kGuard), width(w) {
        std::fill(pixels(), pixels() + w * h, kBlank);
    }
    uint16_t* pixels() { return store.data() + kGuardCount; }
    uint16_t at(int32_t x, int32_t y) { return pixels()[y * width + x]; }
    bool guardsIntact() const {
        for (size_t i = 0; i < kGuardCount; ++i)
            if (store[i] != kGuard || store[store.size() - 1 - i] != kGuard) return false;
        return true;
    }
    std::vector<uint16_t> store;
    int32_t width;
};

TVX_LcdScreen screenOf(int32_t w, int32_t h, std::vector<TVX_LcdRegion> regions, int32_t bits = 16) {
    TVX_LcdScreen s{};
    s.info = {1, bits, w, h};
    s.regions.count = static_cast<int32_t>(regions.size());
    for (size_t i = 0; i < regions.size() && i < TVX_LCD_MAX_REGIONS; ++i) s.regions.regions[i] = regions[i];
    return s;
}

uint32_t pos(uint32_t x, uint32_t y) { return (y << 16) | x; }

class Lcd : public ::testing::Test {
protected:
    void SetUp() override {
        libraryLoad();
        ASSERT_EQ(c.open(), 0);
    }
    // Every 158 fetch is answered with `data`.
    void answerFetch(Bytes data) {
        c.answer = [data](const Bytes& r) -> std::optional<Bytes> {
            if (testing::commandOf(r) == 158) return data;
            return std::nullopt;
        };
    }
    ScriptedController c;
};

// One chunk painted into an 8 x 4 screen whose region 0 spans columns 2-4
// of rows 1-2.
TEST_F(Lcd, PaintsChunkFromItsPositionWithinTheRegion) {
    struct Case {
        const char* what;
        bool convert;
        uint32_t position;
        std::vector<PixelRun> runs;
        std::vector<std::pair<int, uint16_t>> expect;  // element, value
    };
    const std::vector<Case> cases = {
        {"three pixels of 0x001F", false, pos(2, 1), {{0x001F, 3}}, {{10, 0x1F}, {11, 0x1F}, {12, 0x1F}, {13, kBlank}}},
        {"0x001F converted stays", true, pos(2, 1), {{0x001F, 3}}, {{10, 0x1F}, {12, 0x1F}}},
        {"0x7FFF converted", true, pos(2, 1), {{0x7FFF, 1}}, {{10, 0xFFDF}}},
        {"0x7FFF unconverted", false, pos(2, 1), {{0x7FFF, 1}}, {{10, 0x7FFF}}},
        {"left of the region: its left edge, same row", false, pos(0, 2), {{7, 1}}, {{18, 7}, {16, kBlank}}},
        {"at the right edge: left edge of the next row", false, pos(5, 1), {{7, 1}}, {{18, 7}, {13, kBlank}}},
        {"beyond the right edge: left edge of the next row", false, pos(7, 1), {{7, 1}}, {{18, 7}}},
        {"above the region: its top row", false, pos(3, 0), {{7, 1}}, {{11, 7}, {3, kBlank}}},
        {"a run past the right edge is written on, the next starts a row down", false, pos(2, 1),
         {{5, 4}, {6, 1}},
         {{10, 5}, {13, 5}, {14, kBlank}, {18, 6}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        answerFetch(chunkData(0, encodeRunBytes(k.runs)));
        GuardedPixels px(8, 4);
        const TVX_LcdScreen s = screenOf(8, 4, {{2, 1, 3, 2}});
        uint32_t next = 99;
        const int32_t r = k.convert ? TVX_ELcdDataGet2(c.handle, 0, 0, k.position, &next, nullptr, &s, px.pixels())
                                    : TVX_ELcdDataGet(c.handle, 0, 0, k.position, &next, nullptr, &s, px.pixels());
        EXPECT_EQ(r, 0);
        EXPECT_EQ(next, 0u);
        for (auto [element, value] : k.expect) EXPECT_EQ(px.pixels()[element], value) << "element " << element;
        EXPECT_TRUE(px.guardsIntact());
    }
}

TEST_F(Lcd, FetchRequestLayoutAndRawChunk) {
    const Bytes runs = encodeRunBytes({{0x1234, 2}, {0xBEEF, 256}});
    answerFetch(chunkData(pos(9, 3), runs, 7));
    TVX_LcdRawChunk raw{};
    uint32_t next = 0;
    ASSERT_EQ(TVX_ELcdDataGet(c.handle, 0x102, 3, pos(4, 2), &next, &raw, nullptr, nullptr), 0);
    EXPECT_EQ(next, pos(9, 3));
    EXPECT_EQ(raw.kind, 7);
    EXPECT_EQ(raw.length, 6);
    EXPECT_EQ(Bytes(raw.data, raw.data + 6), runs);
    const Bytes req = c.sent(158).back();
    ASSERT_EQ(req.size(), 14u);
    EXPECT_EQ(req[6], 0x02);  // the screen's low 8 bits
    EXPECT_EQ(req[7], 3);
    EXPECT_EQ(getU16(req.data() + 8), 0);
    EXPECT_EQ(getU32(req.data() + 10), pos(4, 2));
}

// Refusals of a fetch that paints; a guard zone around the buffer shows
// that no hostile chunk writes outside it.
TEST_F(Lcd, RefusesChunksItCannotPaint) {
    struct Case {
        const char* what;
        Bytes reply;
        TVX_LcdScreen screen;
        uint32_t regionIndex;
        uint32_t position;
        int32_t expect;
        size_t paintedBefore;  // elements painted before the refusal
    };
    const TVX_LcdScreen ok = screenOf(8, 4, {{0, 0, 8, 4}});
    const Bytes one = encodeRunBytes({{9, 1}});
    const std::vector<Case> cases = {
        {"kind other than 1", chunkData(0, one, 2), ok, 0, 0, 5028, 0},
        {"8 bits per pixel", chunkData(0, one), screenOf(8, 4, {{0, 0, 8, 4}}, 8), 0, 0, 5029, 0},
        {"region index 5", chunkData(0, one), ok, 5, 0, 20002, 0},
        {"region index 260 (sent as 4)", chunkData(0, one), ok, 260, 0, 20002, 0},
        {"region count 6", chunkData(0, one), screenOf(8, 4, {{0, 0, 8, 4}, {}, {}, {}, {}, {}}), 0, 0, 20002, 0},
        {"width 0", chunkData(0, one), screenOf(0, 4, {{0, 0, 8, 4}}), 0, 0, 20002, 0},
        {"negative height", chunkData(0, one), screenOf(8, -1, {{0, 0, 8, 4}}), 0, 0, 20002, 0},
        {"length over 2048", chunkData(0, one, 1, 2049), ok, 0, 0, 20100, 0},
        {"length beyond the reply", chunkData(0, one, 1, 6), ok, 0, 0, 20100, 0},
        {"start below the last row", chunkData(0, one), ok, 0, pos(0, 65535), 20100, 0},
        {"start in the last row, runs past the end", chunkData(0, encodeRunBytes({{9, 8}, {9, 1}})), ok, 0,
         pos(0, 3), 20100, 8},
        {"one run longer than the buffer", chunkData(0, encodeRunBytes({{9, 256}})), ok, 0, 0, 20100, 0},
        {"region beyond the buffer", chunkData(0, one), screenOf(8, 4, {{60000, 60000, 10, 10}}), 0, 0, 20100, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        answerFetch(k.reply);
        GuardedPixels px(8, 4);
        EXPECT_EQ(TVX_ELcdDataGet(c.handle, 0, k.regionIndex, k.position, nullptr, nullptr, &k.screen, px.pixels()),
                  k.expect);
        EXPECT_TRUE(px.guardsIntact());
        size_t painted = 0;
        for (int i = 0; i < 32; ++i) painted += px.pixels()[i] == 9;
        EXPECT_EQ(painted, k.paintedBefore);
    }
}

TEST_F(Lcd, ArgumentsCheckedBeforeAnyTraffic) {
    const TVX_LcdScreen s = screenOf(8, 4, {{0, 0, 8, 4}});
    const size_t before = c.requests.size();
    EXPECT_EQ(TVX_ELcdDataGet(c.handle, 0, 0, 0, nullptr, nullptr, &s, nullptr), 20002);
    EXPECT_EQ(TVX_ELcdDataCheck(c.handle, 0, nullptr, nullptr), 20002);
    EXPECT_EQ(TVX_ELcdDataGetAll(c.handle, 0, nullptr, nullptr), 20002);
    EXPECT_EQ(TVX_ELcdDataCheckAndGetAll(c.handle, 0, nullptr, nullptr), 20002);
    EXPECT_EQ(c.requests.size(), before);
    // A dead handle; the open tests its record before the handle.
    static int notAHandle = 0;
    TVX_HANDLE dead = reinterpret_cast<TVX_HANDLE>(&notAHandle);
    TVX_LcdScreenInfo info{};
    EXPECT_EQ(TVX_ELcdOpen(dead, 0, nullptr), 20002);
    EXPECT_EQ(TVX_ELcdOpen(dead, 0, &info), 20009);
    EXPECT_EQ(TVX_ELcdSetFeature(dead, 1, 2, 3), 20009);
    EXPECT_EQ(TVX_ELcdDataGetEnd(dead, 0), 20009);
}

TEST_F(Lcd, CheckStoresRegionsAndInfo) {
    Bytes data = {0x11, 2, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x03};
    for (uint16_t v : {1, 2, 3, 4, 10, 20, 30, 40}) testing::appendU16(data, v);
    c.answer = [&](const Bytes& r) -> std::optional<Bytes> {
        if (testing::commandOf(r) == 157) return data;
        return std::nullopt;
    };
    TVX_LcdRegionList list{};
    TVX_LcdCheckInfo info{};
    ASSERT_EQ(TVX_ELcdDataCheck(c.handle, 1, &list, &info), 0);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.regions[1].x, 10);
    EXPECT_EQ(list.regions[1].height, 40);
    const int32_t expected[9] = {0x11, 0x22, 0x33, 0x5544, 0x66, 0x77, 0x88, 1, 1};
    EXPECT_EQ(std::memcmp(info.entries, expected, sizeof expected), 0);
    ASSERT_EQ(c.sent(157).back().size(), 7u);
    EXPECT_EQ(c.sent(157).back()[6], 1);

    // Six regions: the count is stored, nothing else.
    data[1] = 6;
    TVX_LcdRegionList six{};
    six.regions[0].x = 77;
    TVX_LcdCheckInfo untouched{};
    EXPECT_EQ(TVX_ELcdDataCheck(c.handle, 1, &six, &untouched), 20100);
    EXPECT_EQ(six.count, 6);
    EXPECT_EQ(six.regions[0].x, 77);
    EXPECT_EQ(untouched.entries[0], 0);
}

TEST_F(Lcd, CheckAndGetAllWithNoChangeSendsNoFetch) {
    c.answer = [](const Bytes& r) -> std::optional<Bytes> {
        if (testing::commandOf(r) == 157) return Bytes(10, 0);
        return std::nullopt;
    };
    TVX_LcdScreen s = screenOf(8, 4, {{0, 0, 8, 4}, {1, 1, 1, 1}});
    GuardedPixels px(8, 4);
    EXPECT_EQ(TVX_ELcdDataCheckAndGetAll(c.handle, 0, &s, px.pixels()), 0);
    EXPECT_EQ(s.regions.count, 0);
    EXPECT_TRUE(c.sent(158).empty());
}

// A controller that sends region 0 in three chunks and region 1 in two.
struct ChunkedRegions {
    std::vector<std::string> events;  // "fetch R@P" and "progress"
    std::optional<Bytes> answer(const Bytes& r) {
        if (testing::commandOf(r) != 158) return std::nullopt;
        const uint8_t region = r[7];
        const uint32_t p = testing::positionOf(r);
        events.push_back("fetch " + std::to_string(region) + "@" + std::to_string(p >> 16));
        const uint32_t last = region == 0 ? 2 : 5;  // last row of the region
        const uint32_t y = p >> 16;
        const Bytes row = encodeRunBytes({{static_cast<uint16_t>(region + 1), 4}});
        return chunkData(y < last ? pos(0, y + 1) : p, row);
    }
};

ChunkedRegions* g_chunked = nullptr;
void recordProgress(TVX_HANDLE) { g_chunked->events.push_back("progress"); }

TEST_F(Lcd, ProgressCalledBeforeContinuationsOnly) {
    struct Case {
        int32_t every;
        TVX_LcdProgressCallback callback;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {1, recordProgress, {"fetch 0@0", "progress", "fetch 0@1", "progress", "fetch 0@2", "fetch 1@4", "progress", "fetch 1@5"}},
        {2, recordProgress, {"fetch 0@0", "fetch 0@1", "progress", "fetch 0@2", "fetch 1@4", "fetch 1@5"}},
        {3, recordProgress, {"fetch 0@0", "fetch 0@1", "fetch 0@2", "fetch 1@4", "progress", "fetch 1@5"}},
        {0, recordProgress, {"fetch 0@0", "fetch 0@1", "fetch 0@2", "fetch 1@4", "fetch 1@5"}},
        {1, nullptr, {"fetch 0@0", "fetch 0@1", "fetch 0@2", "fetch 1@4", "fetch 1@5"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.every);
        ChunkedRegions script;
        g_chunked = &script;
        c.answer = [&](const Bytes& r) { return script.answer(r); };
        const TVX_LcdScreen s = screenOf(4, 6, {{0, 0, 4, 3}, {0, 4, 4, 2}});
        GuardedPixels px(4, 6);
        ASSERT_EQ(TVX_ELcdDataGetAllWithEvents(c.handle, 0, &s, px.pixels(), k.every, k.callback), 0);
        EXPECT_EQ(script.events, k.events);
        EXPECT_EQ(px.at(3, 2), 1);
        EXPECT_EQ(px.at(0, 3), kBlank);
        EXPECT_EQ(px.at(3, 5), 2);
        EXPECT_TRUE(px.guardsIntact());
    }
}

TEST_F(Lcd, GetAllStopsAtTheFirstError) {
    int fetches = 0;
    c.answer = [&](const Bytes& r) -> std::optional<Bytes> {
        if (testing::commandOf(r) != 158) return std::nullopt;
        ++fetches;
        return chunkData(testing::positionOf(r) + 0x10000, encodeRunBytes({{3, 4}}), fetches == 2 ? 9 : 1);
    };
    const TVX_LcdScreen s = screenOf(4, 6, {{0, 0, 4, 6}});
    GuardedPixels px(4, 6);
    EXPECT_EQ(TVX_ELcdDataGetAll(c.handle, 0, &s, px.pixels()), 5028);
    EXPECT_EQ(fetches, 2);
    EXPECT_EQ(px.at(0, 0), 3);  // painted before the failure, kept
    // A region list longer than five, or a count of zero.
    const TVX_LcdScreen many = screenOf(4, 6, {{}, {}, {}, {}, {}, {}});
    EXPECT_EQ(TVX_ELcdDataGetAll(c.handle, 0, &many, px.pixels()), 20002);
    const TVX_LcdScreen none = screenOf(4, 6, {});
    EXPECT_EQ(TVX_ELcdDataGetAll(c.handle, 0, &none, px.pixels()), 0);
    EXPECT_EQ(fetches, 2);
}

TEST_F(Lcd, EndlessContinuationsAreRefused) {
    // Every chunk names a further position and paints nothing.
    c.answer = [](const Bytes& r) -> std::optional<Bytes> {
        if (testing::commandOf(r) != 158) return std::nullopt;
        return chunkData(testing::positionOf(r) + 1, {});
    };
    const TVX_LcdScreen s = screenOf(2, 2, {{0, 0, 2, 2}});
    GuardedPixels px(2, 2);
    EXPECT_EQ(TVX_ELcdDataGetAll(c.handle, 0, &s, px.pixels()), 20100);
    EXPECT_LE(c.sent(158).size(), 5u);
}

TEST_F(Lcd, EndOfPass) {
    for (auto [length, expect] : {std::pair{0, 0}, std::pair{3, 20100}}) {
        answerFetch(chunkData(0, Bytes(static_cast<size_t>(length), 0)));
        EXPECT_EQ(TVX_ELcdDataGetEnd(c.handle, 2), expect);
        const Bytes req = c.sent(158).back();
        EXPECT_EQ(req[6], 2);
        EXPECT_EQ(req[7], 100);
        EXPECT_EQ(getU32(req.data() + 10), 0xFFFFFFFFu);
    }
}

TEST_F(Lcd, OpenSendsFeaturesAndReadsTheScreen) {
    c.answer = [](const Bytes& r) -> std::optional<Bytes> {
        if (testing::commandOf(r) == 156) return Bytes{3, 16, 0xEE, 0xEE, 0x20, 0x03, 0xE0, 0x01};
        return std::nullopt;
    };
    ASSERT_EQ(TVX_ELcdSetFeature(c.handle, 0x1111, 0x2222, 0x3333), 0);
    TVX_LcdScreenInfo info{};
    ASSERT_EQ(TVX_ELcdOpen(c.handle, 4, &info), 0);
    EXPECT_EQ(info.screenKind, 3);
    EXPECT_EQ(info.bitsPerPixel, 16);
    EXPECT_EQ(info.width, 800);
    EXPECT_EQ(info.height, 480);
    const Bytes expected = {4, 0, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 1, 0, 1, 0};
    const Bytes req = c.sent(156).back();
    ASSERT_EQ(req.size(), 18u);
    EXPECT_EQ(Bytes(req.begin() + 6, req.end()), expected);
}

TEST_F(Lcd, InputRequestLayouts) {
    struct Case {
        const char* what;
        std::function<int32_t(TVX_HANDLE)> call;
        uint16_t command;
        Bytes args;
    };
    const std::vector<Case> cases = {
        {"mouse", [](TVX_HANDLE h) { return TVX_ELcdMouseSet(h, 1, 0x102, 0x0304, 0x0506); }, 150,
         {1, 2, 4, 3, 6, 5}},
        {"mouse2", [](TVX_HANDLE h) { return TVX_ELcdMouseSet2(h, 1, 2, 3, 4, 0xABCD); }, 150,
         {1, 2, 3, 0, 4, 0, 0xCD, 0xAB}},
        {"key", [](TVX_HANDLE h) { return TVX_ELcdKeySet(h, 2, 0x4142, 0x101); }, 151, {2, 1, 0x42, 0x41, 1}},
        {"virtual key", [](TVX_HANDLE h) { return TVX_ELcdVKeySet(h, 2, 7, 0); }, 152, {2, 1, 7, 0, 0}},
        {"encoder", [](TVX_HANDLE h) { return TVX_ELcdCoderSet(h, 1, 2, -1, 0x01020304); }, 167,
         {1, 0, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(k.call(c.handle), 0);
        const Bytes req = c.requests.back();
        EXPECT_EQ(testing::commandOf(req), k.command);
        EXPECT_EQ(Bytes(req.begin() + 6, req.end()), k.args);
        EXPECT_EQ(getU16(req.data()), req.size());
    }
}

TEST_F(Lcd, CloseIsSentWithoutWaiting) {
    std::vector<Bytes> seen;
    c.dropRequest = [&](const Bytes& r) {
        seen.push_back(r);
        return true;  // no reply ever comes
    };
    EXPECT_EQ(TVX_ELcdClose(c.handle, 3), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].size(), 7u);
    EXPECT_EQ(testing::commandOf(seen[0]), 155);
    EXPECT_EQ(seen[0][6], 3);
}

}  // namespace
}  // namespace tvx
