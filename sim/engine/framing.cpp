#include "engine/framing.h"

#include "base/bytes.h"
#include "channel/crc16.h"

namespace tvx::sim {

bool unwrapFrame(Framing framing, const uint8_t* frame, size_t n, const uint8_t** pdu, size_t* pduLength) {
    if (framing == Framing::tcp) {
        if (n < 8) return false;
        // The MBAP length counts the bytes after the header.
        if (getBe16(frame + 4) != n - 6 || getU16(frame + 2) != 0) return false;
        *pdu = frame + 6;
        *pduLength = n - 6;
        return true;
    }
    if (n < 4 || !crc16Matches(frame, n)) return false;
    *pdu = frame;
    *pduLength = n - 2;
    return true;
}

size_t wrapFrame(Framing framing, uint8_t* out, size_t pduLength) {
    if (framing == Framing::tcp) {
        out[0] = out[1] = out[2] = out[3] = 0;
        putBe16(out + 4, static_cast<uint16_t>(pduLength));
        return pduLength + 6;
    }
    appendCrc16(out, pduLength);
    return pduLength + 2;
}

}  // namespace tvx::sim
