// POSIX environment calls the shared tests use, on top of the Windows C
// runtime. Included ahead of every test source of the Windows build.
#pragma once

#ifdef __cplusplus
#include <cstdlib>
#else
#include <stdlib.h>
#endif

static inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

static inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }
