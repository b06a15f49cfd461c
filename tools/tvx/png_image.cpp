#include "png_image.h"

#include <png.h>

#include <cstring>

namespace tvx::tool {

void rgbOf565(uint16_t v, uint8_t rgb[3]) {
    const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    rgb[0] = static_cast<uint8_t>((r * 255 + 15) / 31);
    rgb[1] = static_cast<uint8_t>((g * 255 + 31) / 63);
    rgb[2] = static_cast<uint8_t>((b * 255 + 15) / 31);
}

bool writePng(const std::string& path, const Picture565& p, std::string* error) {
    std::vector<uint8_t> rgb(p.pixels.size() * 3);
    for (size_t i = 0; i < p.pixels.size(); ++i) rgbOf565(p.pixels[i], &rgb[i * 3]);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = p.width;
    image.height = p.height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        *error = image.message;
        return false;
    }
    return true;
}

bool readPng(const std::string& path, Picture565* p, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        *error = image.message;
        png_image_free(&image);
        return false;
    }
    p->width = image.width;
    p->height = image.height;
    p->pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < p->pixels.size(); ++i)
        p->pixels[i] = static_cast<uint16_t>(((rgb[i * 3] >> 3) << 11) | ((rgb[i * 3 + 1] >> 2) << 5) | (rgb[i * 3 + 2] >> 3));
    return true;
}

}  // namespace tvx::tool
