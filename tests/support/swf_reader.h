// A small SWF reader for tests, written independently of the writer in src/swf: the header,
// the tag list, and the records tests assert on (actions, shapes, lossless bitmaps). Every
// Parse function returns false (with a reason in *error when given) on truncated data or
// bytes left over, so that a length field disagreeing with the content fails too.
#pragma once

#include "support/test_namespace.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

namespace swfread {

using Bytes = std::vector<uint8_t>;

// Most-significant-bit-first. Byte reads align first; reading past the end gives zeros and
// sets Overrun().
class BitReader {
public:
    explicit BitReader(const Bytes& bytes) : data(bytes.data()), size(bytes.size()) {}
    BitReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint32_t UB(uint32_t nbits);
    int32_t SB(uint32_t nbits);
    bool Flag() { return UB(1) != 0; }
    void Align();
    uint8_t U8() { return (Align(), static_cast<uint8_t>(UB(8))); }
    uint16_t U16() {
        uint8_t low = U8();
        return static_cast<uint16_t>(low | U8() << 8);
    }
    uint32_t U32() {
        uint16_t low = U16();
        return low | uint32_t{U16()} << 16;
    }
    Bytes Take(size_t count);
    // The next unread byte (a partly read byte counts as read).
    size_t BytePos() const { return bitPos == 0 ? bytePos : bytePos + 1; }
    bool AtEnd() const { return BytePos() >= size; }
    bool Overrun() const { return overrun; }

private:
    const uint8_t* data;
    size_t size;
    size_t bytePos = 0;
    uint32_t bitPos = 0; // bits already read from data[bytePos]
    bool overrun = false;
};

struct Rect {
    uint32_t nBits = 0;
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// 16.16 scale and rotation (0 when absent), translation in twips.
struct Matrix {
    int32_t scaleX = 0, scaleY = 0, rotateSkew0 = 0, rotateSkew1 = 0, translateX = 0,
            translateY = 0;
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

struct Header {
    std::string signature;
    uint8_t version = 0;
    uint32_t fileLength = 0;
    Rect frameSize;
    uint16_t frameRate8_8 = 0;
    uint16_t frameCount = 0;
};

struct Tag {
    uint16_t code = 0;
    uint32_t length = 0;
    Bytes body;
};

struct Swf {
    Header header;
    std::vector<Tag> tags; // the End tag included
};

// "FWS", FileLength equal to the size, and tags ending with End exactly at the end.
bool ParseSwfFile(const std::string& path, Swf& out, std::string* error = nullptr);
// Tag records up to the End tag, which must be the last bytes.
bool ParseTags(const uint8_t* data, size_t size, std::vector<Tag>& out,
               std::string* error = nullptr);
size_t CountTags(const std::vector<Tag>& tags, uint16_t code);

struct ActionRecord {
    uint8_t code = 0;
    uint16_t length = 0; // codes >= 0x80 only
    Bytes payload;
};
// The records of a DoAction body, which must end with the end flag (not listed).
bool ParseDoAction(const Tag& tag, std::vector<ActionRecord>& out, std::string* error = nullptr);

struct GradientRecord {
    uint8_t ratio = 0;
    Rgba colour;
};

struct FillStyle {
    uint8_t type = 0; // 0x00 solid, 0x10 linear, 0x12 radial, 0x40..0x43 bitmap
    Rgba colour;
    Matrix matrix;
    std::vector<GradientRecord> gradient;
    uint16_t bitmapId = 0;
};

struct LineStyle {
    uint16_t width = 0;
    Rgba colour;
};

// A style change (with its new styles), a straight or curved edge, or the end record.
struct ShapeRecord {
    bool end = false, edge = false;
    uint32_t moveBits = 0;
    int32_t moveX = 0, moveY = 0;
    uint32_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
    std::vector<FillStyle> newFillStyles;
    std::vector<LineStyle> newLineStyles;
    uint32_t newNumFillBits = 0, newNumLineBits = 0;
    // Edges: numBits is the decoded width (field + 2); deltas not stored stay 0.
    uint32_t numBits = 0;
    bool verticalLine = false;
    int32_t dx = 0, dy = 0;
    int32_t controlDx = 0, controlDy = 0, anchorDx = 0, anchorDy = 0;
};

struct Shape {
    uint16_t code = 0; // 2, 22 or 32 (colours RGBA)
    uint16_t id = 0;
    Rect bounds;
    std::vector<FillStyle> fillStyles;
    std::vector<LineStyle> lineStyles;
    bool fillCountExtended = false, lineCountExtended = false; // 0xFF + u16 count
    uint32_t numFillBits = 0, numLineBits = 0;
    std::vector<ShapeRecord> records; // ends with the end record
};
bool ParseDefineShape(const Tag& tag, Shape& out, std::string* error = nullptr);

struct LosslessBitmap {
    uint16_t id = 0;
    uint8_t format = 0;
    uint16_t width = 0, height = 0;
    bool hasAlpha = false; // DefineBitsLossless2
    Bytes zlibData;
    Bytes colourTable; // decompressed: 3 or 4 bytes per entry (format 3)
    Bytes pixels;      // decompressed rows, padded to 4 bytes
};
// DefineBitsLossless and DefineBitsLossless2: the zlib stream must hold exactly the colour
// table and the padded rows.
bool ParseDefineBitsLossless(const Tag& tag, LosslessBitmap& out, std::string* error = nullptr);
// The pixels of a format 3 or 5 bitmap as words 0xAARRGGBB, as a player reads them: through
// the colour table, alpha 255 without alpha (format 5's first byte is then ignored).
std::vector<uint32_t> ArgbPixels(const LosslessBitmap& bitmap);

} // namespace swfread

} // namespace kestrova::test
