// Fetching a remote screen's changed pixels: the check for changed regions,
// one chunk of a region, and every listed region in turn.
#pragma once

#include <cstdint>

#include "link/handle.h"
#include "tavrix.h"

namespace tvx {

// What a chunk fetch delivers: any of the three may be null (not raw and
// pixels both); pixels need the screen.
struct ChunkSink {
    uint32_t* next = nullptr;
    TVX_LcdRawChunk* raw = nullptr;
    const TVX_LcdScreen* screen = nullptr;
    uint16_t* pixels = nullptr;
    bool convert555 = false;
};

int32_t checkLcdRegions(ControllerHandle& h, uint8_t screen, TVX_LcdRegionList* regions, TVX_LcdCheckInfo* info);
int32_t fetchLcdChunk(ControllerHandle& h, uint8_t screen, uint8_t regionIndex, uint32_t regionSlot,
                      uint32_t position, const ChunkSink& sink);

// Progress between continuation fetches: `onProgress` is called before every
// `every`-th continuation (never when null or `every` is 0 or less).
struct FetchProgress {
    int32_t every = 0;
    TVX_LcdProgressCallback onProgress = nullptr;
    TVX_HANDLE api = nullptr;
};

int32_t fetchAllRegions(ControllerHandle& h, uint8_t screen, const TVX_LcdScreen* target, uint16_t* pixels,
                        bool convert555, const FetchProgress& progress);
int32_t checkAndFetchAll(ControllerHandle& h, uint8_t screen, TVX_LcdScreen* target, uint16_t* pixels,
                         bool convert555);

}  // namespace tvx
