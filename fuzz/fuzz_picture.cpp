// Picture members: BMP of every depth (RLE4 and RLE8 included) decoded by
// the library itself, GIF and JPEG through the picture codec, each turned
// into the controller's bitmap record.
#include <cstddef>
#include <cstdint>

#include "base/byte_buffer.h"
#include "packaging/picture_record.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kExtensions[] = {"bmp", "gif", "jpg"};
    const char* extension = kExtensions[data[0] % 3];
    ByteBuffer record;
    (void)convertPictureFromMemory(data + 1, size - 1, extension, &record);
    return 0;
}
