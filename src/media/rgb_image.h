// RgbImage: the one in-memory picture of the program, 24-bit RGB whatever the source format
// (3 bytes a pixel, red first, top row first, no row padding), plus an alpha plane (one byte
// a pixel, colours not premultiplied) only when the picture has transparency: an opaque
// picture costs what it always did. It reads picture files and memory through the imaging
// library (image_codec.h) and writes its pixels as JPEG data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrova::media {

struct ISSource;

class RgbImage {
public:
    RgbImage() = default;
    virtual ~RgbImage();
    RgbImage(const RgbImage&) = delete;
    RgbImage& operator=(const RgbImage&) = delete;

    // Frees the pixels and the alpha plane and empties the image. Returns 0.
    int Clear();
    // Clears, then makes zero-filled pixels of the size. Returns 1 when the block cannot be
    // had, 5 for a zero side (the image stays empty either way), else 0.
    int Allocate(uint32_t newWidth, uint32_t newHeight);
    // Hands the pixel block (allocated with malloc, freed with ISFree) to the caller and
    // empties the image (an alpha plane not released first is freed); nullptr when it is empty.
    uint8_t* ReleasePixels();
    // Hands the alpha plane (malloc'd) to the caller, leaving the picture opaque; nullptr
    // when it has none.
    uint8_t* ReleaseAlpha();
    // Copies the other image's size, pixels and alpha; 1 (this image cleared) when it has none.
    int CopyFrom(const RgbImage& other);

    // The pixels, or nullptr when the image is empty; raises the lock count only when the
    // pixels exist. The count guards nothing: it is kept for callers that pair the calls.
    uint8_t* Lock();
    void Unlock() { --lockCount; }
    int LockCount() const { return lockCount; }

    void Size(uint32_t* outWidth, uint32_t* outHeight) const;
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    bool IsEmpty() const { return pixels == nullptr; }
    // The pixels for reading, nullptr when the image is empty.
    const uint8_t* Pixels() const { return pixels; }
    // The alpha plane, nullptr for an opaque picture: a file's alpha channel in which every
    // pixel is opaque is not kept.
    const uint8_t* Alpha() const { return alpha; }
    bool HasAlpha() const { return alpha != nullptr; }
    // Composites the pixels over an opaque colour (0xRRGGBB) and drops the alpha plane; a
    // picture without alpha is left as it is.
    void CompositeOver(uint32_t backgroundRgb);

    // Type from the file's content, else from its extension, then LoadFileAs.
    int LoadFile(const std::string& path);
    // Reads a file of the given ImageType (image_guess.h). The unknown type and metafiles
    // (which are not rendered) leave the image empty; the unknown type returns 0, metafiles 27.
    // Returns the error code; a failed read leaves the image empty.
    int LoadFileAs(const std::string& path, int type);
    // Type from the content of the bytes only (no name to fall back on), then read as by
    // LoadFileAs; metafile bytes read nothing and return 0.
    int LoadMemory(const uint8_t* data, size_t length);

    // Replaces the pixels (and the alpha plane) by a resampled copy of the new size. Returns 1 when
    // the new block cannot be had, 5 when this image is empty or a side is 0 (the image is then
    // unchanged), else the resampler's code.
    int Resize(uint32_t newWidth, uint32_t newHeight);

    // Writes the pixels as a baseline JPEG at quality 1..100 into the caller's buffer and
    // returns the number of bytes written. Returns 5 when the image is empty or the buffer is
    // null/zero-sized, and 0 when the encoder fails (ISGetLastError then says why: 30 when
    // the buffer is too small). A buffer of ISJpegBufferSize(width, height) bytes is always
    // large enough.
    int WriteJpegToMemory(uint8_t* buffer, uint32_t capacity, int quality);

private:
    int ReadSource(const ISSource* source, int type);
    void Adopt(uint8_t* newPixels, uint32_t newWidth, uint32_t newHeight,
               uint8_t* newAlpha = nullptr);

    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t* pixels = nullptr;
    uint8_t* alpha = nullptr;
    int32_t lockCount = 0;
};

// The text of an imaging error code; "Error #<code>!" for codes without a text.
std::string ImageErrorText(int code);

} // namespace kestrova::media
