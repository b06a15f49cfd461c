/*
 * A program built against an installed tavrix (CMake package or pkg-config):
 * it finds the header, links the shared library and reads its version.
 * Usage: consumer EXPECTED_VERSION
 */
#include <stdio.h>
#include <string.h>

#include <tavrix.h>

int main(int argc, char** argv) {
    char version[16];
    if (argc != 2) return 2;
    if (TVX_GetDllVersion(version) != TVX_OK) {
        printf("TVX_GetDllVersion failed\n");
        return 1;
    }
    if (strcmp(version, argv[1]) != 0) {
        printf("version %s, expected %s\n", version, argv[1]);
        return 1;
    }
    if (TVX_Close(NULL) != TVX_ERR_INVALID_HANDLE) {
        printf("TVX_Close(NULL) did not refuse the handle\n");
        return 1;
    }
    printf("tavrix %s\n", version);
    return 0;
}
