// 16-bit (5-6-5) pixel pictures to and from PNG files (8-bit RGB), through
// libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::tool {

struct Picture565 {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint16_t> pixels;  // row after row
};

// Each channel widened to 8 bits so that full intensity stays full.
void rgbOf565(uint16_t v, uint8_t rgb[3]);
bool writePng(const std::string& path, const Picture565& picture, std::string* error);
// Reads any PNG, reduced to 5-6-5.
bool readPng(const std::string& path, Picture565* picture, std::string* error);

}  // namespace tvx::tool
