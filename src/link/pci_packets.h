// The card driver's control codes and the packets that carry channel frames
// through it, as both the library and a driver implementation use them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::pci {

// Control codes. The channel query is used as is; every other base code is
// combined with the channel number the query reported.
namespace code {
inline constexpr uint32_t queryChannel = 0x48004;
inline constexpr uint32_t release = 0x48008;
inline constexpr uint32_t writePacket = 0x4800C;
inline constexpr uint32_t writeReady = 0x48010;
inline constexpr uint32_t readForWait = 0x48014;    // read by a caller waiting for its reply
inline constexpr uint32_t readForThread = 0x48018;  // read by the receive thread
}  // namespace code

inline uint32_t channelCode(uint16_t channel, uint32_t base) { return (uint32_t{channel} << 8) | base; }

// Answer of the channel query.
namespace channel_reply {
inline constexpr size_t channel = 0;    // i16, negative when the driver has none
inline constexpr size_t maxPacket = 2;  // u16
inline constexpr size_t bytes = 4;
}  // namespace channel_reply

// Answer of the write-readiness query: the first byte stays at notReady
// until the driver can take a packet.
namespace ready_reply {
inline constexpr size_t status = 0;
inline constexpr size_t bytes = 4;
inline constexpr uint8_t notReady = 0x55;
}  // namespace ready_reply

// Packets in both directions: marker, sequence (write) or continuation
// (read), u16 data length, data.
namespace packet_header {
inline constexpr size_t marker = 0;
inline constexpr size_t sequence = 1;
inline constexpr size_t continuation = 1;
inline constexpr size_t length = 2;
inline constexpr size_t data = 4;
inline constexpr size_t bytes = 4;  // the header before the data
}  // namespace packet_header

inline constexpr uint8_t kWriteMarker = 0x55;
inline constexpr uint8_t kReadMarker = 0xAA;
// Write sequence bytes: a message in one packet, the first of several, the
// last of several (middle packets count up from the first).
inline constexpr uint8_t kOnlyPacket = 0;
inline constexpr uint8_t kFirstPacket = 1;
inline constexpr uint8_t kLastPacket = 0xFF;

// Continuation bytes that end a message on read.
inline bool endsMessage(uint8_t continuation) { return continuation == 0 || continuation == 0xFF; }

// The range of packet sizes a driver may report.
inline constexpr uint16_t kMinPacket = 16;
inline constexpr uint16_t kMaxPacket = 4096;
// Cards counted per class.
inline constexpr int kMaxCardsPerClass = 16;
// Packets one read request drains at most.
inline constexpr int kPacketsPerRead = 10;

}  // namespace tvx::pci
