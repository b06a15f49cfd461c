#include "platform/capture_output.h"
#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

inline constexpr DWORD kHeadBytes = 4;

bool existingHeadAccepted(const char* path, bool (*keep)(const uint8_t*, size_t)) {
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    uint8_t head[kHeadBytes] = {};
    DWORD n = 0;
    const bool ok = GetFileType(f) == FILE_TYPE_DISK && ReadFile(f, head, sizeof head, &n, nullptr) && n > 0;
    CloseHandle(f);
    return ok && keep(head, n);
}

}  // namespace

bool CaptureOutput::open(const char* path, bool (*keep)(const uint8_t*, size_t), bool* appended) {
    close();
    const bool append = keep && existingHeadAccepted(path, keep);
    HANDLE f = CreateFileA(path, append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           append ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(f);
    if (appended) *appended = append;
    return true;
}

// Windows raises no signal for a pipe without a reader; the write fails
// with ERROR_NO_DATA or ERROR_BROKEN_PIPE instead. The time limit is not
// applied to a blocking pipe here.
OutputWrite CaptureOutput::write(const uint8_t* bytes, size_t n, uint32_t) {
    if (handle_ == kNone) return OutputWrite::failed;
    HANDLE f = reinterpret_cast<HANDLE>(handle_);
    while (n > 0) {
        DWORD done = 0;
        const DWORD chunk = n > 0x10000000u ? 0x10000000u : static_cast<DWORD>(n);
        if (!WriteFile(f, bytes, chunk, &done, nullptr)) {
            const DWORD e = GetLastError();
            return (e == ERROR_NO_DATA || e == ERROR_BROKEN_PIPE) ? OutputWrite::readerGone : OutputWrite::failed;
        }
        if (done == 0) return OutputWrite::failed;
        bytes += done;
        n -= done;
    }
    return OutputWrite::ok;
}

void CaptureOutput::close() {
    if (handle_ == kNone) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = kNone;
}

uint32_t processId() { return static_cast<uint32_t>(GetCurrentProcessId()); }

}  // namespace tvx::platform
