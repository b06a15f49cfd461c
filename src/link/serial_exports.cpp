// Serial opens, the process-wide serial defaults and the temporary baud.
#include <cstdio>

#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/request_codes.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "link/locked_transact.h"
#include "link/serial_link.h"
#include "platform/serial_port.h"

using namespace tvx;

namespace {

// Probe time of each port scanned by TVX_SearchAndOpenCom.
inline constexpr uint32_t kSearchProbeMs = 300;

// "COM" and the number right-aligned in four places ("COM   3"); room for
// any 32-bit value.
struct ComText {
    char text[3 + 11 + 1];
    explicit ComText(uint32_t port) { std::snprintf(text, sizeof text, "COM%4u", port); }
};

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_OpenCom(uint32_t port, TVX_HANDLE* out) {
    return TVX_Open(TVX_LINK_SERIAL, ComText(port).text, out);
}

TVX_API int32_t TVX_STDCALL TVX_PeakCom(uint32_t port, uint32_t timeoutMs, TVX_HANDLE* out) {
    return TVX_FastOpen(TVX_LINK_SERIAL, ComText(port).text, timeoutMs, out);
}

TVX_API int32_t TVX_STDCALL TVX_SearchAndOpenCom(uint32_t first, uint32_t last, uint32_t* found, uint32_t,
                                                 TVX_HANDLE* out) {
    if (!out) return refuse(rc::badArgument, "out is NULL");
    // Ports above the last one never open: stopping there keeps a last of
    // 0xFFFFFFFF from looping for ever.
    if (last > platform::kLastSerialPort) last = platform::kLastSerialPort;
    for (uint32_t port = first; port <= last; ++port) {
        if (TVX_PeakCom(port, kSearchProbeMs, out) == rc::ok) {
            if (found) *found = port;
            return rc::ok;
        }
    }
    return rc::serialError;
}

TVX_API int32_t TVX_STDCALL TVX_SetComDefaultBaud(uint32_t baud, uint32_t dataBits, uint32_t parity,
                                                  uint32_t stopBits) {
    setSerialLineDefaults(baud, dataBits, parity, stopBits);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_SetComDefaultID(uint8_t station) {
    setSerialStationDefault(station);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_SetComCurID(TVX_HANDLE handle, uint8_t station) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    return setStationId(h->channel, station == 0 ? kBroadcastStation : station);
}

TVX_API int32_t TVX_STDCALL TVX_TempModBaud(TVX_HANDLE handle, uint32_t baud) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (h->channel.linkKind != TVX_LINK_SERIAL) return refuse(rc::badArgument, "the handle is not a serial link");
    PacketArea area(req::serialBaud, 4);
    putU32(area.args(), baud);
    const int32_t r = lockedTransact(*h, area);
    if (r != rc::ok) return r;
    // Under the transaction lock, so that no frame is on its way while the
    // line changes, and a close cannot free the port meanwhile.
    h->transactionLock.wait();
    if (h->isOpen()) reprogramSerialBaud(*h, baud);
    h->transactionLock.release();
    return rc::ok;
}

}  // extern "C"
