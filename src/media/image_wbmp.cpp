// WBMP back end (type 0, the only type in use): a type, a header byte, the width and height as
// multi-byte integers, then rows of 1 bit a pixel padded to whole bytes, a set bit white.
#include "media/image_codec.h"

#include <cstdlib>

namespace kestrova::media {

namespace {

// No WBMP-specific code exists: a broken WBMP file is a read error.
constexpr int kBadWbmp = kImageErrFileRead;

// A multi-byte integer: 7 bits a byte, most significant first, the top bit set on every byte
// but the last. False when the data ends first or the value outgrows any picture side.
bool ReadNumber(const uint8_t* data, size_t length, size_t* at, uint64_t* value) {
    *value = 0;
    while (*at < length) {
        const uint8_t byte = data[(*at)++];
        *value = (*value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return true;
        }
        if (*value > kMaxImagePixels) {
            return false;
        }
    }
    return false;
}

int Decode(const uint8_t* data, size_t length, uint8_t** pixels, uint64_t* width,
           uint64_t* height) {
    size_t at = 0;
    uint64_t type = 0;
    // The header byte of type 0 announces no extension headers.
    if (!ReadNumber(data, length, &at, &type) || type != 0 || at >= length || data[at++] != 0 ||
        !ReadNumber(data, length, &at, width) || !ReadNumber(data, length, &at, height)) {
        return kBadWbmp;
    }
    const int sizeCode = ISCheckImageSize(*width, *height);
    if (sizeCode != kImageOk) {
        return sizeCode == kImageErrBadParam ? kBadWbmp : sizeCode;
    }
    const size_t rowBytes = (*width + 7) / 8;
    if (rowBytes * *height > length - at) {
        return kBadWbmp;
    }
    auto* rgb = static_cast<uint8_t*>(std::malloc(*width * *height * 3));
    if (rgb == nullptr) {
        return kImageErrNoMemory;
    }
    uint8_t* out = rgb;
    for (uint64_t y = 0; y < *height; ++y) {
        const uint8_t* row = data + at + y * rowBytes;
        for (uint64_t x = 0; x < *width; ++x, out += 3) {
            out[0] = out[1] = out[2] = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
        }
    }
    *pixels = rgb;
    return kImageOk;
}

} // namespace

uint8_t* ISReadWBMP(const ISSource* source, uint32_t* width, uint32_t* height,
                    uint8_t** /*alpha*/) {
    if (source == nullptr || source->data == nullptr || width == nullptr || height == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return nullptr;
    }
    uint8_t* pixels = nullptr;
    uint64_t w = 0;
    uint64_t h = 0;
    const int code = Decode(source->data, source->length, &pixels, &w, &h);
    if (code == kImageOk) {
        *width = static_cast<uint32_t>(w);
        *height = static_cast<uint32_t>(h);
    }
    ISSetLastError(code);
    return pixels;
}

} // namespace kestrova::media
