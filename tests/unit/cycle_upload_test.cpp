// Cycle upload: the item-text reader, enable and its layout checks, block
// processing, value conversion, disable and force once, over the in-process
// simulated controller.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "engine/controller.h"
#include "engine/cycle_upload_service.h"
#include "frame/library_frame.h"
#include "monitoring/cycle_item_text.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

// ---------------------------------------------------------------------------
// The item-text reader

struct TextCase {
    const char* text;
    int32_t result;           // 0 when every item reads
    std::vector<std::pair<std::string, int32_t>> items;  // read before the result
};

TEST(CycleItemText, ReadsNamesStartsAndSeparators) {
    const std::string longest(47, 'n');
    const std::string tooLong(48, 'n');
    const std::vector<TextCase> cases = {
        {"A(0), B(5)", 0, {{"A", 0}, {"B", 5}}},
        {"vr(3)", 0, {{"vr", 3}}},
        {"", 0, {}},
        {" \t\r", 0, {}},
        {"A,", 0, {{"A", 0}}},
        {"A B\tC", 0, {{"A", 0}, {"B", 0}, {"C", 0}}},
        {"A\nB", 3203, {{"A", 0}}},
        {"A _\nB", 0, {{"A", 0}, {"B", 0}}},
        {"A _ \t\nB", 0, {{"A", 0}, {"B", 0}}},
        {"A_\nB", 3203, {{"A_", 0}}},  // the underscore belongs to the name: the line break is bare
        {"A _\n\nB", 3203, {{"A", 0}}},
        {"A\n", 3203, {{"A", 0}}},
        {"A,,B", 3203, {{"A", 0}}},
        {"1A", 3203, {}},
        {"_x y", 0, {{"_x", 0}, {"y", 0}}},
        {"A (7) B", 0, {{"A", 7}, {"B", 0}}},
        {"A(1.9)", 0, {{"A", 1}}},
        {"A(-3)", 0, {{"A", -3}}},
        {"A(x)", 0, {{"A", 0}}},
        {"A( 7)", 0, {{"A", 0}}},
        {"A(0,4) B(2, 9)", 0, {{"A", 0}, {"B", 2}}},
        {"A(0000000000000000000000000000042)", 0, {{"A", 42}}},  // 31 characters: read
        {"A(00000000000000000000000000000042)", 0, {{"A", 0}}},  // 32: too long, 0
        {"A(5", 0, {{"A", 5}}},  // the scan for ')' stops at the text's end
        {"A(2)junk)B", 3203, {{"A", 2}, {"junk", 0}}},  // ')' cannot start a name
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        TextCursor cursor = beginItemText(c.text);
        std::vector<std::pair<std::string, int32_t>> read;
        int32_t r;
        ItemText item;
        while ((r = readItem(cursor, &item)) == 0) read.emplace_back(item.name, item.start);
        EXPECT_EQ(r, c.result == 0 ? 3202 : c.result);
        EXPECT_EQ(read, c.items);
    }
    // 47 characters make a name, 48 do not.
    ItemText item;
    std::string text = longest + " " + tooLong;
    TextCursor cursor = beginItemText(text.c_str());
    ASSERT_EQ(readItem(cursor, &item), 0);
    EXPECT_EQ(std::string(item.name), longest);
    EXPECT_EQ(readItem(cursor, &item), 3201);
}

// ---------------------------------------------------------------------------
// Over the in-process controller

class CycleUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(libraryLoad(), 0);
        ASSERT_EQ(c.open(), 0);
    }
    sim::interp::Variables& vars() { return c.controller.console().interpreter().variables(); }
    // Feeds a pushed packet (function 73) to the handle.
    void push(uint16_t command, uint16_t sequence, const Bytes& payload, int lengthOverride = -1) {
        Bytes tail{0, 0, 0, 0};
        tail.insert(tail.end(), payload.begin(), payload.end());
        Bytes f = testing::tcpFrame(254, 73, testing::packetBytes(command, sequence, tail, lengthOverride));
        sim::feedInProcess(c.handle, f.data(), f.size());
    }
    void pushBlock(uint8_t buffer, uint16_t sequence, Bytes block) {
        block.insert(block.begin(), buffer);
        push(399, sequence, block);
    }
    // Replaces the reply of the next enable with `layout` (status 0).
    void replyLayout(const Bytes& layout) {
        c.filter = [layout](const Bytes& request, Bytes& reply) {
            if (getU16(request.data() + 2) != 427 || request[7] != 1) return true;
            reply = testing::replyPacket(427, getU16(request.data() + 4), 0, layout);
            return true;
        };
    }
    double readD(int32_t buffer, const char* name, uint32_t index, int32_t* r) {
        double v = -12345;
        *r = TVX_CycleUpReadBuff(c.handle, buffer, name, index, &v);
        return v;
    }

    InProcessController c{Framing::tcp};
};

// A layout record: first index, count, type flags, bits.
void record(Bytes& layout, uint16_t first, uint16_t count, uint8_t type, uint8_t bits) {
    const size_t at = layout.size();
    layout.resize(at + 6);
    putU16(layout.data() + at, first);
    putU16(layout.data() + at + 2, count);
    layout[at + 4] = type;
    layout[at + 5] = bits;
}
Bytes layoutHeader(uint16_t items, uint16_t blockLength) {
    Bytes l(4);
    putU16(l.data(), items);
    putU16(l.data() + 2, blockLength);
    return l;
}

TEST_F(CycleUpload, EnableSendsTheTextAndReadsLiveValues) {
    vars().vr()[0] = 1.5;
    vars().vr()[1] = -2.25;
    ASSERT_FALSE(vars().setAxisValue(1, sim::interp::AxisParam::dpos, 123.0625));
    c.model().setInput(9, true);
    const char* text = "vr(0,2), dpos(0,2) in(0,16) ticks";
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 1, 20, text), 0);
    const Bytes& req = c.requests.back();
    ASSERT_EQ(req.size(), 13 + std::strlen(text));
    EXPECT_EQ(getU16(req.data()), req.size());
    EXPECT_EQ(getU16(req.data() + 2), 427);
    EXPECT_EQ(req[6], 1);
    EXPECT_EQ(req[7], 1);
    EXPECT_EQ(getU32(req.data() + 8), 20u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(req.data() + 12)), text);
    EXPECT_EQ(req.back(), 0);

    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 1), 0u);
    ASSERT_EQ(TVX_CycleUpForceOnce(c.handle, 1), 0);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 1), 1u);
    int32_t r;
    EXPECT_EQ(readD(1, "VR", 0, &r), 1.5);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(readD(1, "vr", 1, &r), -2.25);
    EXPECT_EQ(readD(1, "Dpos", 1, &r), 123.0625);
    EXPECT_EQ(readD(1, "IN", 9, &r), 1.0);
    EXPECT_EQ(readD(1, "IN", 8, &r), 0.0);
    readD(1, "VR", 2, &r);  // index at the end of the item
    EXPECT_EQ(r, 20039);
    readD(1, "OP", 0, &r);
    EXPECT_EQ(r, 20039);
    readD(2, "VR", 0, &r);
    EXPECT_EQ(r, 20002);
    int32_t i = 0;
    EXPECT_EQ(TVX_CycleUpReadBuffInt(c.handle, 1, "VR", 1, &i), 0);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(TVX_CycleUpReadBuff(c.handle, 1, nullptr, 0, nullptr), 20002);
    EXPECT_EQ(TVX_CycleUpReadBuffInt(c.handle, 1, "VR", 0, nullptr), 20002);
}

TEST_F(CycleUpload, PushedBlocksAreCheckedBeforeTheyAreKept) {
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 2, 10, "VR(0,2)"), 0);
    Bytes block(8);
    putF32(block.data(), 3.5f);
    pushBlock(2, 100, block);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 2), 1u);

    Bytes other(8);
    putF32(other.data(), 9.0f);
    pushBlock(2, 100, other);                          // the same sequence again: a repeat
    pushBlock(2, 101, Bytes(other.begin(), other.end() - 1));  // one byte short
    pushBlock(2, 102, Bytes(9, 0x77));                 // one byte long
    pushBlock(3, 103, other);                          // a buffer nobody enabled
    push(399, 104, {}, 10);                            // too short to name a buffer
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 2), 1u);
    int32_t r;
    EXPECT_EQ(readD(2, "VR", 0, &r), 3.5);

    pushBlock(2, 105, other);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 2), 2u);
    EXPECT_EQ(readD(2, "VR", 0, &r), 9.0);
}

TEST_F(CycleUpload, BufferNumberTravelsAsItsLowByte) {
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 300, 10, "VR(0)"), 0);
    EXPECT_EQ(c.requests.back()[6], 44);
    pushBlock(44, 1, Bytes(4, 0));
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 300), 0u);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 44), 0u);
    // A force once is answered for 44 and is dropped the same way.
    EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, 300), 0);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 300), 0u);
}

TEST_F(CycleUpload, RefusedEnablesLeaveTheBufferInactive) {
    std::string items;
    for (int i = 0; i < 33; ++i) items += "VR(" + std::to_string(i) + ") ";
    const size_t sent = c.requests.size();
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, items.c_str()), 20037);
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, "VR\nTABLE"), 3203);
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, std::string(48, 'X').c_str()), 3201);
    EXPECT_EQ(c.requests.size(), sent);  // nothing went out

    // A working upload restarted with a text that is too long stops.
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, "VR(0)"), 0);
    ASSERT_EQ(TVX_CycleUpForceOnce(c.handle, 1), 0);
    const std::string tooLong = "VR(0)" + std::string(2021, ' ');
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, tooLong.c_str()), 20035);
    int32_t r;
    readD(1, "VR", 0, &r);
    EXPECT_EQ(r, 20002);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 1), 0u);

    // A null text is refused before anything changes.
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, "VR(0)"), 0);
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, nullptr), 20002);
    readD(1, "VR", 0, &r);
    EXPECT_EQ(r, 0);

    // The controller's refusal is the result.
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, "NO_SUCH_NAME"), 3204);
    readD(1, "VR", 0, &r);
    EXPECT_EQ(r, 20002);
}

TEST_F(CycleUpload, LayoutsThatDoNotFitAreRefused) {
    struct Case {
        const char* what;
        Bytes layout;
        int32_t result;
    };
    Bytes fits = layoutHeader(2, 12);
    record(fits, 0, 1, 0x80, 64);
    record(fits, 0, 1, 0x80, 32);
    Bytes overrun = layoutHeader(2, 11);  // 8 + 4 bytes of items in 11
    record(overrun, 0, 1, 0x80, 64);
    record(overrun, 0, 1, 0x80, 32);
    Bytes huge = layoutHeader(2, 12);  // 65535 elements of 255 bits
    record(huge, 0, 65535, 0, 255);
    record(huge, 0, 1, 0x80, 32);
    Bytes big = layoutHeader(2, 2049);
    record(big, 0, 1, 0x80, 64);
    record(big, 0, 1, 0x80, 32);
    Bytes shortRecords = layoutHeader(2, 12);
    record(shortRecords, 0, 1, 0x80, 64);
    shortRecords.resize(shortRecords.size() + 5);
    const std::vector<Case> cases = {
        {"fits", fits, 0},
        {"other item count", layoutHeader(3, 12), 20038},
        {"block larger than the buffer", big, 20035},
        {"records cut short", shortRecords, 20100},
        {"items overrun the block", overrun, 20100},
        {"an item far past the block", huge, 20100},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        replyLayout(k.layout);
        EXPECT_EQ(TVX_CycleUpEnable(c.handle, 5, 10, "A B"), k.result);
        EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, 5), k.result == 0 ? 3204 : 20002);
    }
}

// Every item type, read as a double and as an integer.
TEST_F(CycleUpload, EveryItemTypeConverts) {
    const char* text = "F64 F32 U64 U32 U16 U8 S64 S32 S16 S8 BITS(0) ODD(70000) F24";
    Bytes layout = layoutHeader(13, 0);
    record(layout, 0, 3, 0x80, 64);
    record(layout, 0, 4, 0x80, 32);
    record(layout, 0, 1, 0x40, 64);
    record(layout, 0, 2, 0x40, 32);
    record(layout, 0, 1, 0x40, 16);
    record(layout, 0, 1, 0x40, 8);
    record(layout, 0, 1, 0x00, 64);
    record(layout, 0, 1, 0x00, 32);
    record(layout, 0, 1, 0x00, 16);
    record(layout, 0, 1, 0x00, 8);
    record(layout, 0, 16, 0x00, 1);
    record(layout, 70000 & 0xFFFF, 1, 0x00, 8);  // a start index wider than 16 bits
    record(layout, 0, 1, 0x80, 24);              // a single read from 3 bytes: past the block
    Bytes block;
    auto add = [&](size_t n, auto put) {
        const size_t at = block.size();
        block.resize(at + n);
        put(block.data() + at);
    };
    add(24, [](uint8_t* p) {
        putF64(p, -2.75);
        putF64(p + 8, std::nan(""));
        putF64(p + 16, 3e9);
    });
    add(16, [](uint8_t* p) {
        putF32(p, 7.5f);
        putF32(p + 4, -7.5f);
        putF32(p + 8, -3e9f);
        putF32(p + 12, 2147483520.0f);
    });
    add(8, [](uint8_t* p) { putU64(p, 0xFFFFFFFFFFFFFFFFull); });
    add(8, [](uint8_t* p) {
        putU32(p, 0xFFFFFFFFu);
        putU32(p + 4, 7);
    });
    add(2, [](uint8_t* p) { putU16(p, 0xFFFE); });
    add(1, [](uint8_t* p) { p[0] = 0xF0; });
    add(8, [](uint8_t* p) { putU64(p, static_cast<uint64_t>(-5000000000ll)); });
    add(4, [](uint8_t* p) { putU32(p, static_cast<uint32_t>(-70000)); });
    add(2, [](uint8_t* p) { putU16(p, 0x8000); });
    add(1, [](uint8_t* p) { p[0] = 0x80; });
    add(2, [](uint8_t* p) {
        p[0] = 0x01;  // index 0
        p[1] = 0x02;  // index 9: bit 1 of the second byte
    });
    add(1, [](uint8_t* p) { p[0] = 42; });
    add(3, [](uint8_t* p) { p[0] = p[1] = p[2] = 0; });
    putU16(layout.data() + 2, static_cast<uint16_t>(block.size()));
    replyLayout(layout);
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 0, 10, text), 0);
    pushBlock(0, 1, block);
    ASSERT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 0), 1u);

    struct Case {
        const char* name;
        uint32_t index;
        double asDouble;  // NaN: expect NaN
        int32_t asInt;
    };
    const std::vector<Case> cases = {
        {"F64", 0, -2.75, -2},
        {"F64", 1, std::nan(""), INT32_MIN},
        {"F64", 2, 3e9, INT32_MIN},
        {"F32", 0, 7.5, 7},
        {"F32", 1, -7.5, -7},
        {"F32", 2, -3e9, INT32_MIN},
        {"F32", 3, 2147483520.0, 2147483520},
        {"U64", 0, -1.0, -1},
        {"U32", 0, 4294967295.0, -1},
        {"U32", 1, 7.0, 7},
        {"U16", 0, 65534.0, 65534},
        {"U8", 0, 240.0, 240},
        {"S64", 0, -5000000000.0, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(-5000000000ll)))},
        {"S32", 0, -70000.0, -70000},
        {"S16", 0, -32768.0, -32768},
        {"S8", 0, -128.0, -128},
        {"bits", 0, 1.0, 1},
        {"BITS", 1, 0.0, 0},
        {"BITS", 9, 1.0, 1},
        {"BITS", 8, 0.0, 0},
        {"ODD", 70000, 42.0, 42},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + "(" + std::to_string(k.index) + ")");
        double d = 0;
        int32_t i = 0;
        ASSERT_EQ(TVX_CycleUpReadBuff(c.handle, 0, k.name, k.index, &d), 0);
        ASSERT_EQ(TVX_CycleUpReadBuffInt(c.handle, 0, k.name, k.index, &i), 0);
        if (std::isnan(k.asDouble))
            EXPECT_TRUE(std::isnan(d));
        else
            EXPECT_EQ(d, k.asDouble);
        EXPECT_EQ(i, k.asInt);
    }
    double d;
    EXPECT_EQ(TVX_CycleUpReadBuff(c.handle, 0, "ODD", 4464, &d), 20039);  // the 16-bit index is not the item's
    EXPECT_EQ(TVX_CycleUpReadBuff(c.handle, 0, "F24", 0, &d), 20039);    // 4 bytes from 3 left
    EXPECT_EQ(TVX_CycleUpReadBuff(c.handle, 0, "BITS", 16, &d), 20039);
}

TEST_F(CycleUpload, EveryBufferSearchAndDisable) {
    int32_t r;
    readD(-1, "VR", 0, &r);
    EXPECT_EQ(r, 20002);  // nothing active
    EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, -1), 0);
    vars().table()[3] = 4.0;
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 7, 10, "VR(0)"), 0);
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 8, 10, "TABLE(3)"), 0);
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 9, 10, "VR(1)"), 0);
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 10, 10, "VR(2)"), 0);
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 11, 10, "VR(3)"), 20005);
    EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, -1), 0);
    EXPECT_EQ(readD(-1, "TABLE", 3, &r), 4.0);
    EXPECT_EQ(r, 0);
    readD(-1, "TABLE", 4, &r);
    EXPECT_EQ(r, 20039);

    ASSERT_EQ(TVX_CycleUpDisable(c.handle, 8), 0);
    const Bytes& req = c.requests.back();
    EXPECT_EQ(req, (Bytes{13, 0, 0xAB, 1, req[4], req[5], 8, 0, 0, 0, 0, 0, 0}));
    readD(-1, "TABLE", 3, &r);
    EXPECT_EQ(r, 20039);
    EXPECT_EQ(TVX_CycleUpEnable(c.handle, 11, 10, "VR(3)"), 0);  // its buffer is free again

    // Every buffer; the local side stops even when the controller refuses.
    c.filter = testing::replyWith(427, 3204);
    EXPECT_EQ(TVX_CycleUpDisable(c.handle, -1), 3204);
    EXPECT_EQ(c.requests.back()[6], 0xFF);
    readD(-1, "VR", 0, &r);
    EXPECT_EQ(r, 20002);
    EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, 7), 20002);
}

TEST_F(CycleUpload, ShortForceOnceRepliesAreIgnored) {
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 1, 10, "VR(0)"), 0);
    c.filter = testing::replyWith(428, 0);
    EXPECT_EQ(TVX_CycleUpForceOnce(c.handle, 1), 0);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 1), 0u);
}

TEST(CycleStrings, FoldInPlace) {
    char upper[] = "abc_XYZ 09 \xE4\xFF";
    EXPECT_EQ(strupr(upper), upper);
    EXPECT_STREQ(upper, "ABC_XYZ 09 \xE4\xFF");
    char lower[] = "ABC_xyz 09 \xC4\xFF";
    EXPECT_EQ(strlwr(lower), lower);
    EXPECT_STREQ(lower, "abc_xyz 09 \xC4\xFF");  // the "C" locale folds ASCII only
}

// ---------------------------------------------------------------------------
// The simulator's side: blocks every cycle, values that move.

TEST_F(CycleUpload, SimulatorPushesMovingValuesEveryCycle) {
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 1, 50, "DPOS(0) MPOS(0) TICKS IN(0,2)"), 0);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 1000), 1u);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 1049), 0u);
    int32_t r;
    const double firstPos = readD(1, "DPOS", 0, &r);
    const double firstTicks = readD(1, "TICKS", 0, &r);
    const double firstIn = readD(1, "IN", 0, &r);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 1050), 1u);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 1), 2u);
    EXPECT_GT(readD(1, "DPOS", 0, &r), firstPos);
    EXPECT_LT(readD(1, "MPOS", 0, &r), readD(1, "DPOS", 0, &r));
    EXPECT_EQ(readD(1, "TICKS", 0, &r), firstTicks + 1);
    EXPECT_NE(readD(1, "IN", 0, &r), firstIn);
    ASSERT_EQ(TVX_CycleUpDisable(c.handle, 1), 0);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 1200), 0u);
}

}  // namespace
}  // namespace tvx
