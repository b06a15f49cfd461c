#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "channel/crc16.h"
#include "support/frames.h"

namespace tvx {
namespace {

TEST(Crc16, CheckValueAndWireOrder) {
    const char* digits = "123456789";
    const auto* d = reinterpret_cast<const uint8_t*>(digits);
    EXPECT_EQ(crc16Modbus(d, 9), 0x4B37);
    uint8_t frame[11];
    std::memcpy(frame, d, 9);
    appendCrc16(frame, 9);
    EXPECT_EQ(frame[9], 0x37);
    EXPECT_EQ(frame[10], 0x4B);
    EXPECT_TRUE(crc16Matches(frame, 11));
    frame[3] ^= 1;
    EXPECT_FALSE(crc16Matches(frame, 11));
}

TEST(Crc16, TablesAgreeWithBitwiseReference) {
    std::vector<uint8_t> data(1024);
    uint32_t x = 12345;
    for (auto& b : data) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    for (size_t n = 0; n <= data.size(); n += 37) EXPECT_EQ(crc16Modbus(data.data(), n), testing::referenceCrc(data.data(), n)) << n;
}

}  // namespace
}  // namespace tvx
