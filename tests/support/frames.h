// Builders of wire frames for tests, written independently of the
// library's framing code so that tests check it rather than restate it.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::testing {

using Bytes = std::vector<uint8_t>;

inline uint16_t referenceCrc(const uint8_t* d, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= d[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// A packet: u16 length, u16 command, u16 sequence, then `tail` bytes.
inline Bytes packetBytes(uint16_t command, uint16_t sequence, const Bytes& tail, int lengthOverride = -1) {
    const uint16_t length = lengthOverride >= 0 ? static_cast<uint16_t>(lengthOverride) : static_cast<uint16_t>(6 + tail.size());
    Bytes p{static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(command),
            static_cast<uint8_t>(command >> 8), static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8)};
    p.insert(p.end(), tail.begin(), tail.end());
    return p;
}

// A reply packet: header, i32 status, data.
inline Bytes replyPacket(uint16_t command, uint16_t sequence, int32_t status, const Bytes& data = {}) {
    Bytes tail{static_cast<uint8_t>(status), static_cast<uint8_t>(status >> 8), static_cast<uint8_t>(status >> 16),
               static_cast<uint8_t>(status >> 24)};
    tail.insert(tail.end(), data.begin(), data.end());
    return packetBytes(command, sequence, tail);
}

// Station, function code and body framed for RTU (CRC, low byte first).
inline Bytes rtuFrame(uint8_t station, uint8_t function, const Bytes& body) {
    Bytes f{station, function};
    f.insert(f.end(), body.begin(), body.end());
    uint16_t crc = referenceCrc(f.data(), f.size());
    f.push_back(static_cast<uint8_t>(crc));
    f.push_back(static_cast<uint8_t>(crc >> 8));
    return f;
}

// Station, function code and body behind an MBAP header.
inline Bytes tcpFrame(uint8_t station, uint8_t function, const Bytes& body) {
    const size_t n = body.size() + 2;
    Bytes f{0, 0, 0, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), station, function};
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

inline Bytes frameFor(bool tcp, uint8_t station, uint8_t function, const Bytes& body) {
    return tcp ? tcpFrame(station, function, body) : rtuFrame(station, function, body);
}

// The command and sequence of a function-72 request frame.
inline uint16_t requestCommand(const Bytes& frame, bool tcp) {
    const size_t p = tcp ? 8 : 2;
    return static_cast<uint16_t>(frame[p + 2] | (frame[p + 3] << 8));
}
inline uint16_t requestSequence(const Bytes& frame, bool tcp) {
    const size_t p = tcp ? 8 : 2;
    return static_cast<uint16_t>(frame[p + 4] | (frame[p + 5] << 8));
}

}  // namespace tvx::testing
