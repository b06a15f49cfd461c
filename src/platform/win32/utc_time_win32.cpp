#include "platform/utc_time.h"

#include "platform/win32/win32.h"

namespace tvx::platform {

UtcTime currentUtcTime() {
    SYSTEMTIME st;
    GetSystemTime(&st);
    UtcTime t;
    t.year = st.wYear;
    t.month = static_cast<uint8_t>(st.wMonth);
    t.day = static_cast<uint8_t>(st.wDay);
    t.hour = static_cast<uint8_t>(st.wHour);
    t.minute = static_cast<uint8_t>(st.wMinute);
    t.second = static_cast<uint8_t>(st.wSecond);
    return t;
}

}  // namespace tvx::platform
