// The library frame's contact with Windows: debugger output, the load
// failure message and the module's own version resource. With TAVRIX_DEBUG
// set, debug lines and the failure message also go to standard error, for
// consoles (and Wine) with no debugger listening.
#include <cstdio>
#include <cstdlib>

#include "base/debug_output.h"
#include "platform/platform.h"
#include "platform/win32/module_version.h"
#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

// The module holding this code: the DLL when loaded as one, the program
// when the library is linked in statically.
HMODULE ownModule() {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(&ownModule), &info, sizeof info) == 0) return nullptr;
    return static_cast<HMODULE>(info.AllocationBase);
}

bool mirrorToStandardError() { return std::getenv("TAVRIX_DEBUG") != nullptr; }

}  // namespace

void debuggerOutput(const char* line) {
    if (!line) return;
    OutputDebugStringA(line);
    if (mirrorToStandardError()) std::fputs(line, stderr);
}

void showLoadFailure(const char* message) {
    if (!message) message = "";
    if (mirrorToStandardError()) std::fprintf(stderr, "tavrix: %s\n", message);
    MessageBoxA(nullptr, message, "tavrix", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

bool moduleFileVersion(uint32_t* mostSignificant, uint32_t* leastSignificant) {
    HMODULE module = ownModule();
    if (!module) return false;
    // Resource 1 of the version type.
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return false;
    const void* data = LockResource(loaded);
    DWORD size = SizeofResource(module, found);
    if (!data) return false;
    return fixedFileVersion(static_cast<const uint8_t*>(data), size, mostSignificant, leastSignificant);
}

}  // namespace tvx::platform
