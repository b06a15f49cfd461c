// Open, close and the handle's accessors.
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "link/link_defaults.h"
#include "link/open_close.h"

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_Open(int32_t kind, const char* address, TVX_HANDLE* out) {
    OpenOptions o;
    o.kind = kind;
    o.address = address;
    o.timeoutMs = kDefaultTimeoutMs;
    o.probeTransfer = true;
    return openHandle(o, out);
}

TVX_API int32_t TVX_STDCALL TVX_OpenWithTimeOut(int32_t kind, const char* address, uint32_t timeoutMs,
                                                TVX_HANDLE* out) {
    OpenOptions o;
    o.kind = kind;
    o.address = address;
    o.timeoutMs = timeoutMs;
    o.probeTransfer = true;
    return openHandle(o, out);
}

TVX_API int32_t TVX_STDCALL TVX_FastOpen(int32_t kind, const char* address, uint32_t timeoutMs, TVX_HANDLE* out) {
    OpenOptions o;
    o.kind = kind;
    o.address = address;
    o.timeoutMs = timeoutMs;
    o.probeTransfer = false;
    return openHandle(o, out);
}

TVX_API int32_t TVX_STDCALL TVX_Close(TVX_HANDLE handle) {
    ControllerHandle* h = validHandle(handle);
    return h ? closeHandle(*h) : rc::invalidHandle;
}

TVX_API int32_t TVX_STDCALL TVX_SetTimeOut(TVX_HANDLE handle, uint32_t ms) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    h->timeoutMs.store(static_cast<int32_t>(ms), std::memory_order_relaxed);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_GetTimeOut(TVX_HANDLE handle, uint32_t* ms) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!ms) return refuse(rc::badArgument, "ms is NULL");
    *ms = static_cast<uint32_t>(h->timeoutMs.load(std::memory_order_relaxed));
    return rc::ok;
}

TVX_API float TVX_STDCALL TVX_GetProgress(TVX_HANDLE handle) {
    ControllerHandle* h = validHandle(handle);
    return h ? h->progress.load(std::memory_order_relaxed) : 0.0f;
}

TVX_API uint8_t TVX_STDCALL TVX_GetConnectType(TVX_HANDLE handle) {
    ControllerHandle* h = validHandle(handle);
    return h ? h->channel.linkKind : 255;
}

TVX_API const char* TVX_STDCALL TVX_GetConnectString(TVX_HANDLE handle) {
    ControllerHandle* h = validHandle(handle);
    return h ? h->connectString : nullptr;
}

TVX_API uint8_t TVX_STDCALL TVX_GetAxises(TVX_HANDLE handle) {
    ControllerHandle* h = validHandle(handle);
    return h ? static_cast<uint8_t>(h->axisCount) : 0;
}

TVX_API int32_t TVX_STDCALL TVX_SetConnectSecureID(uint32_t id) {
    setConnectionIdentifier(id);
    return rc::ok;
}

}  // extern "C"
