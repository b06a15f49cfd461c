// Paints arbitrary chunks into a buffer of exactly width x height pixels
// (on the heap, so that the sanitizer sees any write outside it): screen
// regions and camera images, with sizes, region, position and runs all
// taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "display/pixel_runs.h"

namespace {

using namespace tvx;

constexpr size_t kHeader = 15;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    // Small buffers keep the fuzzer fast; the region and position span the
    // whole 16-bit range.
    const uint32_t width = data[0] % 64;
    const uint32_t height = data[1] % 64;
    const bool image = data[2] & 1;
    const bool convert = data[2] & 2;
    const uint32_t regionX = getU16(data + 3);
    const uint32_t regionY = getU16(data + 5);
    const uint32_t regionWidth = getU16(data + 7);
    const uint32_t position = getU32(data + 9);
    const uint8_t* encoded = data + 13;
    const auto length = static_cast<uint32_t>(size - 13 > kMaxEncodedBytes ? kMaxEncodedBytes : size - 13);

    std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
    const PaintTarget target{pixels.data(), width, height, image ? 0 : regionX,
                             image ? width : regionX + regionWidth, convert};
    const int32_t r = image ? paintImageChunk(target, position, encoded, length)
                            : paintRegionChunk(target, regionY, position, encoded, length);
    if (r != rc::ok && r != rc::replyLength) std::abort();
    return 0;
}
