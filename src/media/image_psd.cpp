// PSD back end: the composite image that follows the layers, which every writer stores,
// raw or PackBits-compressed, one plane per channel. Layers and masks are skipped; so are the
// channels past the colour channels (saved selections, spot colours), except the first when
// the layer count is negative: it is then the composite's transparency.
#include "media/image_codec.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrova::media {

namespace {

// No PSD-specific code exists: a broken PSD file is a read error.
constexpr int kBadPsd = kImageErrFileRead;

enum PsdMode : uint32_t {
    kModeBitmap = 0,
    kModeGrey = 1,
    kModeIndexed = 2,
    kModeRgb = 3,
    kModeCmyk = 4,
    kModeDuotone = 8,
};

uint32_t Be16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return (Be16(p) << 16) | Be16(p + 2);
}

// Unpacks one PackBits row: a header byte n of 0..127 copies the next n + 1 bytes, -1..-127
// repeats the next byte 1 - n times, and -128 is a no-op that some writers put at the end of
// each row. False when the row does not unpack to exactly `size` bytes.
bool UnpackRow(const uint8_t* in, const uint8_t* end, uint8_t* out, size_t size) {
    size_t done = 0;
    while (in < end) {
        const auto header = static_cast<int8_t>(*in++);
        if (header == -128) {
            continue;
        }
        if (header >= 0) {
            const size_t count = size_t(header) + 1;
            if (count > size - done || count > size_t(end - in)) {
                return false;
            }
            std::memcpy(out + done, in, count);
            in += count;
            done += count;
        } else {
            const size_t count = 1 - ptrdiff_t{header};
            if (count > size - done || in == end) {
                return false;
            }
            std::memset(out + done, *in++, count);
            done += count;
        }
    }
    return done == size;
}

struct Header {
    uint32_t channels, height, width, depth, mode;
};

// The channels a mode takes its colours from.
uint32_t ColourChannels(uint32_t mode) {
    return mode == kModeRgb ? 3 : mode == kModeCmyk ? 4 : 1;
}

bool IsSupported(const Header& h) {
    switch (h.mode) {
    case kModeBitmap:
        return h.depth == 1;
    case kModeIndexed:
        return h.depth == 8;
    case kModeGrey:
    case kModeDuotone:
    case kModeRgb:
    case kModeCmyk:
        return h.depth == 8 || h.depth == 16;
    default:
        return false;
    }
}

// Whether the layer section says the first channel past the colours is the transparency of
// the composite: a negative layer count (in the layer info that opens the section) says so.
bool HasTransparency(const uint8_t* layers, size_t length) {
    return length >= 6 && Be32(layers) >= 2 && (layers[4] & 0x80) != 0;
}

// Skips a section that starts with its 32-bit length; false when it runs past the end.
bool SkipSection(const uint8_t* data, size_t length, size_t* at, const uint8_t** body,
                 size_t* bodyLength) {
    if (length - *at < 4) {
        return false;
    }
    const size_t size = Be32(data + *at);
    *at += 4;
    if (size > length - *at) {
        return false;
    }
    *body = data + *at;
    *bodyLength = size;
    *at += size;
    return true;
}

// Turns the colour planes' samples of one row (8 bits each) into RGB.
void RowToRgb(const Header& h, const uint8_t* const* planes, const uint8_t* palette, uint8_t* out) {
    for (uint32_t x = 0; x < h.width; ++x, out += 3) {
        switch (h.mode) {
        case kModeRgb:
            out[0] = planes[0][x];
            out[1] = planes[1][x];
            out[2] = planes[2][x];
            break;
        case kModeCmyk: {
            // Inks are stored inverted (255 = no ink): each colour is a plain product.
            const uint32_t k = planes[3][x];
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<uint8_t>((planes[c][x] * k + 127) / 255);
            }
            break;
        }
        case kModeIndexed: {
            // The colour table holds 256 reds, then 256 greens, then 256 blues.
            const uint8_t index = planes[0][x];
            out[0] = palette[index];
            out[1] = palette[256 + index];
            out[2] = palette[512 + index];
            break;
        }
        default: // grey, duotone (its first ink read as grey), bitmap (already expanded)
            std::memset(out, planes[0][x], 3);
            break;
        }
    }
}

// Turns one stored row of a channel into 8-bit samples.
void RowToSamples(const Header& h, const uint8_t* row, uint8_t* samples) {
    for (uint32_t x = 0; x < h.width; ++x) {
        if (h.depth == 1) { // a set bit is black
            samples[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
        } else if (h.depth == 16) {
            samples[x] = static_cast<uint8_t>((Be16(row + 2 * size_t{x}) * 255 + 32767) / 65535);
        } else {
            samples[x] = row[x];
        }
    }
}

int Decode(const uint8_t* data, size_t length, bool wantAlpha, uint8_t** pixels, uint8_t** alpha,
           Header* h) {
    if (length < 26 || std::memcmp(data, "8BPS", 4) != 0 || Be16(data + 4) != 1) {
        return kBadPsd;
    }
    *h = {Be16(data + 12), Be32(data + 14), Be32(data + 18), Be16(data + 22), Be16(data + 24)};
    if (!IsSupported(*h) || h->channels < ColourChannels(h->mode) || h->channels > 56) {
        return kBadPsd;
    }
    const int sizeCode = ISCheckImageSize(h->width, h->height);
    if (sizeCode != kImageOk) {
        return sizeCode == kImageErrBadParam ? kBadPsd : sizeCode;
    }
    size_t at = 26;
    const uint8_t* palette = nullptr;
    size_t paletteLength = 0;
    const uint8_t* section = nullptr;
    size_t sectionLength = 0;
    if (!SkipSection(data, length, &at, &palette, &paletteLength) ||
        (h->mode == kModeIndexed && paletteLength < 768) ||
        !SkipSection(data, length, &at, &section, &sectionLength) || // image resources
        !SkipSection(data, length, &at, &section, &sectionLength) || // layers and masks
        length - at < 2) {
        return kBadPsd;
    }
    const uint32_t compression = Be16(data + at);
    at += 2;
    if (compression > 1) {
        return kBadPsd; // ZIP-compressed composites are not read
    }

    // Where each stored row of each channel begins: raw rows follow each other plane by
    // plane; packed rows are preceded by a table of their sizes, all planes' rows in turn.
    const size_t rowBytes = (size_t{h->width} * h->depth + 7) / 8;
    const size_t rows = size_t{h->channels} * h->height;
    const uint32_t colours = ColourChannels(h->mode);
    const bool withAlpha = wantAlpha && h->mode != kModeIndexed && h->mode != kModeBitmap &&
                           h->channels > colours && HasTransparency(section, sectionLength);
    const uint32_t planes = colours + (withAlpha ? 1 : 0);
    std::vector<size_t> rowStart;
    std::vector<size_t> rowSize;
    if (compression == 0) {
        if (rowBytes * h->height * planes > length - at) {
            return kBadPsd;
        }
    } else {
        if (2 * rows > length - at) {
            return kBadPsd;
        }
        const size_t needed = size_t{planes} * h->height;
        rowStart.resize(needed);
        rowSize.resize(needed);
        size_t offset = at + 2 * rows;
        for (size_t r = 0; r < needed; ++r) {
            rowStart[r] = offset;
            rowSize[r] = Be16(data + at + 2 * r);
            offset += rowSize[r];
        }
        if (offset > length) {
            return kBadPsd;
        }
    }

    std::vector<uint8_t> scratch(rowBytes + size_t{h->width} * colours);
    uint8_t* samples[5] = {};
    for (uint32_t c = 0; c < colours; ++c) {
        samples[c] = scratch.data() + rowBytes + size_t{h->width} * c;
    }
    const size_t count = size_t{h->width} * h->height;
    auto* rgb = static_cast<uint8_t*>(std::malloc(count * 3));
    auto* plane = withAlpha ? static_cast<uint8_t*>(std::malloc(count)) : nullptr;
    if (rgb == nullptr || (withAlpha && plane == nullptr)) {
        std::free(rgb);
        std::free(plane);
        return kImageErrNoMemory;
    }
    for (uint32_t y = 0; y < h->height; ++y) {
        if (withAlpha) { // the transparency goes straight into its plane
            samples[colours] = plane + size_t{y} * h->width;
        }
        for (uint32_t c = 0; c < planes; ++c) {
            const size_t r = size_t{c} * h->height + y;
            const uint8_t* row = data + at + r * rowBytes;
            if (compression == 1) {
                row = scratch.data();
                if (!UnpackRow(data + rowStart[r], data + rowStart[r] + rowSize[r], scratch.data(),
                               rowBytes)) {
                    std::free(rgb);
                    std::free(plane);
                    return kBadPsd;
                }
            }
            RowToSamples(*h, row, samples[c]);
        }
        RowToRgb(*h, samples, palette, rgb + size_t{y} * h->width * 3);
    }
    *pixels = rgb;
    *alpha = plane;
    return kImageOk;
}

} // namespace

uint8_t* ISReadPSD(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    if (source == nullptr || source->data == nullptr || width == nullptr || height == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return nullptr;
    }
    uint8_t* pixels = nullptr;
    uint8_t* plane = nullptr;
    Header header{};
    const int code =
        Decode(source->data, source->length, alpha != nullptr, &pixels, &plane, &header);
    if (code == kImageOk) {
        *width = header.width;
        *height = header.height;
        if (plane != nullptr) {
            *alpha = plane;
        }
    }
    ISSetLastError(code);
    return pixels;
}

} // namespace kestrova::media
