// Conversion of a picture file (BMP, JPEG, GIF) into the picture record a
// controller displays: a 32-byte header, an RGB0 palette and DIB pixel rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_buffer.h"
#include "platform/picture_codec.h"

namespace tvx {

inline constexpr uint32_t kPictureHeaderBytes = 32;

// Reads and converts the file at `path`; the kind comes from the extension
// after the last '.' (bmp, jpg, jpe, jpeg, gif, any case). 0, or 20014
// (cannot open), 20006 (memory, short read), 20011 (no or unknown extension,
// not decodable, a depth other than 1, 8, 24 or 32, a zero or oversized
// dimension).
int32_t convertPicture(const char* path, ByteBuffer* record);

// The same for a file already in memory, with its extension (no dot).
int32_t convertPictureFromMemory(const uint8_t* data, size_t size, const char* extension,
                                 ByteBuffer* record);

// Lays out a decoded bitmap as a picture record.
int32_t buildPictureRecord(const platform::DecodedPicture& picture, ByteBuffer* record);

}  // namespace tvx
