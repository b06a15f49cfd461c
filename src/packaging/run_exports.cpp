// Run, pause, resume and stop requests, the current project's upload, and
// the archive uploads this library does not offer.
#include <cstring>

#include "api/requests.h"
#include "base/result_codes.h"
#include "channel/request_codes.h"
#include "tavrix.h"
#include "transfer/block_transfer.h"

using namespace tvx;

namespace {

int32_t simple(TVX_HANDLE api, uint16_t command,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, command); }, where);
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_RunNarFile(TVX_HANDLE api, const char* programName) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (programName == nullptr) return requestSimple(h, req::run);
        // The name goes without its zero; over 2044 characters it is refused.
        return requestWithData(h, req::run, programName, static_cast<uint32_t>(strnlen(programName, 4096)));
    });
}

TVX_API int32_t TVX_STDCALL TVX_Resume(TVX_HANDLE api) { return simple(api, req::run); }

TVX_API int32_t TVX_STDCALL TVX_Pause(TVX_HANDLE api) { return simple(api, req::pause); }

TVX_API int32_t TVX_STDCALL TVX_Stop(TVX_HANDLE api) { return simple(api, req::stop); }

TVX_API int32_t TVX_STDCALL TVX_UpCurNpjToMem(TVX_HANDLE api, void* buffer, uint32_t bufferSize,
                                              uint32_t* receivedLength) {
    return withHandle(api, [&](ControllerHandle& h) {
        return uploadToMemory(h, req::currentProject, nullptr, buffer, bufferSize, receivedLength);
    });
}

TVX_API int32_t TVX_STDCALL TVX_UpNarToProject(TVX_HANDLE, void*, void*) { return rc::notSupported; }
TVX_API int32_t TVX_STDCALL TVX_UpNar(TVX_HANDLE, void*, void*) { return rc::notSupported; }
TVX_API int32_t TVX_STDCALL TVX_EnumSub(TVX_HANDLE, void*, void*) { return rc::notSupported; }

TVX_API int32_t TVX_STDCALL TVX_UpNarToMem(TVX_HANDLE, void*, void*, void*, void*) { return rc::notSupported; }
TVX_API int32_t TVX_STDCALL TVX_EnumArray(TVX_HANDLE, void*, void*, void*, void*) { return rc::notSupported; }
TVX_API int32_t TVX_STDCALL TVX_EnumLabel(TVX_HANDLE, void*, void*, void*, void*) { return rc::notSupported; }
TVX_API int32_t TVX_STDCALL TVX_EnumPara(TVX_HANDLE, void*, void*, void*, void*) { return rc::notSupported; }

}  // extern "C"

