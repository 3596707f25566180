// A decoded picture laid out as a lossless bitmap character stores its pixels, before they are
// compressed: a picture of at most 256 colours as a colour table and one index byte a pixel
// (each row padded to a multiple of 4 bytes), any other as 4 bytes a pixel (a first byte, then
// red, green, blue). A picture with alpha has RGBA table entries or alpha as the first byte, and
// its colours multiplied by their alpha, as players draw such bitmaps; an opaque picture has RGB
// entries or a zero first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kestrova::media {

class RgbImage;

struct LosslessPixels {
    struct Freer {
        void operator()(uint8_t* block) const { std::free(block); }
    };
    // The colour table followed by the index rows, or the 4-byte pixels; allocated with malloc.
    std::unique_ptr<uint8_t[], Freer> block;
    size_t length = 0;
    // Entries of the colour table (1..256), 0 for 4-byte pixels.
    uint32_t colours = 0;
    bool alpha = false;

    // Bytes of the colour table at the start of the block.
    size_t TableBytes() const { return size_t{colours} * (alpha ? 4 : 3); }
};

// Takes the image's pixels (the image is left empty) and lays them out. 4-byte pixels are made
// where the RGB block was, so a large picture is never held twice. No block when memory runs out.
LosslessPixels TakeLosslessPixels(RgbImage& image);

} // namespace kestrova::media
