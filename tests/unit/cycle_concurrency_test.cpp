// Value reads racing with pushed blocks: a read sees one whole block, never
// parts of two. Run under ThreadSanitizer as well, which also reports any
// access to a block outside the buffer's guard.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "frame/library_frame.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;

// Blocks of two 64-bit items whose eight bytes all hold the same value:
// a torn copy shows as a mixture.
uint64_t pattern(uint8_t b) { return 0x0101010101010101ull * b; }

TEST(CycleConcurrency, ReadsNeverSeeATornBlock) {
    ASSERT_EQ(libraryLoad(), 0);
    testing::InProcessController c{Framing::tcp};
    ASSERT_EQ(c.open(), 0);
    Bytes layout(10, 0);  // one item of 32 signed 64-bit values in 256 bytes
    putU16(layout.data(), 1);
    putU16(layout.data() + 2, 256);
    putU16(layout.data() + 6, 32);
    layout[9] = 64;
    c.filter = testing::replyWith(427, 0, layout);
    ASSERT_EQ(TVX_CycleUpEnable(c.handle, 3, 1, "V"), 0);

    std::set<int32_t> valid;
    std::set<double> validDoubles;
    for (int b = 1; b < 128; ++b) {
        const uint64_t v = pattern(static_cast<uint8_t>(b));
        valid.insert(static_cast<int32_t>(static_cast<uint32_t>(v)));
        validDoubles.insert(static_cast<double>(static_cast<int64_t>(v)));
    }

    constexpr int kBlocks = 4000;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    // The receive side: one thread, as on a real link.
    std::atomic<int> readersReady{0};
    std::thread receiver([&] {
        while (readersReady.load() < 2) std::this_thread::yield();
        for (int i = 0; i < kBlocks; ++i) {
            std::this_thread::yield();  // give the readers turns between blocks
            const uint8_t b = static_cast<uint8_t>(1 + i % 127);
            Bytes pkt(5 + 256, 0);  // status, buffer number, block
            pkt[4] = 3;
            for (int k = 0; k < 32; ++k) putU64(pkt.data() + 5 + 8 * k, pattern(b));
            Bytes f = testing::tcpFrame(254, 73, testing::packetBytes(399, static_cast<uint16_t>(i), pkt));
            sim::feedInProcess(c.handle, f.data(), f.size());
        }
        done = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t) {
        readers.emplace_back([&, t] {
            uint32_t lastCount = 0;
            ++readersReady;
            while (!done.load()) {
                int32_t first = 0, last = 0;
                double d = 0;
                const uint32_t count = TVX_CycleUpGetRecvTimes(c.handle, 3);
                if (count < lastCount) ++torn;  // the count only grows
                lastCount = count;
                if (count == 0) continue;
                // Elements read in one call come from one block; the first
                // and last element of consecutive calls may differ.
                if (TVX_CycleUpReadBuffInt(c.handle, 3, "v", t == 0 ? 0 : 31, &first) != 0) ++torn;
                if (TVX_CycleUpReadBuff(c.handle, 3, "V", 15, &d) != 0) ++torn;
                if (TVX_CycleUpReadBuffInt(c.handle, 3, "V", 31, &last) != 0) ++torn;
                if (!valid.count(first) || !valid.count(last)) ++torn;
                if (!validDoubles.count(d)) ++torn;
                ++reads;
            }
        });
    }
    receiver.join();
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(TVX_CycleUpGetRecvTimes(c.handle, 3), static_cast<uint32_t>(kBlocks));
}

}  // namespace
}  // namespace tvx
