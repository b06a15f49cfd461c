// The open sequence shared by every link kind, and close.
#pragma once

#include <cstdint>

#include "channel/packet_area.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "tavrix.h"

namespace tvx {

struct OpenOptions {
    int32_t kind = 0;
    const char* address = nullptr;
    uint32_t timeoutMs = 5000;
    bool probeTransfer = true;  // step 8 of the full open
    // A driver to use instead of the kind's own (tests and the in-process
    // controller); its framing decides the channel's framing.
    const LinkDriver* driver = nullptr;
    void* linkState = nullptr;
};

// Offsets in the system record, the reply data of the system record query.
namespace sys_record {
inline constexpr uint32_t requestArgumentBytes = 4;  // u32 connection identifier
inline constexpr size_t axisCount = 4;               // u16
inline constexpr size_t bytes = 60;
}  // namespace sys_record

int32_t openHandle(const OpenOptions& options, TVX_HANDLE* out);
int32_t closeHandle(ControllerHandle& h);

// Runs the system record query (open reads the axis count from it); the
// record is the reply data in `area`.
int32_t querySystemRecord(ControllerHandle& h, PacketArea& area);

}  // namespace tvx
