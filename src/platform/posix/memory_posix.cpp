#include <sys/mman.h>

#include <cstdint>

#include "platform/platform.h"

namespace tvx::platform {

void adviseLargeFill(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only whole huge pages inside the buffer can be advised.
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (data && end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace tvx::platform
