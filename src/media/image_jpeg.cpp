// JPEG back end: libjpeg-turbo's TurboJPEG API, one handle per call.
#include "media/image_codec.h"
#include "media/temp_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <turbojpeg.h>

namespace {

// Subsampling of every JPEG we write; ISJpegBufferSize and the encoder must agree on it.
// Full-resolution chroma keeps coloured edges of graphics and text clean and lifts the
// fidelity at quality 70 by about 3 dB over 4:2:0, for files about a fifth larger.
constexpr int kWriteSubsampling = TJSAMP_444;

uint8_t* Fail(int code) {
    ISSetLastError(code);
    return nullptr;
}

// libjpeg keeps decoding a file that ends early and fills the missing rows with grey; such a
// file is treated as broken. Other warnings (stray bytes between markers) are tolerated.
bool IsFatal(tjhandle handle) {
    if (tjGetErrorCode(handle) != TJERR_WARNING) {
        return true;
    }
    return std::strstr(tjGetErrorStr2(handle), "Premature end") != nullptr;
}

// Adobe CMYK JPEGs store inverted ink values (255 = no ink), which makes the conversion a
// plain product: red = (255 - cyan ink) * (255 - black ink) / 255.
void CmykToRgb(uint8_t* pixels, size_t count) {
    const uint8_t* in = pixels;
    uint8_t* out = pixels;
    for (size_t i = 0; i < count; ++i, in += 4, out += 3) {
        const uint32_t k = in[3];
        out[0] = static_cast<uint8_t>((in[0] * k + 127) / 255);
        out[1] = static_cast<uint8_t>((in[1] * k + 127) / 255);
        out[2] = static_cast<uint8_t>((in[2] * k + 127) / 255);
    }
}

uint8_t* Decode(tjhandle handle, const ISSource* source, uint32_t* width, uint32_t* height) {
    int w = 0;
    int h = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle, source->data, source->length, &w, &h, &subsampling,
                            &colorspace) != 0) {
        return Fail(kImageErrBadJpg);
    }
    const int sizeCode = ISCheckImageSize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    if (sizeCode != kImageOk) {
        // A header that ends before the frame header reports no size at all.
        return Fail(sizeCode == kImageErrBadParam ? kImageErrBadJpg : sizeCode);
    }
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const int pixelSize = cmyk ? 4 : 3;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    auto* pixels = static_cast<uint8_t*>(std::malloc(count * pixelSize));
    if (pixels == nullptr) {
        return Fail(kImageErrNoMemory);
    }
    // LIMITSCANS refuses progressive files with an absurd number of scans (a decoding bomb).
    if (tjDecompress2(handle, source->data, source->length, pixels, w, 0, h,
                      cmyk ? TJPF_CMYK : TJPF_RGB, TJFLAG_LIMITSCANS) != 0 &&
        IsFatal(handle)) {
        std::free(pixels);
        return Fail(kImageErrBadJpg);
    }
    if (cmyk) {
        CmykToRgb(pixels, count);
        // Shrinking in place keeps the block; a failed realloc leaves it valid and larger.
        if (void* smaller = std::realloc(pixels, count * 3)) {
            pixels = static_cast<uint8_t*>(smaller);
        }
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    ISSetLastError(kImageOk);
    return pixels;
}

// Compresses into dest's buffer directly when it is at least the codec's bound (the encoder
// then never needs more), else into a codec buffer that is copied when it fits.
size_t Encode(tjhandle handle, ISDest* dest, const uint8_t* rgb, uint32_t width, uint32_t height,
              int quality) {
    const bool direct = dest->path.empty() && dest->capacity >= ISJpegBufferSize(width, height);
    unsigned char* out = direct ? dest->buffer : nullptr;
    unsigned long length = direct ? dest->capacity : 0;
    const int flags = direct ? TJFLAG_NOREALLOC : 0;
    if (tjCompress2(handle, rgb, static_cast<int>(width), 0, static_cast<int>(height), TJPF_RGB,
                    &out, &length, kWriteSubsampling, quality, flags) != 0) {
        if (!direct) {
            tjFree(out);
        }
        ISSetLastError(kImageErrBadJpg);
        return 0;
    }
    if (direct) {
        ISSetLastError(kImageOk);
        return length;
    }
    int code = kImageOk;
    if (!dest->path.empty()) {
        TempFilePtr file = CreateExclusiveFile(dest->path);
        if (!file) {
            code = kImageErrFileOpen;
        } else {
            const bool written = std::fwrite(out, 1, length, file.get()) == length;
            code = CloseWrittenFile(std::move(file)) && written ? kImageOk : kImageErrFileWrite;
            if (code != kImageOk) {
                std::remove(dest->path.c_str());
            }
        }
    } else if (length > dest->capacity) {
        code = kImageErrOutputTooSmall;
    } else {
        std::memcpy(dest->buffer, out, length);
    }
    tjFree(out);
    ISSetLastError(code);
    return code == kImageOk ? length : 0;
}

} // namespace

uint8_t* ISReadJPG(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** /*alpha*/) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        return Fail(kImageErrBadParam);
    }
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) {
        return Fail(kImageErrNoMemory);
    }
    uint8_t* pixels = Decode(handle, source, width, height);
    tjDestroy(handle);
    if (pixels != nullptr) {
        // Cameras store the picture as the sensor saw it and say in EXIF how to turn it.
        pixels = ISApplyOrientation(pixels, width, height,
                                    ISJpegOrientation(source->data, source->length));
    }
    return pixels;
}

size_t ISJpegBufferSize(uint32_t width, uint32_t height) {
    if (ISCheckImageSize(width, height) != kImageOk) {
        return 0;
    }
    const unsigned long size =
        tjBufSize(static_cast<int>(width), static_cast<int>(height), kWriteSubsampling);
    return size == static_cast<unsigned long>(-1) ? 0 : size;
}

size_t ISWriteJPG(ISDest* dest, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    if (dest == nullptr || rgb == nullptr || ISCheckImageSize(width, height) != kImageOk) {
        ISSetLastError(kImageErrBadParam);
        return 0;
    }
    tjhandle handle = tjInitCompress();
    if (handle == nullptr) {
        ISSetLastError(kImageErrNoMemory);
        return 0;
    }
    const size_t written = Encode(handle, dest, rgb, width, height, std::clamp(quality, 1, 100));
    tjDestroy(handle);
    return written;
}
