// Camera pictures for the simulated vision module from PNG files
// (tavrix-sim --camera FILE.png), reduced to 16-bit 5-6-5 pixels.
#pragma once

#include <string>

#include "engine/pixel_image.h"

namespace tvx::sim {

bool loadCameraPng(const std::string& path, PixelImage* image, std::string* error);

}  // namespace tvx::sim
