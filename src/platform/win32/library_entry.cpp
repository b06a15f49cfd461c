// DllMain runs the library's load and unload steps. A failed load step
// makes LoadLibrary fail.
#include "platform/library_entry.h"
#include "platform/win32/win32.h"

namespace {

// Windows calls the detach step even after a refused attach; unload only
// what was loaded.
bool loaded = false;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        loaded = tvx::libraryLoad() == 0;
        return loaded ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved set) the other threads are already gone,
        // possibly while holding the library's locks, and the system frees
        // everything anyway: only FreeLibrary runs the unload steps.
        if (loaded && !reserved) tvx::libraryUnload();
        loaded = false;
        return TRUE;
    default:
        return TRUE;
    }
}
