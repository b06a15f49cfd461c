// The request and reply areas of one transaction. Every request the library
// builds goes through this type, on the caller's stack: nothing is
// allocated on the transaction path.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/bytes.h"
#include "channel/channel.h"

namespace tvx {

struct PacketArea {
    uint8_t request[packet::areaSize];
    uint8_t reply[packet::areaSize];

    PacketArea() { begin(0, 0); }
    PacketArea(uint16_t command, uint32_t argumentBytes) { begin(command, argumentBytes); }

    // Starts a request of `argumentBytes` argument bytes, cleared. Only the
    // packet itself is written: the channel pads a short reply with zeros,
    // so neither area needs clearing as a whole.
    void begin(uint16_t command, uint32_t argumentBytes) {
        const uint32_t length = packet::headerLength + argumentBytes;
        putU16(request + packet::lengthOffset, static_cast<uint16_t>(length));
        putU16(request + packet::commandOffset, command);
        putU16(request + packet::sequenceOffset, 0);
        std::memset(request + packet::argumentsOffset, 0, argumentBytes);
        putU16(reply + packet::lengthOffset, 0);
    }
    // Changes the declared length after arguments of variable size were put.
    void setArgumentBytes(uint32_t n) {
        putU16(request + packet::lengthOffset, static_cast<uint16_t>(packet::headerLength + n));
    }
    uint8_t* args() { return request + packet::argumentsOffset; }
    uint16_t requestLength() const { return getU16(request + packet::lengthOffset); }

    uint16_t replyLength() const { return getU16(reply + packet::lengthOffset); }
    int32_t replyStatus() const { return getI32(reply + packet::statusOffset); }
    const uint8_t* data() const { return reply + packet::dataOffset; }
    // Data bytes after the reply header (0 for a reply shorter than it).
    uint32_t dataLength() const {
        const uint32_t n = replyLength();
        return n > packet::replyHeaderLength ? n - packet::replyHeaderLength : 0;
    }
};

}  // namespace tvx
