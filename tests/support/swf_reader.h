// A small SWF reader for tests, written independently of the writer in src/swf: the header,
// the tag list, and the records tests assert on. Every Parse function returns false (with a
// reason in *error when given) on truncated data or bytes left over, so that a length field
// disagreeing with the content fails too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swfread {

using Bytes = std::vector<uint8_t>;

// Most-significant-bit-first. Byte reads align first; reading past the end gives zeros and
// sets Overrun().
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data(data), size(size) {}
    explicit BitReader(const Bytes& bytes) : BitReader(bytes.data(), bytes.size()) {}

    uint32_t UB(uint32_t nbits);
    int32_t SB(uint32_t nbits);
    bool Flag() { return UB(1) != 0; }
    void Align();
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    Bytes Take(size_t count);

    // The next unread byte (a partly read byte counts as read).
    size_t BytePos() const { return bitPos == 0 ? bytePos : bytePos + 1; }
    size_t Remaining() const { return BytePos() >= size ? 0 : size - BytePos(); }
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

struct Matrix {
    bool hasScale = false, hasRotate = false;
    uint32_t nScaleBits = 0, nRotateBits = 0, nTranslateBits = 0;
    int32_t scaleX = 0, scaleY = 0, rotateSkew0 = 0, rotateSkew1 = 0; // 16.16
    int32_t translateX = 0, translateY = 0;                           // twips
};

// 8.8 terms, red, green, blue, alpha.
struct Cxform {
    bool hasAddTerms = false, hasMultTerms = false;
    uint32_t nBits = 0;
    int32_t mult[4] = {256, 256, 256, 256};
    int32_t add[4] = {0, 0, 0, 0};
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

// Each reads at the current bit position and aligns at the end.
Rect ReadRect(BitReader& r);
Matrix ReadMatrix(BitReader& r);
Cxform ReadCxform(BitReader& r, bool withAlpha);
Rgba ReadColour(BitReader& r, bool alpha);

struct Header {
    std::string signature;
    uint8_t version = 0;
    uint32_t fileLength = 0;
    Rect frameSize;
    uint16_t frameRate8_8 = 0;
    uint16_t frameCount = 0;
    uint32_t headerSize = 0; // bytes before the first tag
};

struct Tag {
    uint16_t code = 0;
    uint32_t length = 0;
    bool longHeader = false; // length field 63 + u32
    size_t offset = 0;       // of the record header in the parsed buffer
    Bytes body;
};

struct Swf {
    Header header;
    std::vector<Tag> tags; // the End tag included
};

// "FWS", FileLength equal to the size, and tags ending with End exactly at the end.
bool ParseSwf(const Bytes& file, Swf& out, std::string* error = nullptr);
bool ParseSwfFile(const std::string& path, Swf& out, std::string* error = nullptr);
// Tag records up to the End tag, which must be the last bytes; baseOffset is added to offsets.
bool ParseTags(const uint8_t* data, size_t size, std::vector<Tag>& out,
               std::string* error = nullptr, size_t baseOffset = 0);
size_t CountTags(const std::vector<Tag>& tags, uint16_t code);

struct PlaceObject2 {
    uint8_t flags = 0;
    bool move = false;
    uint16_t depth = 0;
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<Cxform> cxform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
};
bool ParsePlaceObject2(const Tag& tag, PlaceObject2& out, std::string* error = nullptr);

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

struct ShapeRecord {
    enum class Kind { StyleChange, StraightEdge, CurvedEdge, End };
    Kind kind = Kind::End;
    // Style change.
    bool stateNewStyles = false, stateLineStyle = false, stateFillStyle1 = false;
    bool stateFillStyle0 = false, stateMoveTo = false;
    uint32_t moveBits = 0;
    int32_t moveX = 0, moveY = 0;
    uint32_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
    std::vector<FillStyle> newFillStyles;
    std::vector<LineStyle> newLineStyles;
    uint32_t newNumFillBits = 0, newNumLineBits = 0;
    // Edges: numBits is the decoded width (field + 2); deltas not stored stay 0.
    uint32_t numBits = 0;
    bool generalLine = false, verticalLine = false;
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
    std::vector<ShapeRecord> records; // ends with the End record
};
bool ParseDefineShape(const Tag& tag, Shape& out, std::string* error = nullptr);

struct LosslessBitmap {
    bool hasAlpha = false; // DefineBitsLossless2
    uint16_t id = 0;
    uint8_t format = 0;
    uint16_t width = 0, height = 0;
    uint32_t colourTableSize = 0; // format 3 only
    Bytes zlibData;
    Bytes colourTable; // decompressed: 3 or 4 bytes per entry
    Bytes pixels;      // decompressed rows, padded to 4 bytes
};
// Checks that the zlib stream holds exactly the colour table and the padded rows.
bool ParseDefineBitsLossless(const Tag& tag, LosslessBitmap& out, std::string* error = nullptr);

} // namespace swfread
