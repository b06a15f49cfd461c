#include "engine/camera_images.h"

namespace tvx::sim {

CameraImages::CameraImages() { images_.push_back(testPicture(320, 240)); }

const PixelImage* CameraImages::find(uint16_t number) const {
    return number < images_.size() ? &images_[number] : nullptr;
}

uint16_t CameraImages::add(PixelImage image) {
    images_.push_back(std::move(image));
    return static_cast<uint16_t>(images_.size() - 1);
}

PixelImage CameraImages::testPicture(uint32_t width, uint32_t height) {
    static constexpr uint16_t kBars[] = {rgb565(255, 255, 255), rgb565(255, 255, 0), rgb565(0, 255, 255),
                                         rgb565(0, 255, 0),     rgb565(255, 0, 255), rgb565(255, 0, 0),
                                         rgb565(0, 0, 255),     rgb565(0, 0, 0)};
    PixelImage p(width, height);
    const uint32_t barsHeight = height * 2 / 3;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            if (y < barsHeight) {
                p.set(x, y, kBars[x * 8 / width]);
            } else {
                const auto v = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
                p.set(x, y, rgb565(v, v, v));
            }
        }
    const uint16_t red = rgb565(255, 0, 0);
    p.fill({0, 0, width, 2}, red);
    p.fill({0, height - 2, width, 2}, red);
    p.fill({0, 0, 2, height}, red);
    p.fill({width - 2, 0, 2, height}, red);
    p.fill({width / 2 - 1, 0, 2, height}, red);
    p.fill({0, height / 2 - 1, width, 2}, red);
    p.text(8, height - 20, 2, rgb565(255, 255, 255), "CAMERA 0");
    return p;
}

}  // namespace tvx::sim
