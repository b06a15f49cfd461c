/*
 * A Windows host that links tavrix.dll implicitly through its import
 * library and the public header: proves that the import library matches the
 * header's calling conventions (on 32-bit a mismatch fails to link).
 * Usage: host_implicit EXPECTED_VERSION
 */
#include <stdio.h>
#include <string.h>

#include "tavrix.h"

int main(int argc, char** argv) {
    char version[16];
    const char* text;
    int failures = 0;
    if (argc != 2) return 2;
    if (TVX_GetDllVersion(version) != TVX_OK || strcmp(version, argv[1]) != 0) {
        printf("FAILED: TVX_GetDllVersion\n");
        ++failures;
    }
    text = TVX_GetErrcodeDescription(TVX_OK);
    if (text == NULL || text[0] == 0) {
        printf("FAILED: TVX_GetErrcodeDescription\n");
        ++failures;
    }
    if (TVX_GetConnectType(NULL) != 255) {
        printf("FAILED: TVX_GetConnectType(NULL)\n");
        ++failures;
    }
    printf("%s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}
