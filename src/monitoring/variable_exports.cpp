// Global variables read through query texts, the controller's user lock
// (Lock/UnLock texts) and the host-side lock of a handle.
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "api/text_commands.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"
#include "monitoring/variable_text.h"

namespace tvx {
namespace {

// Query texts are built in an area of this size, their 0 byte included.
inline constexpr size_t kQueryArea = 64;
// The answer of a query: 511 characters and room for a terminator, so the
// number parser always meets one.
inline constexpr uint32_t kAnswerCapacity = 511;
inline constexpr size_t kPasswordLimit = 15;
// "UnLock(" + password + ")" and the 0 byte.
inline constexpr size_t kLockTextArea = 7 + kPasswordLimit + 1 + 1;

// Runs a query text as a direct command and parses its answer as a number.
int32_t queryNumber(ControllerHandle& h, const char* query, size_t length, float* value) {
    char answer[kAnswerCapacity + 1];
    answer[kAnswerCapacity] = 0;
    const int32_t r = exchangeData(h, req::direct, query, static_cast<uint32_t>(length + 1), answer,
                                   kAnswerCapacity, nullptr);
    if (r != rc::ok) return r;
    float parsed = 0;
    if (!parseAnswerNumber(answer, &parsed)) return rc::replyLength;
    *value = parsed;
    return rc::ok;
}

// Formats a query; 0 and the text's length, or 20002 when it does not fit
// its area.
template <class... Args>
int32_t formatQuery(char (&area)[kQueryArea], size_t* length, const char* format, Args... args) {
    const int n = std::snprintf(area, sizeof area, format, args...);
    if (n < 0 || static_cast<size_t>(n) >= sizeof area)
        return refuse(rc::badArgument, "the formatted text does not fit its area");
    *length = static_cast<size_t>(n);
    return rc::ok;
}

int32_t sendLockText(TVX_HANDLE api, const char* format, const char* password,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!password || strnlen(password, kPasswordLimit + 1) > kPasswordLimit)
            return refuse(rc::badArgument, "password is NULL or longer than 15 characters");
        if (checkEmbeddedText(password) != rc::ok) return refuse(rc::badArgument, "password holds a control character");
        char text[kLockTextArea];
        std::snprintf(text, sizeof text, format, password);
        return TVX_ExecuteNoAck(api, text, static_cast<uint32_t>(h.timeoutMs.load(std::memory_order_relaxed)));
    }, where);
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_GlobalVarGet(TVX_HANDLE handle, const char* varName, float* value) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!value || checkEmbeddedText(varName) != rc::ok)
            return refuse(rc::badArgument, "value is NULL, or varName is NULL or holds a control character");
        char query[kQueryArea];
        size_t length = 0;
        if (formatQuery(query, &length, "?%s\n", varName) != rc::ok)
            return refuse(rc::badArgument, "varName does not fit the query");
        return queryNumber(h, query, length, value);
    });
}

TVX_API int32_t TVX_STDCALL TVX_GlobalArrayGet(TVX_HANDLE handle, const char* arrayName, int32_t index,
                                               float* value) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!value || checkEmbeddedText(arrayName) != rc::ok)
            return refuse(rc::badArgument, "value is NULL, or arrayName is NULL or holds a control character");
        char query[kQueryArea];
        size_t length = 0;
        if (formatQuery(query, &length, "?%s(%d)\n", arrayName, static_cast<int>(index)) != rc::ok)
            return refuse(rc::badArgument, "arrayName does not fit the query");
        return queryNumber(h, query, length, value);
    });
}

TVX_API int32_t TVX_STDCALL TVX_Lock(TVX_HANDLE handle, const char* password) {
    return sendLockText(handle, "Lock(%s)", password);
}

TVX_API int32_t TVX_STDCALL TVX_UnLock(TVX_HANDLE handle, const char* password) {
    return sendLockText(handle, "UnLock(%s)", password);
}

TVX_API int32_t TVX_STDCALL TVX_Signal_BasicP(TVX_HANDLE handle) {
    return withHandle(handle, [&](ControllerHandle& h) {
        h.userLock.wait();
        // A close may have run while this thread waited: it gives the lock
        // back on its way out, and the handle is then no longer usable.
        if (!h.isOpen()) {
            h.userLock.release();
            return rc::invalidHandle;
        }
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_Signal_BasicV(TVX_HANDLE handle) {
    return withHandle(handle, [&](ControllerHandle& h) {
        h.userLock.release();
        return rc::ok;
    });
}

}  // extern "C"
