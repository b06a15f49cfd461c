#include "server/camera_png.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace tvx::sim {

bool loadCameraPng(const std::string& path, PixelImage* image, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        *error = png.message;
        return false;
    }
    // Image sizes travel as 16-bit values and positions as 16-bit rows and columns.
    if (png.width == 0 || png.height == 0 || png.width > 0xFFFF || png.height > 0xFFFF) {
        png_image_free(&png);
        *error = "the picture must be 1 to 65535 pixels wide and high";
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        *error = png.message;
        png_image_free(&png);
        return false;
    }
    image->reset(png.width, png.height);
    auto& pixels = image->pixels();
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = rgb565(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
    return true;
}

}  // namespace tvx::sim
