// What all back ends share: the last error, size limits, sources, destinations, resampling.
#include "media/image_codec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
#include <libswscale/swscale.h>
}

namespace kestrova::media {

namespace {
thread_local int lastError = kImageOk;
} // namespace

int ISGetLastError() {
    return lastError;
}
void ISSetLastError(int code) {
    lastError = code;
}
void ISFree(void* buffer) {
    std::free(buffer);
}

int ISCheckImageSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) {
        return kImageErrBadParam;
    }
    // Each side is bounded first so that the product cannot overflow.
    if (width > kMaxImagePixels || height > kMaxImagePixels || width * height > kMaxImagePixels) {
        return kImageErrOverBudget;
    }
    return width > kMaxImageSide || height > kMaxImageSide ? kImageErrTooLarge : kImageOk;
}

ISSource* ISOpenFileSource(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        ISSetLastError(kImageErrFileOpen);
        return nullptr;
    }
    ISSource* source = new (std::nothrow) ISSource;
    int code = source == nullptr ? kImageErrNoMemory : kImageOk;
    long length = -1;
    if (code == kImageOk && (std::fseek(file, 0, SEEK_END) != 0 ||
                             (length = std::ftell(file)) < 0 || std::fseek(file, 0, SEEK_SET))) {
        code = kImageErrFileRead;
    }
    if (code == kImageOk) {
        try {
            source->owned.resize(static_cast<size_t>(length));
        } catch (const std::bad_alloc&) {
            code = kImageErrNoMemory;
        }
    }
    if (code == kImageOk &&
        std::fread(source->owned.data(), 1, source->owned.size(), file) != source->owned.size()) {
        code = kImageErrFileRead;
    }
    std::fclose(file);
    if (code != kImageOk) {
        delete source;
        ISSetLastError(code);
        return nullptr;
    }
    source->data = source->owned.data();
    source->length = source->owned.size();
    ISSetLastError(kImageOk);
    return source;
}

ISSource* ISOpenMemorySource(const uint8_t* data, size_t length) {
    ISSource* source = data == nullptr ? nullptr : new (std::nothrow) ISSource;
    if (source == nullptr) {
        ISSetLastError(data == nullptr ? kImageErrBadParam : kImageErrNoMemory);
        return nullptr;
    }
    source->data = data;
    source->length = length;
    ISSetLastError(kImageOk);
    return source;
}

void ISCloseSource(ISSource* source) {
    delete source;
}

ISDest* ISOpenMemoryDest(uint8_t* buffer, size_t capacity) {
    ISDest* dest = buffer == nullptr || capacity == 0 ? nullptr : new (std::nothrow) ISDest;
    if (dest == nullptr) {
        ISSetLastError(buffer == nullptr || capacity == 0 ? kImageErrBadParam : kImageErrNoMemory);
        return nullptr;
    }
    dest->buffer = buffer;
    dest->capacity = capacity;
    ISSetLastError(kImageOk);
    return dest;
}

void ISCloseDest(ISDest* dest) {
    delete dest;
}

uint8_t* ISReadMetafileToRGB(const std::string& /*path*/, uint32_t* width, uint32_t* height,
                             uint32_t /*defaultWidth*/, uint32_t /*defaultHeight*/,
                             uint32_t /*backgroundColor*/) {
    // No metafile renderer is linked in: every metafile is reported as one we cannot read.
    *width = 0;
    *height = 0;
    ISSetLastError(kImageErrBadMetafile);
    return nullptr;
}

namespace {

// libswscale's vector code reads up to a few dozen bytes past the last row it is handed.
constexpr size_t kScaleOverread = 64;

int Scale(const uint8_t* source, uint32_t width, uint32_t height, uint8_t* target,
          uint32_t newWidth, uint32_t newHeight) {
    // Area averaging keeps fine detail from aliasing when shrinking; bicubic for the rest.
    const int filter = newWidth <= width && newHeight <= height ? SWS_AREA : SWS_BICUBIC;
    SwsContext* context =
        sws_getContext(static_cast<int>(width), static_cast<int>(height), AV_PIX_FMT_RGB24,
                       static_cast<int>(newWidth), static_cast<int>(newHeight), AV_PIX_FMT_RGB24,
                       filter | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (context == nullptr) {
        return kImageErrMisc;
    }
    // The caller's buffer may end with the picture, right before memory that cannot be read:
    // the resampler reads a copy followed by zero bytes. (Handing it the last rows alone as a
    // separate slice is not an option: libswscale 5.1 faults on a short last slice when it
    // shrinks a picture steeply.)
    const size_t size = size_t{width} * height * 3;
    auto* padded = static_cast<uint8_t*>(std::malloc(size + kScaleOverread));
    if (padded == nullptr) {
        sws_freeContext(context);
        return kImageErrNoMemory;
    }
    std::memcpy(padded, source, size);
    std::memset(padded + size, 0, kScaleOverread);
    const uint8_t* sourcePlanes[1] = {padded};
    const int sourceStride[1] = {static_cast<int>(width * 3)};
    uint8_t* targetPlanes[1] = {target};
    const int targetStride[1] = {static_cast<int>(newWidth * 3)};
    const int rows = sws_scale(context, sourcePlanes, sourceStride, 0, static_cast<int>(height),
                               targetPlanes, targetStride);
    std::free(padded);
    sws_freeContext(context);
    return rows == static_cast<int>(newHeight) ? kImageOk : kImageErrMisc;
}

// Averages blocks of xFactor x yFactor pixels of an RGB picture into one pixel each.
void Fold(const uint8_t* source, uint32_t width, uint32_t xFactor, uint32_t yFactor,
          uint8_t* target, uint32_t newWidth, uint32_t newHeight) {
    const uint32_t count = xFactor * yFactor;
    for (uint32_t y = 0; y < newHeight; ++y) {
        for (uint32_t x = 0; x < newWidth; ++x) {
            for (uint32_t c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (uint32_t j = 0; j < yFactor; ++j) {
                    for (uint32_t i = 0; i < xFactor; ++i) {
                        sum +=
                            source[((size_t{y} * yFactor + j) * width + x * xFactor + i) * 3 + c];
                    }
                }
                target[(size_t{y} * newWidth + x) * 3 + c] =
                    static_cast<uint8_t>((sum + count / 2) / count);
            }
        }
    }
}

} // namespace

int ISResizeImage(const uint8_t* source, uint32_t width, uint32_t height, uint8_t* target,
                  uint32_t newWidth, uint32_t newHeight) {
    if (source == nullptr || target == nullptr || ISCheckImageSize(width, height) != kImageOk ||
        ISCheckImageSize(newWidth, newHeight) != kImageOk) {
        ISSetLastError(kImageErrBadParam);
        return kImageErrBadParam;
    }
    // libswscale drops part of the source when an output side is a single pixel: such a side
    // is resampled to 2 pixels and the pairs are averaged.
    const uint32_t xFactor = newWidth == 1 ? 2 : 1;
    const uint32_t yFactor = newHeight == 1 ? 2 : 1;
    int code = kImageOk;
    if (xFactor == 1 && yFactor == 1) {
        code = Scale(source, width, height, target, newWidth, newHeight);
    } else {
        const uint32_t scaledWidth = newWidth * xFactor;
        const uint32_t scaledHeight = newHeight * yFactor;
        auto* scaled = static_cast<uint8_t*>(std::malloc(size_t{scaledWidth} * scaledHeight * 3));
        code = scaled == nullptr ? kImageErrNoMemory
                                 : Scale(source, width, height, scaled, scaledWidth, scaledHeight);
        if (code == kImageOk) {
            Fold(scaled, scaledWidth, xFactor, yFactor, target, newWidth, newHeight);
        }
        std::free(scaled);
    }
    ISSetLastError(code);
    return code;
}

} // namespace kestrova::media
