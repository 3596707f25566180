// Transparency: the alpha plane taken out of RGBA pixels, and pixels composited over a
// background colour.
#include "media/image_codec.h"

#include <cstdlib>

namespace kestrova::media {

int ISSplitAlpha(uint8_t** rgba, size_t count, uint8_t** alpha) {
    uint8_t* pixels = *rgba;
    uint8_t* plane = alpha == nullptr ? nullptr : static_cast<uint8_t*>(std::malloc(count));
    // Pixel i's 3 bytes never pass pixel i's 4, which are read before they are overwritten.
    for (size_t i = 0; i < count; ++i) {
        if (plane != nullptr) {
            plane[i] = pixels[i * 4 + 3];
        }
        pixels[i * 3] = pixels[i * 4];
        pixels[i * 3 + 1] = pixels[i * 4 + 1];
        pixels[i * 3 + 2] = pixels[i * 4 + 2];
    }
    if (void* smaller = count == 0 ? nullptr : std::realloc(pixels, count * 3)) {
        *rgba = static_cast<uint8_t*>(smaller);
    }
    if (plane != nullptr) {
        *alpha = plane;
    }
    return alpha != nullptr && plane == nullptr ? kImageErrNoMemory : kImageOk;
}

void ISCompositeOver(uint8_t* rgb, const uint8_t* alpha, size_t count, uint32_t backgroundRgb) {
    const uint32_t background[3] = {backgroundRgb >> 16 & 0xFF, backgroundRgb >> 8 & 0xFF,
                                    backgroundRgb & 0xFF};
    for (size_t i = 0; i < count; ++i) {
        const uint32_t a = alpha[i];
        for (int c = 0; c < 3; ++c) {
            // Both terms rounded together: an opaque or a clear pixel keeps its exact colour.
            rgb[i * 3 + c] =
                static_cast<uint8_t>((rgb[i * 3 + c] * a + background[c] * (255 - a) + 127) / 255);
        }
    }
}

} // namespace kestrova::media
