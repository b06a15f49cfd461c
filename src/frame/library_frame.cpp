#include "frame/library_frame.h"

#include "base/result_codes.h"
#include "link/handle_table.h"
#include "platform/platform.h"

namespace tvx {

int32_t libraryLoad() {
    if (!platform::initSockets()) return rc::osError;
    return rc::ok;
}

void libraryUnload() {
    destroyAllHandles();
    platform::shutdownSockets();
}

}  // namespace tvx
