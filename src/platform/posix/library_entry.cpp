// On Linux the shared object's constructor and destructor run the load and
// unload steps.
#include "platform/library_entry.h"

namespace {

__attribute__((constructor)) void onLoad() { tvx::libraryLoad(); }
__attribute__((destructor)) void onUnload() { tvx::libraryUnload(); }

}  // namespace
