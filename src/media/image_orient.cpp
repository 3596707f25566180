// Orientation of camera pictures: the EXIF orientation tag of a JPEG, and the turn or mirror
// that puts a decoded picture upright.
#include "media/image_codec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestrova::media {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

// A bounds-checked view of a TIFF structure in either byte order.
struct TiffView {
    const uint8_t* data;
    size_t length;
    bool bigEndian;

    bool Has(size_t offset, size_t count) const {
        return offset <= length && count <= length - offset;
    }
    uint16_t U16(size_t offset) const {
        const uint8_t* p = data + offset;
        return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                         : static_cast<uint16_t>(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t offset) const {
        const uint8_t* p = data + offset;
        return bigEndian ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                         : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
};

// The orientation in the first directory of a TIFF structure, 1 when it has none.
int TiffOrientation(const uint8_t* data, size_t length) {
    if (length < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) {
        return 1;
    }
    const TiffView tiff{data, length, data[0] == 'M'};
    if (tiff.U16(2) != 42) {
        return 1;
    }
    const size_t directory = tiff.U32(4);
    if (!tiff.Has(directory, 2)) {
        return 1;
    }
    const size_t entries = tiff.U16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + i * 12;
        if (!tiff.Has(entry, 12)) {
            return 1;
        }
        if (tiff.U16(entry) == kOrientationTag) {
            const uint16_t value = tiff.U16(entry + 8);
            const bool valid = tiff.U16(entry + 2) == kShortType && tiff.U32(entry + 4) == 1 &&
                               value >= 1 && value <= 8;
            return valid ? value : 1;
        }
    }
    return 1;
}

// The turns and transposes, which swap width and height: the output pixel (x, y) is the
// stored pixel (ax * x + ay * y + x0, bx * x + by * y + y0), where x0 is w - 1 when flipX is set
// (else 0) and y0 is h - 1 when flipY is set, for a stored picture of w x h.
struct Turn {
    int ax, ay, bx, by;
    bool flipX, flipY;
};

constexpr Turn kTurns[4] = {
    {0, 1, 1, 0, false, false}, // 5: transposed
    {0, 1, -1, 0, false, true}, // 6: turned 90 degrees clockwise to be upright
    {0, -1, -1, 0, true, true}, // 7: transversed
    {0, -1, 1, 0, true, false}, // 8: turned 90 degrees counter-clockwise to be upright
};

// Copies the stored w x h picture of N-byte pixels into out, turned as map says. Tiles keep
// the columns read from the stored picture in cache: a 12-megapixel photo turns over twice as
// fast as row by row.
template <int64_t N>
void TurnTiles(const uint8_t* in, uint8_t* out, uint32_t w, uint32_t h, const Turn& map) {
    const uint32_t outWidth = h;
    const uint32_t outHeight = w;
    const int64_t x0 = map.flipX ? int64_t{w} - 1 : 0;
    const int64_t y0 = map.flipY ? int64_t{h} - 1 : 0;
    constexpr int64_t kTile = 32;
    const int64_t step = (map.bx * int64_t{w} + map.ax) * N; // source bytes per output pixel
    for (int64_t ty = 0; ty < outHeight; ty += kTile) {
        const int64_t yEnd = std::min<int64_t>(ty + kTile, outHeight);
        for (int64_t tx = 0; tx < outWidth; tx += kTile) {
            const int64_t xEnd = std::min<int64_t>(tx + kTile, outWidth);
            for (int64_t y = ty; y < yEnd; ++y) {
                const int64_t sx = map.ax * tx + map.ay * y + x0;
                const int64_t sy = map.bx * tx + map.by * y + y0;
                int64_t from = (sy * w + sx) * N;
                uint8_t* to = out + (y * outWidth + tx) * N;
                for (int64_t x = tx; x < xEnd; ++x, from += step, to += N) {
                    std::memcpy(to, in + from, N);
                }
            }
        }
    }
}

} // namespace

int ISJpegOrientation(const uint8_t* data, size_t length) {
    if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return 1;
    }
    // Walks the marker segments up to the first scan; EXIF sits in an APP1 segment.
    size_t position = 2;
    while (position + 4 <= length && data[position] == 0xFF) {
        const uint8_t marker = data[position + 1];
        if (marker == 0xFF) { // fill byte
            ++position;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) {
            break;
        }
        const size_t segment = size_t{data[position + 2]} << 8 | data[position + 3];
        if (segment < 2 || segment > length - position - 2) {
            break;
        }
        const uint8_t* payload = data + position + 4;
        const size_t payloadLength = segment - 2;
        if (marker == 0xE1 && payloadLength >= 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            return TiffOrientation(payload + 6, payloadLength - 6);
        }
        position += 2 + segment;
    }
    return 1;
}

uint8_t* ISApplyOrientation(uint8_t* rgb, uint32_t* width, uint32_t* height, int orientation,
                            size_t pixelBytes) {
    const uint32_t w = *width;
    const uint32_t h = *height;
    if (orientation < 2 || orientation > 8 || rgb == nullptr) {
        return rgb;
    }
    const size_t count = size_t{w} * h;
    if (orientation < 5) {
        // Mirrors and the half turn are swaps of pixel pairs, done in place.
        const size_t n = pixelBytes;
        const auto swapPixels = [rgb, n](size_t a, size_t b) {
            std::swap_ranges(rgb + a * n, rgb + a * n + n, rgb + b * n);
        };
        if (orientation == 3) {
            for (size_t i = 0; i < count / 2; ++i) {
                swapPixels(i, count - 1 - i);
            }
        } else if (orientation == 2) {
            for (size_t y = 0; y < h; ++y) {
                for (size_t x = 0; x < w / 2; ++x) {
                    swapPixels(y * w + x, y * w + w - 1 - x);
                }
            }
        } else {
            for (size_t y = 0; y < h / 2; ++y) {
                std::swap_ranges(rgb + y * w * n, rgb + (y + 1) * w * n, rgb + (h - 1 - y) * w * n);
            }
        }
        return rgb;
    }
    // Turns and transposes need a second picture; the stored one is freed once it is copied.
    auto* out = static_cast<uint8_t*>(std::malloc(count * pixelBytes));
    if (out == nullptr) {
        std::free(rgb);
        ISSetLastError(kImageErrNoMemory);
        return nullptr;
    }
    const uint32_t outWidth = h;
    const uint32_t outHeight = w;
    if (pixelBytes == 1) {
        TurnTiles<1>(rgb, out, w, h, kTurns[orientation - 5]);
    } else {
        TurnTiles<3>(rgb, out, w, h, kTurns[orientation - 5]);
    }
    std::free(rgb);
    *width = outWidth;
    *height = outHeight;
    return out;
}

} // namespace kestrova::media
