// Bitmap character tags: JPEG data (DefineBitsJPEG2, DefineBits with JPEGTables,
// DefineBitsJPEG3) and deflate-compressed pixels (DefineBitsLossless and its alpha form).
#pragma once

#include "swf/swf_stream.h"
#include "swf/swf_tag.h"

#include <cstdint>

// libdeflate level for lossless bitmaps, chosen with bench_swf_writer: the fastest level whose
// output is no larger than zlib's compress2 at level 9 on every photograph and in total over
// photographs and flat graphics. Photographs come out 2-5 % smaller than with zlib at about
// the same speed; flat graphics, already tiny, a few kilobytes larger. Levels 1-9 run 2-3
// times faster on photographs but come out larger than zlib 9 on grainy ones.
constexpr int kSwfLosslessDeflateLevel = 10;

// A complete JPEG stream, either referenced in memory or copied from a file when the movie
// is written. The image data is FF D9 FF D8, the JPEG bytes, FF D9.
class CSwfDefineBitsJPEG2 : public CSwfIdCharacter {
public:
    // data/length: an in-memory JPEG stream, kept alive by the caller until the movie has been
    // written. path: a JPEG file to copy instead; a path of 3 characters or fewer (or none)
    // means no file. Paths are cut to 1499 characters.
    CSwfDefineBitsJPEG2(const uint8_t* data, uint32_t length, const char* path = nullptr);
    void Write(CSwfStream& s) override;
    const char* Path() const { return path; }

private:
    const uint8_t* data;
    uint32_t length;
    char path[1500];
};

// Encoding tables shared by the DefineBits tags of a movie; referenced, not copied.
class CSwfJPEGTables : public CSwfCharacter {
public:
    CSwfJPEGTables(const uint8_t* data, uint32_t length) : data(data), length(length) {}
    void Write(CSwfStream& s) override;

private:
    const uint8_t* data;
    uint32_t length;
};

// JPEG image data without tables (they are in JPEGTables); referenced, not copied.
class CSwfDefineBits : public CSwfIdCharacter {
public:
    CSwfDefineBits(const uint8_t* data, uint32_t length) : data(data), length(length) {}
    void Write(CSwfStream& s) override;

private:
    const uint8_t* data;
    uint32_t length;
};

// A JPEG stream plus zlib-compressed alpha values (one byte per pixel); both referenced.
class CSwfDefineBitsJPEG3 : public CSwfIdCharacter {
public:
    CSwfDefineBitsJPEG3(const uint8_t* jpeg, uint32_t jpegLength, const uint8_t* zlibAlpha,
                        uint32_t zlibAlphaLength)
        : jpeg(jpeg), jpegLength(jpegLength), zlibAlpha(zlibAlpha),
          zlibAlphaLength(zlibAlphaLength) {}
    void Write(CSwfStream& s) override;

private:
    const uint8_t* jpeg;
    uint32_t jpegLength;
    const uint8_t* zlibAlpha;
    uint32_t zlibAlphaLength;
};

// Pixels compressed once, at construction, into a zlib stream that the tag owns.
// Formats: 3 = 8-bit colour-mapped (a colour table of 1 to 256 entries), 4 = 15-bit RGB,
// 5 = 32-bit (a first byte, reserved or alpha, then red, green, blue). Rows must already be
// padded to a multiple of 4 bytes, as the format stores them. The table and pixels are only
// read during construction. A bitmap that cannot be built (size out of range, no memory)
// reports itself failed and writes nothing.
class CSwfDefineBitsLosslessBase : public CSwfIdCharacter {
public:
    ~CSwfDefineBitsLosslessBase() override;
    void Write(CSwfStream& s) override;
    bool HasFailed() const override { return FailureText()[0] != '\0'; }
    const char* FailureText() const override;
    uint32_t CompressedLength() const { return compressedLength; }

protected:
    CSwfDefineBitsLosslessBase(bool hasAlpha, uint8_t format, uint32_t width, uint32_t height,
                               uint32_t colourTableSize, const uint8_t* colourTable,
                               const uint8_t* pixels);

private:
    void Compress(const uint8_t* colourTable, const uint8_t* pixels);

    bool hasAlpha;
    uint8_t format;
    uint32_t width, height;
    uint32_t colourTableSize;
    uint8_t* compressed = nullptr;
    uint32_t compressedLength = 0;
    const char* failure = "";
};

// Colour table entries are RGB (3 bytes); tag code 20.
class CSwfDefineBitsLossless : public CSwfDefineBitsLosslessBase {
public:
    CSwfDefineBitsLossless(uint8_t format, uint32_t width, uint32_t height,
                           uint32_t colourTableSize, const uint8_t* colourTable,
                           const uint8_t* pixels)
        : CSwfDefineBitsLosslessBase(false, format, width, height, colourTableSize, colourTable,
                                     pixels) {}
};

// Colour table entries are RGBA (4 bytes), format 5 pixels carry (premultiplied) alpha in
// their first byte; tag code 36.
class CSwfDefineBitsLossless2 : public CSwfDefineBitsLosslessBase {
public:
    CSwfDefineBitsLossless2(uint8_t format, uint32_t width, uint32_t height,
                            uint32_t colourTableSize, const uint8_t* colourTable,
                            const uint8_t* pixels)
        : CSwfDefineBitsLosslessBase(true, format, width, height, colourTableSize, colourTable,
                                     pixels) {}
};
