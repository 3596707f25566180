// A small SWF reader for tests, written independently of the writer in src/swf: it parses a
// file (or bytes) into the header and the tag list, and decodes the records that tests assert
// on. Every Parse function returns false (with a reason in *error when given) on truncated data
// or bytes left over, so a test also catches length fields that disagree with the content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swfread {

using Bytes = std::vector<uint8_t>;

// Most-significant-bit-first bit reader. Byte reads (U8, U16, ...) align first, as SWF
// readers do after bit fields. Reading past the end yields zeros and sets Overrun().
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
    int16_t S16() { return static_cast<int16_t>(U16()); }
    uint32_t U32();
    Bytes Take(size_t count);
    // Zero-terminated string (terminator consumed, not included).
    std::string CString();

    // Position of the next unread byte (a partly read byte counts as read).
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

// ---- Basic records -------------------------------------------------------------------------

struct Rect {
    uint32_t nBits = 0;
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

struct Matrix {
    bool hasScale = false;
    uint32_t nScaleBits = 0;
    int32_t scaleX = 0, scaleY = 0; // 16.16
    bool hasRotate = false;
    uint32_t nRotateBits = 0;
    int32_t rotateSkew0 = 0, rotateSkew1 = 0; // 16.16
    uint32_t nTranslateBits = 0;
    int32_t translateX = 0, translateY = 0; // twips
};

// Terms in 8.8 fixed point, index 0..3 = red, green, blue, alpha (alpha only WITHALPHA).
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

// Each reads at the current bit position and aligns at the end, as the records are defined.
Rect ReadRect(BitReader& r);
Matrix ReadMatrix(BitReader& r);
Cxform ReadCxform(BitReader& r, bool withAlpha);
// RGB, or RGBA when `alpha` (alpha 255 otherwise).
Rgba ReadColour(BitReader& r, bool alpha);

// ---- File and tags -------------------------------------------------------------------------

struct Header {
    std::string signature; // "FWS" for the uncompressed files we write
    uint8_t version = 0;
    uint32_t fileLength = 0;
    Rect frameSize;
    uint16_t frameRate8_8 = 0; // raw 8.8; the integer rate is frameRate8_8 >> 8
    uint16_t frameCount = 0;
    uint32_t headerSize = 0; // bytes before the first tag
};

struct Tag {
    uint16_t code = 0;
    uint32_t length = 0;     // body length from the record header
    bool longHeader = false; // 6-byte header (length field 63 + u32)
    size_t offset = 0;       // offset of the record header in the parsed buffer
    Bytes body;
};

struct Swf {
    Header header;
    std::vector<Tag> tags; // in file order, the End tag included
};

// Checks the signature, that FileLength equals the data size, and that the tags end with an
// End tag exactly at the end of the data.
bool ParseSwf(const Bytes& file, Swf& out, std::string* error = nullptr);
bool ParseSwfFile(const std::string& path, Swf& out, std::string* error = nullptr);
// Tag records up to and including the End tag (which must be the last bytes of the data).
// `baseOffset` is added to each tag's offset.
bool ParseTags(const uint8_t* data, size_t size, std::vector<Tag>& out,
               std::string* error = nullptr, size_t baseOffset = 0);

// Tags with the given code, in order.
std::vector<const Tag*> TagsWithCode(const std::vector<Tag>& tags, uint16_t code);
size_t CountTags(const std::vector<Tag>& tags, uint16_t code);

// ---- Display list and actions ----------------------------------------------------------------

struct PlaceObject2 {
    uint8_t flags = 0; // the raw flag byte
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
    uint16_t length = 0; // payload length (codes >= 0x80 only)
    Bytes payload;
};
// The action records of a DoAction body, which must end with the end flag 0 exactly at the
// end of the body (the end flag is not listed).
bool ParseDoAction(const Tag& tag, std::vector<ActionRecord>& out, std::string* error = nullptr);

struct Sprite {
    uint16_t id = 0;
    uint16_t frameCount = 0;
    std::vector<Tag> tags; // the End tag included
};
bool ParseDefineSprite(const Tag& tag, Sprite& out, std::string* error = nullptr);

// ---- Shapes ----------------------------------------------------------------------------------

struct GradientRecord {
    uint8_t ratio = 0;
    Rgba colour;
};

struct FillStyle {
    uint8_t type = 0; // 0x00 solid, 0x10 linear, 0x12 radial, 0x40..0x43 bitmap
    Rgba colour;      // solid
    Matrix matrix;    // gradient and bitmap
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

    // Edges: numBits is the decoded width (field value + 2).
    uint32_t numBits = 0;
    bool generalLine = false, verticalLine = false; // straight
    int32_t dx = 0, dy = 0;                         // straight: deltas (0 where not stored)
    int32_t controlDx = 0, controlDy = 0, anchorDx = 0, anchorDy = 0; // curved
};

struct Shape {
    uint16_t code = 0; // 2, 22 or 32
    uint16_t id = 0;
    Rect bounds;
    std::vector<FillStyle> fillStyles;
    std::vector<LineStyle> lineStyles;
    bool fillCountExtended = false, lineCountExtended = false; // 0xFF + u16 count form
    uint32_t numFillBits = 0, numLineBits = 0;
    std::vector<ShapeRecord> records; // ends with the End record
};
// DefineShape (2), DefineShape2 (22), DefineShape3 (32; colours RGBA). Style change records
// with new styles switch the index widths for the records after them.
bool ParseDefineShape(const Tag& tag, Shape& out, std::string* error = nullptr);

// ---- Bitmaps ---------------------------------------------------------------------------------

struct LosslessBitmap {
    bool hasAlpha = false; // DefineBitsLossless2
    uint16_t id = 0;
    uint8_t format = 0;
    uint16_t width = 0, height = 0;
    uint32_t colourTableSize = 0; // entries (format 3 only)
    Bytes zlibData;               // as stored
    Bytes colourTable;            // decompressed: 3 or 4 bytes per entry
    Bytes pixels;                 // decompressed rows, padded to 4 bytes
};
// DefineBitsLossless (20) and DefineBitsLossless2 (36). Decompresses the zlib stream and
// checks that it holds exactly the colour table and the padded rows.
bool ParseDefineBitsLossless(const Tag& tag, LosslessBitmap& out, std::string* error = nullptr);
// The pixels of a format 3 or 5 bitmap as words 0xAARRGGBB, as a player reads them: through
// the colour table, alpha 255 without alpha (format 5's first byte is then ignored).
std::vector<uint32_t> ArgbPixels(const LosslessBitmap& bitmap);

} // namespace swfread
