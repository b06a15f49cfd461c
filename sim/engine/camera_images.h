// The simulated vision module's images: image 0 is a synthetic test
// picture (colour bars over a grey ramp, with a frame and a cross); further
// images are added by the host program (tavrix-sim --camera FILE.png).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/pixel_image.h"

namespace tvx::sim {

class CameraImages {
public:
    CameraImages();

    // The image with this number, or null.
    const PixelImage* find(uint16_t number) const;
    // Adds an image and returns its number.
    uint16_t add(PixelImage image);
    size_t count() const { return images_.size(); }

    static PixelImage testPicture(uint32_t width, uint32_t height);

private:
    std::vector<PixelImage> images_;
};

}  // namespace tvx::sim
