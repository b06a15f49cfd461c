#include <gtest/gtest.h>

#include <vector>

#include "base/result_codes.h"
#include "base/byte_transforms.h"
#include "tavrix.h"

namespace tvx {
namespace {

std::vector<uint8_t> allBytes() {
    std::vector<uint8_t> v(256);
    for (int i = 0; i < 256; ++i) v[i] = static_cast<uint8_t>(i);
    return v;
}

TEST(ByteTransforms, MirrorMapping) {
    const std::vector<std::pair<uint8_t, uint8_t>> cases = {{0, 2}, {1, 1}, {2, 0}, {3, 255}, {255, 3}, {0x80, 0x82}};
    for (const auto& [in, out] : cases) {
        uint8_t b = in;
        byteMirror(&b, 1);
        EXPECT_EQ(b, out) << int(in);
    }
    std::vector<uint8_t> v = allBytes();
    byteMirror(v.data(), v.size());
    EXPECT_NE(v, allBytes());
    byteMirror(v.data(), v.size());
    EXPECT_EQ(v, allBytes());
}

TEST(ByteTransforms, FirmwareXorMapping) {
    uint8_t b[3] = {0x3C, 0x00, 0xFF};
    firmwareXor(b, 3);
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x3C);
    EXPECT_EQ(b[2], 0xC3);
    std::vector<uint8_t> v = allBytes();
    firmwareXor(v.data(), v.size());
    firmwareXor(v.data(), v.size());
    EXPECT_EQ(v, allBytes());
}

TEST(ByteTransforms, HmiExportsMirrorInPlaceAndCheckTheBuffer) {
    std::vector<uint8_t> v = allBytes();
    EXPECT_EQ(TVX_HmiFileEncode(v.data(), static_cast<uint32_t>(v.size())), 0);
    EXPECT_EQ(v[0], 2);
    EXPECT_EQ(v[3], 255);
    EXPECT_EQ(TVX_HmiFileDecode(v.data(), static_cast<uint32_t>(v.size())), 0);
    EXPECT_EQ(v, allBytes());
    EXPECT_EQ(TVX_HmiFileEncode(nullptr, 0), 0);
    EXPECT_EQ(TVX_HmiFileDecode(nullptr, 0), 0);
    EXPECT_EQ(TVX_HmiFileEncode(nullptr, 4), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_HmiFileDecode(nullptr, 4), TVX_ERR_BAD_ARGUMENT);
}

}  // namespace
}  // namespace tvx
