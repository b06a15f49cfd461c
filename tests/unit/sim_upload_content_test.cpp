// The simulated controller serves an upload from the stored file itself,
// without a copy: a download that replaces the file while the upload is
// under way must neither change what the upload sends nor take its memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "support/frames.h"

namespace tvx {
namespace {

using testing::Bytes;

// Sends one request packet to the controller; returns the reply's status
// and puts its data into `data`.
int32_t request(sim::Controller& c, uint16_t command, const Bytes& body, Bytes* data = nullptr) {
    static uint16_t sequence = 0;
    const Bytes frame = testing::tcpFrame(1, 72, testing::packetBytes(command, ++sequence, body));
    uint8_t reply[sim::kFrameCapacity];
    const size_t n = c.handleFrame(Framing::tcp, frame.data(), frame.size(), reply, sizeof reply, 0);
    // MBAP header, station and function, then the packet: its data follow
    // length, command, sequence and status.
    constexpr size_t kStatus = 8 + 6;
    constexpr size_t kData = kStatus + 4;
    if (n < kData) return -1;
    if (data) data->assign(reply + kData, reply + n);
    return getI32(reply + kStatus);
}

Bytes u16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

// A file download of `content` under `name`: the start, then one last block.
void download(sim::Controller& c, const std::string& name, const Bytes& content) {
    Bytes start{0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) start.push_back(static_cast<uint8_t>(content.size() >> (8 * i)));
    start.insert(start.end(), name.begin(), name.end());
    start.push_back(0);
    ASSERT_EQ(request(c, req::fileDown, start), 0);
    Bytes block = u16(0xFFFF);
    const Bytes count = u16(static_cast<uint16_t>(content.size()));
    block.insert(block.end(), count.begin(), count.end());
    block.insert(block.end(), content.begin(), content.end());
    ASSERT_EQ(request(c, req::fileDown, block), 0);
}

// Upload block `number`: its data, and whether it was the last.
Bytes uploadBlock(sim::Controller& c, uint16_t number, bool* last) {
    Bytes data;
    EXPECT_EQ(request(c, req::fileUp, u16(number), &data), 0);
    if (data.size() < 4) return {};
    *last = getU16(data.data()) == 0xFFFF;
    return Bytes(data.begin() + 4, data.end());
}

TEST(SimUploadContent, AFileReplacedDuringItsUploadArrivesAsItWasWhenTheUploadStarted) {
    sim::Controller c;
    c.transfers().settings().uploadBlock = 4;
    const Bytes original{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    download(c, "F", original);

    Bytes announced;
    ASSERT_EQ(request(c, req::fileUp, {0, 0, 'F', 0}, &announced), 0);
    ASSERT_GE(announced.size(), 8u);
    EXPECT_EQ(getU32(announced.data() + 4), original.size());
    bool last = false;
    Bytes received = uploadBlock(c, 1, &last);

    // A download replaces the file (and would like to reuse its memory)
    // between two blocks of the upload.
    const Bytes replacement(10, 0xEE);
    download(c, "F", replacement);

    for (uint16_t number = 2; !last && number < 10; ++number) {
        const Bytes part = uploadBlock(c, number, &last);
        received.insert(received.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(last);
    EXPECT_EQ(received, original);
    // The store holds the replacement, and the next upload sends it.
    ASSERT_NE(c.transfers().files().get("F"), nullptr);
    EXPECT_EQ(*c.transfers().files().get("F"), replacement);
    ASSERT_EQ(request(c, req::fileUp, {0, 0, 'F', 0}), 0);
    last = false;
    EXPECT_EQ(uploadBlock(c, 1, &last), Bytes(4, 0xEE));
}

}  // namespace
}  // namespace tvx
