// The open sequence shared by every link kind, and close.
#pragma once

#include <cstdint>

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

int32_t openHandle(const OpenOptions& options, TVX_HANDLE* out);
int32_t closeHandle(TVX_HANDLE handle);

// Sends the connection's system record query (used by open).
int32_t querySysSpecification(TVX_HANDLE handle, TVX_SysSpecification* record);

}  // namespace tvx
