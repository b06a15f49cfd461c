// The three entry points of an in-process component server. The library
// registers no component classes, so it answers as such a server does:
// no class object to hand out, nothing keeping it loaded, nothing to write
// to the registry.
#include "platform/win32/win32.h"

#include <objbase.h>

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllRegisterServer() { return S_OK; }
