// The messages between the stand-in card driver (in the library) and the
// simulated cards (tavrix-sim --pci), over one loopback TCP connection per
// open device plus short connections that count cards.
//
// Every message is a u16 body length followed by the body; little-endian.
// Requests start with an operation byte:
//   count   : op, u8 class                -> u8 ok, u16 count
//   open    : op, u8 class, u16 index     -> u8 CardOpenResult
//   control : op, u32 code, u16 outCapacity, input bytes
//                                         -> u8 ok, output bytes (at most
//                                            outCapacity)
// After a successful open the connection is bound to that card's device.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::standin {

inline constexpr size_t kLengthBytes = 2;
// The largest body either side sends: a control request with a packet of
// the largest size the driver may report, and room to spare.
inline constexpr size_t kMaxBody = 4096 + 16;

namespace op {
inline constexpr uint8_t count = 1;
inline constexpr uint8_t open = 2;
inline constexpr uint8_t control = 3;
}  // namespace op

namespace count_req {
inline constexpr size_t op = 0;
inline constexpr size_t cls = 1;
inline constexpr size_t bytes = 2;
}  // namespace count_req
namespace count_ans {
inline constexpr size_t ok = 0;
inline constexpr size_t count = 1;  // u16
inline constexpr size_t bytes = 3;
}  // namespace count_ans

namespace open_req {
inline constexpr size_t op = 0;
inline constexpr size_t cls = 1;
inline constexpr size_t index = 2;  // u16
inline constexpr size_t bytes = 4;
}  // namespace open_req
namespace open_ans {
inline constexpr size_t result = 0;
inline constexpr size_t bytes = 1;
}  // namespace open_ans

namespace control_req {
inline constexpr size_t op = 0;
inline constexpr size_t code = 1;         // u32
inline constexpr size_t outCapacity = 5;  // u16
inline constexpr size_t input = 7;
}  // namespace control_req
namespace control_ans {
inline constexpr size_t ok = 0;
inline constexpr size_t output = 1;
}  // namespace control_ans

}  // namespace tvx::standin
