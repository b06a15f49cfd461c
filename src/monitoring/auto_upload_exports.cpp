// The auto-upload callback: text the controller pushes (a running program's
// output) is handed to the host's callback once the controller was told to
// send it.
#include <cstring>

#include "api/requests.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

inline constexpr char kPortOn[] = "IFAUTOUP_PORT=1";
inline constexpr char kPortOff[] = "IFAUTOUP_PORT=0";

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_SetAutoUpCallBack(TVX_HANDLE handle, TVX_AutoUpCallback callback) {
    return withHandle(handle, [&](ControllerHandle& h) {
        const char* command = callback ? kPortOn : kPortOff;
        const int32_t r = exchangeData(h, req::direct, command, static_cast<uint32_t>(std::strlen(command) + 1),
                                       nullptr, 0, nullptr);
        // A command that failed keeps the previous callback.
        if (r == rc::ok) h.autoUpCallback.store(callback, std::memory_order_release);
        return r;
    });
}

}  // extern "C"
