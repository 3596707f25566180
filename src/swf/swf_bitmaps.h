// Bitmap character tags: JPEG data (DefineBitsJPEG2, DefineBits with JPEGTables,
// DefineBitsJPEG3) and deflate-compressed pixels (DefineBitsLossless and its alpha form).
#pragma once

#include "swf/swf_stream.h"
#include "swf/swf_tag.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kestrova::swf {

// libdeflate level for lossless bitmaps, chosen with bench_swf_writer: the fastest level whose
// output is no larger than zlib's compress2 at level 9 on every photograph and in total over
// photographs and flat graphics. Photographs come out 2-5 % smaller than with zlib at about
// the same speed; flat graphics, already tiny, a few kilobytes larger. Levels 1-9 run 2-3
// times faster on photographs but come out larger than zlib 9 on grainy ones.
constexpr int kSwfLosslessDeflateLevel = 10;

// A complete JPEG stream, either referenced in memory or copied from a file when the movie
// is written. The image data is FF D9 FF D8, the JPEG bytes, FF D9.
class CSwfDefineBitsJPEG2 : public CSwfCharacter {
public:
    // An in-memory JPEG stream, kept alive by the caller until the movie has been written.
    CSwfDefineBitsJPEG2(uint16_t id, const uint8_t* data, uint32_t length)
        : CSwfCharacter(id), data(data), length(length) {}
    // A JPEG file to copy instead; a path of 3 characters or fewer means no file.
    CSwfDefineBitsJPEG2(uint16_t id, std::string path) : CSwfCharacter(id), path(std::move(path)) {}
    void Write(CSwfStream& s) const override;

private:
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    std::string path;
};

// Encoding tables shared by the DefineBits tags of a movie; referenced, not copied.
class CSwfJPEGTables : public CSwfTag {
public:
    CSwfJPEGTables(const uint8_t* data, uint32_t length) : data(data), length(length) {}
    void Write(CSwfStream& s) const override;

private:
    const uint8_t* data;
    uint32_t length;
};

// JPEG image data without tables (they are in JPEGTables); referenced, not copied.
class CSwfDefineBits : public CSwfCharacter {
public:
    CSwfDefineBits(uint16_t id, const uint8_t* data, uint32_t length)
        : CSwfCharacter(id), data(data), length(length) {}
    void Write(CSwfStream& s) const override;

private:
    const uint8_t* data;
    uint32_t length;
};

// A JPEG stream plus zlib-compressed alpha values (one byte per pixel); both referenced.
class CSwfDefineBitsJPEG3 : public CSwfCharacter {
public:
    CSwfDefineBitsJPEG3(uint16_t id, const uint8_t* jpeg, uint32_t jpegLength,
                        const uint8_t* zlibAlpha, uint32_t zlibAlphaLength)
        : CSwfCharacter(id), jpeg(jpeg), jpegLength(jpegLength), zlibAlpha(zlibAlpha),
          zlibAlphaLength(zlibAlphaLength) {}
    void Write(CSwfStream& s) const override;

private:
    const uint8_t* jpeg;
    uint32_t jpegLength;
    const uint8_t* zlibAlpha;
    uint32_t zlibAlphaLength;
};

// The pixels of a lossless bitmap, read only while the tag is made. Formats: 3 = 8-bit
// colour-mapped (a colour table of 1 to 256 entries), 4 = 15-bit RGB, 5 = 32-bit (a first
// byte, reserved or alpha, then red, green, blue). Rows must already be padded to a multiple
// of 4 bytes, as the format stores them. With alpha (DefineBitsLossless2) table entries are
// RGBA and format 5 pixels carry premultiplied alpha in their first byte.
struct CSwfLosslessPixels {
    uint8_t format = 5;
    uint32_t width = 0, height = 0;
    bool withAlpha = false;
    uint32_t colourTableSize = 0;
    const uint8_t* colourTable = nullptr;
    const uint8_t* pixels = nullptr;
};

// DefineBitsLossless (tag code 20) or, with alpha, DefineBitsLossless2 (36), holding the zlib
// stream of the colour table and pixels. Made by MakeDefineBitsLossless.
class CSwfDefineBitsLossless : public CSwfCharacter {
public:
    struct FreeBytes {
        void operator()(uint8_t* p) const;
    };
    using Compressed = std::unique_ptr<uint8_t, FreeBytes>;

    CSwfDefineBitsLossless(uint16_t id, const CSwfLosslessPixels& layout, Compressed compressed,
                           uint32_t compressedLength);
    void Write(CSwfStream& s) const override;
    uint32_t CompressedLength() const { return compressedLength; }

private:
    bool withAlpha;
    uint8_t format;
    uint16_t width, height;
    uint32_t colourTableSize;
    Compressed compressed;
    uint32_t compressedLength;
};

// The tag, or why it could not be made (size out of range, no memory, ...): then `tag` is
// null and `error` the text to show.
struct CSwfLosslessResult {
    std::unique_ptr<CSwfDefineBitsLossless> tag;
    const char* error = nullptr;
};

// A lossless bitmap's zlib stream, made away from any movie (on any thread): the tag is made
// from it once the movie gives it an id. `layout` keeps the bitmap's fields (its pointers are
// no longer read); without a stream `error` says why it could not be made.
struct CSwfLosslessCompressed {
    CSwfLosslessPixels layout;
    CSwfDefineBitsLossless::Compressed bytes;
    uint32_t length = 0;
    const char* error = nullptr;
};

// Compresses the colour table and pixels.
CSwfLosslessCompressed CompressLossless(const CSwfLosslessPixels& pixels);
// The character with that id holding compressed bitmap data, or its error.
CSwfLosslessResult MakeDefineBitsLossless(uint16_t id, CSwfLosslessCompressed compressed);
// Compresses the pixels into a new lossless bitmap character with the given id.
CSwfLosslessResult MakeDefineBitsLossless(uint16_t id, const CSwfLosslessPixels& pixels);

} // namespace kestrova::swf
