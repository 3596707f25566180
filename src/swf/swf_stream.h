// Byte buffer with a most-significant-bit-first bit writer, the SWF basic records, and the
// tag record header. Large payloads travel as referenced blocks (memory or a file on disk)
// and are written straight from their owner by WriteTo, never copied into the buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::swf {

// Number of significant bits of value plus extra; extra alone when value is 0.
uint32_t BitsFor(uint32_t value, uint32_t extra);
// Largest absolute value of the four (as an unsigned number, so INT32_MIN is safe).
uint32_t MaxAbs(int32_t a, int32_t b, int32_t c, int32_t d);
// Width of a signed bit field group: magnitude bits plus a sign bit (1 when all are 0).
inline uint32_t SignedBits(int32_t a, int32_t b, int32_t c = 0, int32_t d = 0) {
    return BitsFor(MaxAbs(a, b, c, d), 1);
}

class CSwfStream {
public:
    CSwfStream();
    virtual ~CSwfStream() = default;
    CSwfStream(const CSwfStream&) = delete;
    CSwfStream& operator=(const CSwfStream&) = delete;

    // Writes the low nbits of value, most significant first. A value that does not fit in
    // nbits (or a width above 32) is not written and marks the stream failed.
    void WriteBits(uint32_t value, uint32_t nbits);
    // Writes a two's complement field; a value outside its signed range marks the stream
    // failed.
    void WriteSignedBits(int32_t value, uint32_t nbits);
    void WriteU8(uint32_t value);
    void WriteU16(uint32_t value);
    void WriteU32(uint32_t value);
    void Align();

    // Appends a referenced block of memory at the current byte count; the caller keeps the
    // data alive until this stream (or the stream it is appended to) has been written.
    void AppendBlock(const uint8_t* data, uint32_t length);
    // Appends a referenced block that is the first `length` bytes of a file, read in large
    // chunks when the stream is written.
    void AppendFileBlock(const std::string& path, uint32_t length);
    // Moves all complete bytes and referenced blocks of an aligned source stream here.
    void AppendStream(CSwfStream& source);

    // Complete bytes plus the lengths of all referenced blocks still listed.
    uint32_t Length() const;
    // The same without wrapping past 4 GB, to tell whether the stream fits a 32-bit length.
    uint64_t TotalLength() const;
    // Writes the stream to an open file, consuming the referenced blocks. Returns 1 when
    // every byte reached the file, 0 on any read or write error.
    int WriteTo(FILE* file);

    // SWF RECORDHEADER: short form for bodies up to 62 bytes, long form from 63 on; then the
    // body, if given, is appended with AppendStream.
    void WriteTagHeader(uint32_t code, uint32_t length, CSwfStream* body = nullptr);

    // Whether some value did not fit its field, here or in a stream appended to this one;
    // such a stream must not be written out.
    bool Failed() const { return failed; }

    // Complete bytes written so far (without referenced blocks).
    const std::vector<uint8_t>& Bytes() const { return bytes; }
    uint32_t ByteCount() const { return static_cast<uint32_t>(bytes.size()); }
    // Overwrites already written complete bytes (used to fill in the file header).
    void Patch(uint32_t offset, const uint8_t* data, uint32_t length);

private:
    struct Block {
        uint32_t offset;
        const uint8_t* data;
        uint32_t length;
        std::string path; // non-empty: the block is the first `length` bytes of this file
    };
    static int WriteBlock(FILE* file, const Block& block);

    std::vector<uint8_t> bytes;
    uint32_t freeBits = 8;
    uint8_t partial = 0;
    bool failed = false;
    std::deque<Block> blocks;
};

// RECT: stored and written as Xmin, Xmax, Ymin, Ymax (twips); NBits never below 15.
class CSwfRect {
public:
    CSwfRect(int32_t xMinTwips, int32_t yMinTwips, int32_t xMaxTwips, int32_t yMaxTwips)
        : xMin(xMinTwips), xMax(xMaxTwips), yMin(yMinTwips), yMax(yMaxTwips) {}
    uint32_t NBits() const;
    void Write(CSwfStream& s) const;

    int32_t xMin, xMax, yMin, yMax;
};

// MATRIX: scale and rotate terms in 16.16 fixed point (raw integers), translation in twips.
// Each field group is as wide as its largest term needs. `compact` writes the identity as the
// single byte 0 (no terms, no translation bits), whatever the other fields hold.
struct CSwfMatrix {
    struct Terms {
        int32_t first = 0, second = 0;
    };
    std::optional<Terms> scale = {};  // ScaleX, ScaleY
    std::optional<Terms> rotate = {}; // RotateSkew0, RotateSkew1
    int32_t translateX = 0, translateY = 0;
    bool compact = false;

    void Write(CSwfStream& s) const;
};

// RGB colour with an alpha that only tags writing RGBA records use.
struct CSwfRGBA {
    uint8_t red = 0, green = 0, blue = 0, alpha = 255;

    // Packed 0x00BBGGRR (red in the low byte), opaque.
    static CSwfRGBA FromBgr(uint32_t packedBgr);
    void Write(CSwfStream& s, bool withAlpha) const;
};

// CXFORM and CXFORMWITHALPHA: terms in 8.8 fixed point; NBits covers the multiply and add
// terms that are present.
struct CSwfCxform {
    struct Terms {
        int32_t red = 0, green = 0, blue = 0;
    };
    std::optional<Terms> mult = {};
    std::optional<Terms> add = {};

    void Write(CSwfStream& s) const;
};

struct CSwfCxformWithAlpha {
    struct Terms {
        int32_t red = 0, green = 0, blue = 0, alpha = 0;
    };
    std::optional<Terms> mult = {};
    std::optional<Terms> add = {};

    void Write(CSwfStream& s) const;
};

// STRING: the bytes, then a 0 byte.
void WriteString(CSwfStream& s, std::string_view text);

} // namespace kestrova::swf
