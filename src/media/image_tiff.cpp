// TIFF back end: libtiff's RGBA interface reads every compression, bit depth and photometric
// interpretation libtiff supports (LZW, Deflate, PackBits, JPEG; palette, grey, 16-bit, ...).
// Only the first page is read; an alpha channel becomes the alpha plane. The picture is put
// upright by its orientation tag.
#include "media/image_codec.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <tiffio.h>

namespace kestrova::media {

namespace {

struct MemoryFile {
    const uint8_t* data;
    size_t length;
    size_t position;
};

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t count) {
    auto* file = static_cast<MemoryFile*>(handle);
    const size_t left = file->length - file->position;
    const size_t n = count < 0 ? 0 : (static_cast<size_t>(count) < left ? count : left);
    if (n != 0) { // an empty file has no data block at all
        std::memcpy(out, file->data + file->position, n);
    }
    file->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->length : 0;
    const toff_t target = base + offset;
    if (target > file->length) {
        return static_cast<toff_t>(-1);
    }
    file->position = static_cast<size_t>(target);
    return target;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->length;
}

int MapProc(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<uint8_t*>(file->data); // opened read-only: libtiff never writes here
    *size = file->length;
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// Messages are dropped: the caller learns of a failure through the error code alone.
int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

TIFF* OpenMemory(MemoryFile* file) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF* tiff = TIFFClientOpenExt("memory", "rm", file, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

uint8_t* Decode(TIFF* tiff, uint32_t* width, uint32_t* height, uint8_t** alpha, int* code) {
    uint32_t w = 0;
    uint32_t h = 0;
    char message[1024];
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h)) {
        *code = kImageErrBadTiff;
        return nullptr;
    }
    *code = ISCheckImageSize(w, h);
    if (*code == kImageErrBadParam) {
        *code = kImageErrBadTiff; // a zero side
    }
    if (*code != kImageOk) {
        return nullptr;
    }
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 1, message)) {
        *code = kImageErrTiffInternal;
        return nullptr;
    }
    const size_t count = static_cast<size_t>(w) * h;
    auto* raster = static_cast<uint32_t*>(std::malloc(count * 4));
    if (raster == nullptr) {
        TIFFRGBAImageEnd(&image);
        *code = kImageErrNoMemory;
        return nullptr;
    }
    // libtiff mirrors a picture into the orientation asked for but never turns it: asking for the
    // file's own orientation gives the rows as stored, which are then put upright as a JPEG's.
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) {
        orientation = ORIENTATION_TOPLEFT;
    }
    image.req_orientation = orientation;
    const bool read = TIFFRGBAImageGet(&image, raster, w, h) != 0;
    // libtiff hands out colours multiplied by their alpha, whichever way the file stores them.
    const bool hasAlpha = image.alpha != 0;
    TIFFRGBAImageEnd(&image);
    if (!read) {
        std::free(raster);
        *code = kImageErrBadTiff;
        return nullptr;
    }
    // The words become RGBA bytes where they are, then RGB and an alpha plane.
    auto* out = reinterpret_cast<uint8_t*>(raster);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t abgr = raster[i];
        const uint32_t a = TIFFGetA(abgr);
        const uint32_t rgb[3] = {TIFFGetR(abgr), TIFFGetG(abgr), TIFFGetB(abgr)};
        for (int c = 0; c < 3; ++c) {
            // Undoes the multiplication exactly: multiplying again gives the same value back.
            const uint32_t value = hasAlpha && a != 0 ? (rgb[c] * 255 + a / 2) / a : rgb[c];
            out[i * 4 + c] = static_cast<uint8_t>(value > 255 ? 255 : value);
        }
        out[i * 4 + 3] = static_cast<uint8_t>(a);
    }
    uint8_t* plane = nullptr;
    *code = ISSplitAlpha(&out, count, alpha != nullptr && hasAlpha ? &plane : nullptr);
    if (*code != kImageOk) {
        std::free(out);
        return nullptr;
    }
    *width = w;
    *height = h;
    out = ISApplyOrientation(out, width, height, orientation);
    const bool hadPlane = plane != nullptr;
    if (hadPlane) {
        plane = ISApplyOrientation(plane, &w, &h, orientation, 1);
    }
    if (out == nullptr || (hadPlane && plane == nullptr)) {
        std::free(out);
        std::free(plane);
        *code = kImageErrNoMemory;
        return nullptr;
    }
    if (hadPlane) {
        *alpha = plane;
    }
    return out;
}

} // namespace

uint8_t* ISReadTIFF(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return nullptr;
    }
    MemoryFile file{source->data, source->length, 0};
    TIFF* tiff = OpenMemory(&file);
    if (tiff == nullptr) {
        ISSetLastError(kImageErrBadTiff);
        return nullptr;
    }
    int code = kImageOk;
    uint8_t* pixels = Decode(tiff, width, height, alpha, &code);
    TIFFClose(tiff);
    ISSetLastError(code);
    return pixels;
}

} // namespace kestrova::media
