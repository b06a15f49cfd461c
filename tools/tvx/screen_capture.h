// Whole pictures from a controller: its LCD screen (one refresh pass of a
// fresh session) and its camera images.
#pragma once

#include <cstdint>

#include "png_image.h"
#include "tavrix.h"

namespace tvx::tool {

// Opens a session on `screen`, mirrors what the first refresh pass sends
// (the whole screen after an open), ends the pass and closes the session.
int32_t captureScreen(TVX_HANDLE h, uint32_t screen, Picture565* picture);
int32_t captureCameraImage(TVX_HANDLE h, uint16_t image, Picture565* picture);

}  // namespace tvx::tool
