/*
 * A tour of the C interface: find controllers, read state and I/O, run a
 * command, send a program and start it.
 *
 *   tour_c [ADDRESS [PROJECT.npj]]
 *
 * Without an address the first controller that answers a search is used.
 */
#include <stdio.h>
#include <string.h>

#include <tavrix.h>

static int failed(const char* what, int32_t code) {
    fprintf(stderr, "%s: %s (%d)\n", what, TVX_DescribeResult(code), (int)code);
    return 1;
}

int main(int argc, char** argv) {
    char address[64] = "";
    const char* project = argc > 2 ? argv[2] : "program/blink.npj";
    TVX_HANDLE h = NULL;
    char version[17] = "";
    char answer[256];
    uint8_t state = 0, out3 = 0;
    int32_t inputs = 0, r;
    static uint8_t record[TVX_PROJECT_RECORD_MAX_BYTES];
    char directory[TVX_PATH_BYTES];

    /* Find controllers: each answering address followed by a blank. */
    if (argc > 1) {
        snprintf(address, sizeof address, "%s", argv[1]);
    } else {
        char found[16 * 32 + 1];
        char* next;
        if (TVX_SearchEth(found, sizeof found, 500) != TVX_OK || sscanf(found, "%63s", address) != 1) {
            fprintf(stderr, "no controller answered\n");
            return 1;
        }
        for (next = strtok(found, " "); next; next = strtok(NULL, " ")) printf("found: %s\n", next);
    }

    if ((r = TVX_Open(TVX_LINK_ETHERNET, address, &h)) != TVX_OK) return failed("open", r);

    /* State and I/O. */
    if ((r = TVX_GetSoftVersion(h, NULL, version, NULL)) != TVX_OK) goto fail;
    if ((r = TVX_GetState(h, &state)) != TVX_OK) goto fail;
    printf("controller %s: %s, %u axes, state %u\n", address, version, TVX_GetAxises(h), state);
    if ((r = TVX_GetInAll(h, 0, 15, &inputs)) != TVX_OK) goto fail;
    printf("inputs 0-15: 0x%04x\n", (unsigned)inputs);
    if ((r = TVX_SetOutput(h, 3, 1)) != TVX_OK || (r = TVX_GetOutput(h, 3, &out3)) != TVX_OK) goto fail;
    printf("output 3: %u\n", out3);

    /* A command for the controller's interpreter. */
    if ((r = TVX_Execute(h, "?1+2*3", 2000, answer, sizeof answer)) != TVX_OK) goto fail;
    answer[strcspn(answer, "\r\n")] = 0;
    printf("?1+2*3 -> %s\n", answer);

    /* Send a project's programs and start them at once: the project text
     * file becomes a project record, which the archive is built from. */
    if ((r = TVX_MakeMultiFileNpj(record, directory, project)) != TVX_OK) goto fail;
    if ((r = TVX_MakeNarAndRamRun2(h, record, directory, NULL, 0)) != TVX_OK) goto fail;
    if ((r = TVX_GetState(h, &state)) != TVX_OK) goto fail;
    printf("program started: state %u\n", state);
    if ((r = TVX_Stop(h)) != TVX_OK) goto fail;

    TVX_Close(h);
    return 0;
fail:
    TVX_Close(h);
    return failed("request", r);
}
