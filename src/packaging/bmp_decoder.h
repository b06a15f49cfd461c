// Reads a BMP file into a device-independent bitmap. A BMP already is one:
// the pixel rows are copied (flipped to bottom-up when stored top-down) and
// the run-length forms (RLE8, RLE4) are expanded. The depth is kept as
// stored, whatever it is; the picture record decides what it accepts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/picture_codec.h"

namespace tvx {

platform::DecodeResult decodeBmp(const uint8_t* data, size_t size, platform::DecodedPicture* out);

}  // namespace tvx
