#include "media/lossless_pixels.h"

#include "media/rgb_image.h"

#include <cstring>
#include <utility>

namespace kestrova::media {

namespace {

constexpr uint32_t kMaxColours = 256;
constexpr size_t kMaxTableBytes = kMaxColours * 4;

// c * a / 255 rounded to the nearest integer (never a tie: 255 is odd).
uint32_t Premultiply(uint32_t c, uint32_t a) {
    return (c * a + 127) / 255;
}

// Pixel i as a word 0xAARRGGBB, its colours premultiplied; alpha 255 without an alpha plane.
uint32_t PixelWord(const uint8_t* rgb, const uint8_t* alpha, size_t i) {
    const uint32_t a = alpha == nullptr ? 255 : alpha[i];
    return a << 24 | Premultiply(rgb[i * 3], a) << 16 | Premultiply(rgb[i * 3 + 1], a) << 8 |
           Premultiply(rgb[i * 3 + 2], a);
}

// The colours met so far and their indices: an open-addressed table four times as large as
// the most colours it takes, so a probe rarely goes past the first slot.
class ColourTable {
public:
    ColourTable() { std::memset(slotIndex, 0xFF, sizeof slotIndex); }

    // The colour's index, a new one for a colour not met before; -1 once a 257th comes.
    int IndexOf(uint32_t colour) {
        size_t slot = (colour * 0x9E3779B1u) >> 22;
        while (slotIndex[slot] >= 0) {
            if (colours[slotIndex[slot]] == colour) {
                return slotIndex[slot];
            }
            slot = (slot + 1) % kSlots;
        }
        if (count == kMaxColours) {
            return -1;
        }
        colours[count] = colour;
        slotIndex[slot] = static_cast<int16_t>(count);
        return static_cast<int>(count++);
    }
    uint32_t Count() const { return count; }
    uint32_t Colour(uint32_t index) const { return colours[index]; }

private:
    static constexpr size_t kSlots = 4 * kMaxColours;
    int16_t slotIndex[kSlots];
    uint32_t colours[kMaxColours];
    uint32_t count = 0;
};

// The colour-mapped layout, or no block when the picture has more than 256 colours.
LosslessPixels MapColours(const RgbImage& image) {
    const uint32_t width = image.Width();
    const uint32_t height = image.Height();
    const size_t rowBytes = (size_t{width} + 3) / 4 * 4;
    LosslessPixels out;
    // The rows are written behind room for the largest table and moved up to the real one.
    out.block.reset(static_cast<uint8_t*>(std::malloc(kMaxTableBytes + rowBytes * height)));
    if (!out.block) {
        return out;
    }
    auto table = std::make_unique<ColourTable>();
    const uint8_t* rgb = image.Pixels();
    const uint8_t* alpha = image.Alpha();
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out.block.get() + kMaxTableBytes + y * rowBytes;
        for (uint32_t x = 0; x < width; ++x) {
            const int index = table->IndexOf(PixelWord(rgb, alpha, size_t{y} * width + x));
            if (index < 0) {
                return {};
            }
            row[x] = static_cast<uint8_t>(index);
        }
        std::memset(row + width, 0, rowBytes - width);
    }
    out.colours = table->Count();
    out.alpha = alpha != nullptr;
    uint8_t* entry = out.block.get();
    for (uint32_t i = 0; i < out.colours; ++i) {
        const uint32_t colour = table->Colour(i);
        *entry++ = static_cast<uint8_t>(colour >> 16);
        *entry++ = static_cast<uint8_t>(colour >> 8);
        *entry++ = static_cast<uint8_t>(colour);
        if (out.alpha) {
            *entry++ = static_cast<uint8_t>(colour >> 24);
        }
    }
    out.length = out.TableBytes() + rowBytes * height;
    std::memmove(entry, out.block.get() + kMaxTableBytes, rowBytes * height);
    if (void* smaller = std::realloc(out.block.get(), out.length)) {
        (void)out.block.release();
        out.block.reset(static_cast<uint8_t*>(smaller));
    }
    return out;
}

} // namespace

LosslessPixels TakeLosslessPixels(RgbImage& image) {
    LosslessPixels mapped = image.IsEmpty() ? LosslessPixels{} : MapColours(image);
    if (mapped.block) {
        image.Clear();
        return mapped;
    }
    // 4 bytes a pixel, plus the one byte the store has always given, spread out from the last
    // pixel back: pixel i's 3 bytes lie below pixel i + 1's 4, which are already written.
    const size_t count = size_t{image.Width()} * image.Height();
    uint8_t* alpha = image.ReleaseAlpha();
    uint8_t* rgb = image.ReleasePixels();
    LosslessPixels out;
    out.length = count * 4 + 1;
    out.alpha = alpha != nullptr;
    auto* pixels = rgb == nullptr ? nullptr : static_cast<uint8_t*>(std::realloc(rgb, out.length));
    if (pixels == nullptr) {
        std::free(rgb);
        std::free(alpha);
        return {};
    }
    for (size_t i = count; i-- > 0;) {
        const uint32_t word = PixelWord(pixels, alpha, i);
        pixels[4 * i] = alpha == nullptr ? 0 : static_cast<uint8_t>(word >> 24);
        pixels[4 * i + 1] = static_cast<uint8_t>(word >> 16);
        pixels[4 * i + 2] = static_cast<uint8_t>(word >> 8);
        pixels[4 * i + 3] = static_cast<uint8_t>(word);
    }
    std::free(alpha);
    out.block.reset(pixels);
    return out;
}

} // namespace kestrova::media
