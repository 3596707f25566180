#include "media/rgb_image.h"

#include "media/image_codec.h"
#include "media/image_guess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestrova::media {

namespace {

// The reader of each ImageType that has one.
ISReader ReaderFor(int type) {
    const ImageFormat* format = ImageFormatOfType(type);
    return format != nullptr ? format->reader : nullptr;
}

bool IsMetafile(int type) {
    return type == kImageTypeWmf || type == kImageTypeEmf;
}

// A resampled copy of an alpha plane, made as a grey picture is; nullptr when it cannot be had.
uint8_t* ResizePlane(const uint8_t* plane, uint32_t width, uint32_t height, uint32_t newWidth,
                     uint32_t newHeight) {
    const size_t count = size_t{width} * height;
    const size_t newCount = size_t{newWidth} * newHeight;
    auto* grey = static_cast<uint8_t*>(std::malloc(count * 3));
    auto* resized = static_cast<uint8_t*>(std::malloc(newCount * 3));
    auto* out = static_cast<uint8_t*>(std::malloc(newCount));
    const bool ok = grey != nullptr && resized != nullptr && out != nullptr;
    if (ok) {
        for (size_t i = 0; i < count; ++i) {
            std::memset(grey + i * 3, plane[i], 3);
        }
    }
    if (ok && ISResizeImage(grey, width, height, resized, newWidth, newHeight) == kImageOk) {
        for (size_t i = 0; i < newCount; ++i) {
            out[i] = resized[i * 3];
        }
    } else {
        ISFree(std::exchange(out, nullptr));
    }
    ISFree(grey);
    ISFree(resized);
    return out;
}

} // namespace

RgbImage::~RgbImage() {
    Clear();
}

int RgbImage::Clear() {
    ISFree(std::exchange(alpha, nullptr));
    if (pixels != nullptr) {
        lockCount = 0;
        ISFree(pixels);
        pixels = nullptr;
        width = 0;
        height = 0;
    }
    return kImageOk;
}

void RgbImage::Adopt(uint8_t* newPixels, uint32_t newWidth, uint32_t newHeight, uint8_t* newAlpha) {
    Clear();
    pixels = newPixels;
    alpha = newAlpha;
    width = newWidth;
    height = newHeight;
}

int RgbImage::Allocate(uint32_t newWidth, uint32_t newHeight) {
    Clear();
    if (newWidth == 0 || newHeight == 0) {
        return kImageErrBadParam;
    }
    const uint64_t count = uint64_t{newWidth} * newHeight;
    void* block = count > kMaxImagePixels ? nullptr : std::calloc(count, 3);
    if (block == nullptr) {
        return kImageErrNoMemory;
    }
    Adopt(static_cast<uint8_t*>(block), newWidth, newHeight);
    return kImageOk;
}

uint8_t* RgbImage::ReleasePixels() {
    ISFree(std::exchange(alpha, nullptr));
    uint8_t* block = std::exchange(pixels, nullptr);
    width = 0;
    height = 0;
    lockCount = 0;
    return block;
}

uint8_t* RgbImage::ReleaseAlpha() {
    return std::exchange(alpha, nullptr);
}

void RgbImage::CompositeOver(uint32_t backgroundRgb) {
    if (alpha != nullptr) {
        ISCompositeOver(pixels, alpha, size_t{width} * height, backgroundRgb);
        ISFree(std::exchange(alpha, nullptr));
    }
}

int RgbImage::CopyFrom(const RgbImage& other) {
    if (other.pixels == nullptr) {
        Clear();
        return kImageErrNoMemory;
    }
    if (&other == this) {
        return kImageOk;
    }
    int code = Allocate(other.width, other.height);
    const size_t count = size_t{width} * height;
    if (code == kImageOk) {
        std::memcpy(pixels, other.pixels, count * 3);
    }
    if (code == kImageOk && other.alpha != nullptr) {
        alpha = static_cast<uint8_t*>(std::malloc(count));
        if (alpha == nullptr) {
            Clear();
            return kImageErrNoMemory;
        }
        std::memcpy(alpha, other.alpha, count);
    }
    return code;
}

uint8_t* RgbImage::Lock() {
    if (pixels != nullptr) {
        ++lockCount;
    }
    return pixels;
}

void RgbImage::Size(uint32_t* outWidth, uint32_t* outHeight) const {
    *outWidth = width;
    *outHeight = height;
}

int RgbImage::LoadFile(const std::string& path) {
    int type = ImageTypeFromFile(path);
    if (type == kImageTypeUnknown) {
        type = ImageTypeFromExtension(path);
    }
    return LoadFileAs(path, type);
}

int RgbImage::ReadSource(const ISSource* source, int type) {
    const ISReader reader = ReaderFor(type);
    if (reader == nullptr) {
        return kImageOk;
    }
    uint32_t newWidth = 0;
    uint32_t newHeight = 0;
    uint8_t* newAlpha = nullptr;
    uint8_t* newPixels = reader(source, &newWidth, &newHeight, &newAlpha);
    const int code = ISGetLastError();
    if (newPixels != nullptr) {
        const size_t count = size_t{newWidth} * newHeight;
        if (newAlpha != nullptr &&
            std::all_of(newAlpha, newAlpha + count, [](uint8_t a) { return a == 255; })) {
            ISFree(std::exchange(newAlpha, nullptr));
        }
        Adopt(newPixels, newWidth, newHeight, newAlpha);
    } else {
        ISFree(newAlpha);
    }
    return code;
}

int RgbImage::LoadFileAs(const std::string& path, int type) {
    Clear();
    if (IsMetafile(type)) {
        uint32_t newWidth = 0;
        uint32_t newHeight = 0;
        uint8_t* newPixels = ISReadMetafileToRGB(path, &newWidth, &newHeight, 100, 100, 0x808080);
        const int code = ISGetLastError();
        if (newPixels != nullptr) {
            Adopt(newPixels, newWidth, newHeight);
        }
        return code;
    }
    if (ReaderFor(type) == nullptr) {
        // Nothing will be read: only whether the file opens matters, so its bytes stay on disk.
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            return kImageErrFileOpen;
        }
        std::fclose(file);
        return kImageOk;
    }
    ISSource* source = ISOpenFileSource(path);
    if (source == nullptr) {
        return ISGetLastError();
    }
    const int code = ReadSource(source, type);
    ISCloseSource(source);
    return code;
}

int RgbImage::LoadMemory(const uint8_t* data, size_t length) {
    const int type = ImageTypeFromMemory(data, length);
    Clear();
    ISSource* source = ISOpenMemorySource(data, length);
    if (source == nullptr) {
        return ISGetLastError();
    }
    const int code = ReadSource(source, type);
    ISCloseSource(source);
    return code;
}

int RgbImage::Resize(uint32_t newWidth, uint32_t newHeight) {
    if (pixels == nullptr || newWidth == 0 || newHeight == 0) {
        return kImageErrBadParam;
    }
    RgbImage resized;
    const int code = resized.Allocate(newWidth, newHeight);
    if (code != kImageOk) {
        return code;
    }
    const int resizeCode =
        ISResizeImage(Lock(), width, height, resized.Lock(), newWidth, newHeight);
    Unlock();
    resized.Unlock();
    if (resizeCode != kImageOk) {
        return resizeCode;
    }
    uint8_t* newAlpha = nullptr;
    if (alpha != nullptr) {
        newAlpha = ResizePlane(alpha, width, height, newWidth, newHeight);
        if (newAlpha == nullptr) {
            return kImageErrNoMemory;
        }
    }
    // Taking over the resampled block gives the same result as copying it, without the copy.
    Adopt(std::exchange(resized.pixels, nullptr), newWidth, newHeight, newAlpha);
    resized.width = 0;
    resized.height = 0;
    return kImageOk;
}

int RgbImage::WriteJpegToMemory(uint8_t* buffer, uint32_t capacity, int quality) {
    ISDest* dest = ISOpenMemoryDest(buffer, capacity);
    if (dest == nullptr) {
        return ISGetLastError();
    }
    const uint8_t* rgb = Lock();
    if (rgb == nullptr) {
        ISCloseDest(dest);
        return kImageErrBadParam;
    }
    const size_t written = ISWriteJPG(dest, rgb, width, height, quality);
    Unlock();
    ISCloseDest(dest);
    return static_cast<int>(written);
}

std::string ImageErrorText(int code) {
    static const char* const kTexts[] = {
        "no err",                                                                             // 0
        "out of memory",                                                                      // 1
        "error on file open",                                                                 // 2
        "error on file read",                                                                 // 3
        "error on file write",                                                                // 4
        "bad user param",                                                                     // 5
        "the file is not a BMP picture or is damaged",                                        // 6
        "some RLE variations are not supported",                                              // 7
        nullptr,                                                                              // 8
        "bad JPG file",                                                                       // 9
        "error with device context",                                                          // 10
        "problem with a GetDIBits call",                                                      // 11
        nullptr,                                                                              // 12
        "resource not found",                                                                 // 13
        "callback returned FALSE - operation aborted",                                        // 14
        "bad PNG file",                                                                       // 15
        "internal PNG lib behavior - contact smaller animals s.w.",                           // 16
        "misc unexpected behavior error - contact smaller animals s.w.",                      // 17
        "trouble creating a font object",                                                     // 18
        "misc internal TIFF error",                                                           // 19
        "invalid TIFF file",                                                                  // 20
        "this will not read TIFF-LZW images",                                                 // 21
        "invalid PCX image",                                                                  // 22
        "a call to the fn CreateCompatibleBitmap failed",                                     // 23
        "end of an image while using single-line de/compression",                             // 24
        "error during a call to GetDIBits",                                                   // 25
        "device does not support an operation required by this function",                     // 26
        "invalid windows metafile",                                                           // 27
        "the file was not of the requested bit-depth",                                        // 28
        "a call to BitBlt failed.",                                                           // 29
        "output buffer is too small for this operation",                                      // 30
        "not enough room in the output palette to store the colors from this image",          // 31
        "the file is not a TGA picture or is damaged",                                        // 32
        nullptr,                                                                              // 33
        nullptr,                                                                              // 34
        "a call to the fn CreateDIBitmap failed",                                             // 35
        "LZW de/compression is not permitted",                                                // 36
        "picture is wider or taller than 65535 pixels",                                       // 37
        "picture has more than 268435456 pixels (16384 x 16384), the most that is converted", // 38
    };
    const auto index = static_cast<unsigned>(code);
    if (index < sizeof kTexts / sizeof kTexts[0] && kTexts[index] != nullptr) {
        return kTexts[index];
    }
    char text[32];
    std::snprintf(text, sizeof text, "Error #%u!", index);
    return text;
}

} // namespace kestrova::media
