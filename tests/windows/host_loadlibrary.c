/*
 * A Windows host of tavrix.dll that links nothing of it: it loads the DLL
 * with LoadLibrary and reaches every export by name, as real hosts do.
 * Usage: host_loadlibrary TAVRIX_DLL TAVRIX_DEF EXPECTED_VERSION [CONTROLLER]
 * With CONTROLLER (a simulated controller's IP address, or COMn for one on a
 * serial port) it also opens, queries and closes a link. Exit 0 when every check passed; the failures are listed otherwise.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <objbase.h>
#include <stdio.h>
#include <string.h>

#include "tavrix.h"

typedef int32_t(TVX_STDCALL* GetDllVersionFn)(char*);
typedef const char*(TVX_CDECL* GetErrcodeDescriptionFn)(int32_t);
typedef const char*(TVX_STDCALL* DescribeResultFn)(int32_t);
typedef int32_t(TVX_STDCALL* OpenFn)(int32_t, const char*, TVX_HANDLE*);
typedef int32_t(TVX_STDCALL* CloseFn)(TVX_HANDLE);
typedef uint8_t(TVX_STDCALL* GetConnectTypeFn)(TVX_HANDLE);
typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* NoArgumentFn)(void);

static int failures = 0;
static int openAtUnload = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        ++failures;
        printf("FAILED: %s\n", what);
    }
}

/* Debug lines written while the DLL loads: OutputDebugStringA raises
 * DBG_PRINTEXCEPTION_C, which a vectored handler sees first. */
static volatile LONG debugLines = 0;
static char firstLine[160];

static LONG CALLBACK countDebugLines(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode != DBG_PRINTEXCEPTION_C || r->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    if (InterlockedIncrement(&debugLines) == 1) {
        size_t n = (size_t)r->ExceptionInformation[0];
        if (n >= sizeof firstLine) n = sizeof firstLine - 1;
        memcpy(firstLine, (const char*)r->ExceptionInformation[1], n);
        firstLine[n] = 0;
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

/* Resolves every name the module-definition file exports; returns the count. */
static int resolveAllExports(HMODULE dll, const char* defPath) {
    FILE* f = fopen(defPath, "r");
    char line[256];
    int inExports = 0, resolved = 0;
    if (!f) {
        check(0, "module-definition file readable");
        return 0;
    }
    while (fgets(line, sizeof line, f)) {
        char name[256];
        if (sscanf(line, " %255[A-Za-z0-9_]", name) != 1) continue;
        if (strcmp(name, "EXPORTS") == 0) {
            inExports = 1;
            continue;
        }
        if (!inExports) continue;
        if (GetProcAddress(dll, name)) {
            ++resolved;
        } else {
            printf("FAILED: export %s not found by name\n", name);
            ++failures;
        }
    }
    fclose(f);
    return resolved;
}

int main(int argc, char** argv) {
    HMODULE dll;
    char version[16];
    if (argc != 4 && argc != 5) {
        printf("usage: host_loadlibrary TAVRIX_DLL TAVRIX_DEF EXPECTED_VERSION [CONTROLLER_IP]\n");
        return 2;
    }

    PVOID handler = AddVectoredExceptionHandler(1, countDebugLines);
    dll = LoadLibraryA(argv[1]);
    RemoveVectoredExceptionHandler(handler);
    if (!dll) {
        printf("FAILED: LoadLibrary(%s), error %lu\n", argv[1], GetLastError());
        return 1;
    }
    check(debugLines == 1, "loading writes exactly one debug line");
    check(strcmp(firstLine, "DebugSwitch to 2!\r\n") == 0, "the load's debug line announces level 2");

    check(resolveAllExports(dll, argv[2]) > 0, "the exports resolve by their plain names");

    {
        GetDllVersionFn getVersion = (GetDllVersionFn)(void*)GetProcAddress(dll, "TVX_GetDllVersion");
        check(getVersion != NULL, "TVX_GetDllVersion exported");
        if (getVersion) {
            check(getVersion(version) == TVX_OK && strcmp(version, argv[3]) == 0,
                  "TVX_GetDllVersion reports the version resource");
            check(getVersion(NULL) == TVX_ERR_BAD_ARGUMENT, "TVX_GetDllVersion(NULL) refused");
        }
    }
    {
        GetErrcodeDescriptionFn describe =
            (GetErrcodeDescriptionFn)(void*)GetProcAddress(dll, "TVX_GetErrcodeDescription");
        check(describe != NULL, "TVX_GetErrcodeDescription exported");
        if (describe) {
            const char* text = describe(TVX_OK);
            check(text != NULL && text[0] != 0, "TVX_GetErrcodeDescription describes 0");
            check(describe(TVX_CH_NO_REPLY) == NULL, "TVX_GetErrcodeDescription has no text for 3402");
        }
    }
    {
        DescribeResultFn describe = (DescribeResultFn)(void*)GetProcAddress(dll, "TVX_DescribeResult");
        check(describe != NULL, "TVX_DescribeResult exported");
        if (describe) {
            const char* text = describe(TVX_CH_NO_REPLY);
            check(text != NULL && strcmp(text, "No reply from the controller within the time budget.") == 0,
                  "TVX_DescribeResult describes 3402");
        }
    }
    {
        GetClassObjectFn getClassObject = (GetClassObjectFn)(void*)GetProcAddress(dll, "DllGetClassObject");
        NoArgumentFn canUnload = (NoArgumentFn)(void*)GetProcAddress(dll, "DllCanUnloadNow");
        NoArgumentFn registerServer = (NoArgumentFn)(void*)GetProcAddress(dll, "DllRegisterServer");
        void* object = &object;
        check(getClassObject && canUnload && registerServer, "component-server entry points exported");
        if (getClassObject && canUnload && registerServer) {
            check(getClassObject(&IID_IUnknown, &IID_IClassFactory, &object) == CLASS_E_CLASSNOTAVAILABLE &&
                      object == NULL,
                  "DllGetClassObject has no classes");
            check(canUnload() == S_OK, "DllCanUnloadNow allows the unload");
            check(registerServer() == S_OK, "DllRegisterServer succeeds");
        }
    }
    {
        /* No controller answers at this loopback address: the open fails
         * within its budget and hands out no handle. */
        OpenFn open = (OpenFn)(void*)GetProcAddress(dll, "TVX_Open");
        CloseFn close = (CloseFn)(void*)GetProcAddress(dll, "TVX_Close");
        GetConnectTypeFn connectType = (GetConnectTypeFn)(void*)GetProcAddress(dll, "TVX_GetConnectType");
        check(open && close && connectType, "open, close and a query exported");
        if (open && close && connectType) {
            TVX_HANDLE handle = NULL;
            DWORD start = GetTickCount();
            int32_t r = open(TVX_LINK_ETHERNET, "127.0.0.213", &handle);
            check(r != TVX_OK && handle == NULL, "opening an address nobody answers fails");
            check(GetTickCount() - start < 15000, "the failed open stays within its budget");
            check(connectType(NULL) == 255 && close(NULL) == TVX_ERR_INVALID_HANDLE,
                  "calls with no handle are refused");
            if (argc == 5) {
                /* "COMn" is a controller on a serial port, anything else an IP address. */
                const int32_t kind = strncmp(argv[4], "COM", 3) == 0 ? TVX_LINK_SERIAL : TVX_LINK_ETHERNET;
                handle = NULL;
                r = open(kind, argv[4], &handle);
                printf("TVX_Open(%s) = %d\n", argv[4], (int)r);
                check(r == TVX_OK && handle != NULL, "opening the controller succeeds");
                if (r == TVX_OK) {
                    check(connectType(handle) == kind, "the handle reports the link kind it was opened with");
                    check(close(handle) == TVX_OK, "TVX_Close succeeds");
                    check(connectType(handle) == 255, "a closed handle is refused");
                }
                /* Handles left open over Ethernet (a serial port takes one):
                 * unloading stops their link threads itself. */
                if (kind == TVX_LINK_ETHERNET) {
                    for (int i = 0; i < 3; ++i) {
                        TVX_HANDLE kept = NULL;
                        check(open(kind, argv[4], &kept) == TVX_OK, "a handle to leave open");
                        openAtUnload += kept != NULL;
                    }
                }
            }
        }
    }

    DWORD unloadStart = GetTickCount();
    check(FreeLibrary(dll) != 0, "FreeLibrary");
    const DWORD unloadMs = GetTickCount() - unloadStart;
    printf("FreeLibrary with %d open handle%s took %lu ms\n", openAtUnload, openAtUnload == 1 ? "" : "s",
           (unsigned long)unloadMs);
    check(unloadMs < 2000, "unloading with open handles stays within its bound");
    printf("%s (%d failure%s)\n", failures ? "FAILED" : "passed", failures, failures == 1 ? "" : "s");
    return failures ? 1 : 0;
}
