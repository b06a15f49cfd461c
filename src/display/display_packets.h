// Field offsets of the remote LCD and camera image requests and replies:
// request offsets count from the arguments, reply offsets from the reply
// data.
#pragma once

#include <cstdint>

namespace tvx {

namespace lcd_open_request {
inline constexpr uint32_t bytes = 12;
inline constexpr uint32_t screen = 0;
inline constexpr uint32_t featureA = 2;
inline constexpr uint32_t featureB = 4;
inline constexpr uint32_t featureC = 6;
inline constexpr uint32_t one1 = 8;  // two words of 1 the controller expects
inline constexpr uint32_t one2 = 10;
}  // namespace lcd_open_request

namespace lcd_open_reply {
inline constexpr uint32_t screenKind = 0;
inline constexpr uint32_t bitsPerPixel = 1;
inline constexpr uint32_t width = 4;
inline constexpr uint32_t height = 6;
}  // namespace lcd_open_reply

namespace lcd_check_request {
inline constexpr uint32_t bytes = 1;
}  // namespace lcd_check_request

namespace lcd_check_reply {
inline constexpr uint32_t regionCount = 1;
inline constexpr uint32_t flags = 9;        // bits 0 and 1 are check values
inline constexpr uint32_t firstRegion = 10;
inline constexpr uint32_t regionBytes = 8;  // u16 x, y, width, height
}  // namespace lcd_check_reply

namespace lcd_data_request {
inline constexpr uint32_t bytes = 8;
inline constexpr uint32_t screen = 0;
inline constexpr uint32_t region = 1;
inline constexpr uint32_t position = 4;  // after two reserved bytes
inline constexpr uint32_t endPosition = 0xFFFFFFFFu;
}  // namespace lcd_data_request

// The chunk reply shared by the LCD and the camera images.
namespace image_chunk_reply {
inline constexpr uint32_t next = 0;
inline constexpr uint32_t kind = 4;
inline constexpr uint32_t length = 6;
inline constexpr uint32_t encoded = 8;
inline constexpr uint16_t encodedPixels = 1;  // the only kind that is painted
}  // namespace image_chunk_reply

// The three forms of LCD input: mouse, key and coder.
namespace lcd_input_request {
inline constexpr uint32_t mouseBytes = 6;
inline constexpr uint32_t mouse2Bytes = 8;
inline constexpr uint32_t keyBytes = 5;
inline constexpr uint32_t coderBytes = 12;
inline constexpr uint32_t screen = 0;
inline constexpr uint32_t action = 1;
inline constexpr uint32_t x = 2;
inline constexpr uint32_t y = 4;
inline constexpr uint32_t extra = 6;
inline constexpr uint32_t keyMarker = 1;  // always 1
inline constexpr uint32_t key = 2;
inline constexpr uint32_t keyState = 4;
inline constexpr uint32_t coderA = 0;
inline constexpr uint32_t coderB = 2;
inline constexpr uint32_t coderC = 4;
inline constexpr uint32_t coderD = 8;
}  // namespace lcd_input_request

namespace vision_request {
inline constexpr uint32_t bytes = 8;
inline constexpr uint32_t image = 0;
inline constexpr uint32_t position = 4;  // after two reserved bytes
inline constexpr uint32_t describe = 0xFFFFFFFFu;
}  // namespace vision_request

// The reply to a camera image's description request.
namespace vision_description_reply {
inline constexpr uint32_t width = 0;
inline constexpr uint32_t height = 2;
inline constexpr uint32_t bitsPerPixel = 4;
inline constexpr uint32_t extra = 8;
}  // namespace vision_description_reply

}  // namespace tvx
