// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final XOR).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

// Returns the value in wire order: the high byte of the result goes on the
// wire first, and it is the low byte of the CRC-16/MODBUS value.
uint16_t crc16Wire(const uint8_t* data, size_t n);

// The CRC-16/MODBUS value itself (0x4B37 for "123456789").
inline uint16_t crc16Modbus(const uint8_t* data, size_t n) {
    uint16_t w = crc16Wire(data, n);
    return static_cast<uint16_t>((w >> 8) | (w << 8));
}

// Appends the CRC of data[0..n) at data[n], data[n+1] in wire order.
inline void appendCrc16(uint8_t* data, size_t n) {
    uint16_t w = crc16Wire(data, n);
    data[n] = static_cast<uint8_t>(w >> 8);
    data[n + 1] = static_cast<uint8_t>(w);
}

// True when the last two bytes of frame[0..n) are the CRC of the rest.
inline bool crc16Matches(const uint8_t* frame, size_t n) {
    if (n < 2) return false;
    uint16_t w = crc16Wire(frame, n - 2);
    return frame[n - 2] == static_cast<uint8_t>(w >> 8) && frame[n - 1] == static_cast<uint8_t>(w);
}

}  // namespace tvx
