#include "support/swf_reader.h"

#include <libdeflate.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace swfread {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

// A parse is good when nothing was read past the end and nothing is left over.
bool Finish(const BitReader& r, const char* what, std::string* error) {
    if (r.Overrun()) {
        return Fail(error, std::string(what) + ": truncated");
    }
    if (!r.AtEnd()) {
        return Fail(error,
                    std::string(what) + ": " + std::to_string(r.Remaining()) + " bytes left over");
    }
    return true;
}

} // namespace

// ---- BitReader -------------------------------------------------------------------------------

uint32_t BitReader::UB(uint32_t nbits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < nbits; ++i) {
        uint32_t bit = 0;
        if (bytePos < size) {
            bit = (data[bytePos] >> (7 - bitPos)) & 1;
        } else {
            overrun = true;
        }
        value = (value << 1) | bit;
        if (++bitPos == 8) {
            bitPos = 0;
            ++bytePos;
        }
    }
    return value;
}

int32_t BitReader::SB(uint32_t nbits) {
    if (nbits == 0) {
        return 0;
    }
    uint32_t value = UB(nbits);
    if (nbits < 32 && (value & (1u << (nbits - 1))) != 0) {
        value |= ~((1u << nbits) - 1); // sign-extend
    }
    return static_cast<int32_t>(value);
}

void BitReader::Align() {
    if (bitPos != 0) {
        bitPos = 0;
        ++bytePos;
    }
}

uint8_t BitReader::U8() {
    Align();
    return static_cast<uint8_t>(UB(8));
}

uint16_t BitReader::U16() {
    uint32_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t BitReader::U32() {
    uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
}

Bytes BitReader::Take(size_t count) {
    Align();
    size_t available = bytePos < size ? size - bytePos : 0;
    if (count > available) {
        overrun = true;
        count = available;
    }
    Bytes out(data + bytePos, data + bytePos + count);
    bytePos += count;
    return out;
}

std::string BitReader::CString() {
    std::string text;
    for (;;) {
        uint8_t c = U8();
        if (overrun || c == 0) {
            return text;
        }
        text.push_back(static_cast<char>(c));
    }
}

// ---- Basic records -------------------------------------------------------------------------

Rect ReadRect(BitReader& r) {
    Rect rect;
    rect.nBits = r.UB(5);
    rect.xMin = r.SB(rect.nBits);
    rect.xMax = r.SB(rect.nBits);
    rect.yMin = r.SB(rect.nBits);
    rect.yMax = r.SB(rect.nBits);
    r.Align();
    return rect;
}

Matrix ReadMatrix(BitReader& r) {
    Matrix m;
    m.hasScale = r.Flag();
    if (m.hasScale) {
        m.nScaleBits = r.UB(5);
        m.scaleX = r.SB(m.nScaleBits);
        m.scaleY = r.SB(m.nScaleBits);
    }
    m.hasRotate = r.Flag();
    if (m.hasRotate) {
        m.nRotateBits = r.UB(5);
        m.rotateSkew0 = r.SB(m.nRotateBits);
        m.rotateSkew1 = r.SB(m.nRotateBits);
    }
    m.nTranslateBits = r.UB(5);
    m.translateX = r.SB(m.nTranslateBits);
    m.translateY = r.SB(m.nTranslateBits);
    r.Align();
    return m;
}

Cxform ReadCxform(BitReader& r, bool withAlpha) {
    Cxform c;
    c.hasAddTerms = r.Flag();
    c.hasMultTerms = r.Flag();
    c.nBits = r.UB(4);
    int channels = withAlpha ? 4 : 3;
    if (c.hasMultTerms) {
        for (int i = 0; i < channels; ++i) {
            c.mult[i] = r.SB(c.nBits);
        }
    }
    if (c.hasAddTerms) {
        for (int i = 0; i < channels; ++i) {
            c.add[i] = r.SB(c.nBits);
        }
    }
    r.Align();
    return c;
}

Rgba ReadColour(BitReader& r, bool alpha) {
    Rgba c;
    c.r = r.U8();
    c.g = r.U8();
    c.b = r.U8();
    if (alpha) {
        c.a = r.U8();
    }
    return c;
}

// ---- File and tags -------------------------------------------------------------------------

bool ParseTags(const uint8_t* data, size_t size, std::vector<Tag>& out, std::string* error,
               size_t baseOffset) {
    out.clear();
    BitReader r(data, size);
    while (!r.AtEnd()) {
        Tag tag;
        tag.offset = baseOffset + r.BytePos();
        uint16_t codeAndLength = r.U16();
        tag.code = codeAndLength >> 6;
        tag.length = codeAndLength & 0x3F;
        if (tag.length == 0x3F) {
            tag.longHeader = true;
            tag.length = r.U32();
        }
        if (r.Overrun() || tag.length > r.Remaining()) {
            return Fail(error, "tag " + std::to_string(tag.code) + " at " +
                                   std::to_string(tag.offset) + " runs past the end");
        }
        tag.body = r.Take(tag.length);
        out.push_back(std::move(tag));
        if (out.back().code == 0) {
            return r.AtEnd() ? true : Fail(error, "bytes after the End tag");
        }
    }
    return Fail(error, "no End tag");
}

bool ParseSwf(const Bytes& file, Swf& out, std::string* error) {
    out = Swf();
    BitReader r(file);
    Header& h = out.header;
    Bytes signature = r.Take(3);
    h.signature.assign(signature.begin(), signature.end());
    h.version = r.U8();
    h.fileLength = r.U32();
    h.frameSize = ReadRect(r);
    h.frameRate8_8 = r.U16();
    h.frameCount = r.U16();
    h.headerSize = static_cast<uint32_t>(r.BytePos());
    if (r.Overrun()) {
        return Fail(error, "file shorter than its header");
    }
    if (h.signature != "FWS") {
        return Fail(error, "signature is not FWS");
    }
    if (h.fileLength != file.size()) {
        return Fail(error, "FileLength " + std::to_string(h.fileLength) + " but the file has " +
                               std::to_string(file.size()) + " bytes");
    }
    return ParseTags(file.data() + h.headerSize, file.size() - h.headerSize, out.tags, error,
                     h.headerSize);
}

bool ParseSwfFile(const std::string& path, Swf& out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Fail(error, "cannot open " + path);
    }
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseSwf(file, out, error);
}

std::vector<const Tag*> TagsWithCode(const std::vector<Tag>& tags, uint16_t code) {
    std::vector<const Tag*> found;
    for (const Tag& tag : tags) {
        if (tag.code == code) {
            found.push_back(&tag);
        }
    }
    return found;
}

size_t CountTags(const std::vector<Tag>& tags, uint16_t code) {
    return TagsWithCode(tags, code).size();
}

// ---- Display list and actions ----------------------------------------------------------------

bool ParsePlaceObject2(const Tag& tag, PlaceObject2& out, std::string* error) {
    if (tag.code != 26) {
        return Fail(error, "not a PlaceObject2 tag");
    }
    out = PlaceObject2();
    BitReader r(tag.body);
    out.flags = r.U8();
    if (out.flags & 0x80) {
        return Fail(error, "PlaceObject2 with clip actions");
    }
    out.move = out.flags & 0x01;
    out.depth = r.U16();
    if (out.flags & 0x02) {
        out.characterId = r.U16();
    }
    if (out.flags & 0x04) {
        out.matrix = ReadMatrix(r);
    }
    if (out.flags & 0x08) {
        out.cxform = ReadCxform(r, true);
    }
    if (out.flags & 0x10) {
        out.ratio = r.U16();
    }
    if (out.flags & 0x20) {
        out.name = r.CString();
    }
    if (out.flags & 0x40) {
        out.clipDepth = r.U16();
    }
    return Finish(r, "PlaceObject2", error);
}

bool ParseDoAction(const Tag& tag, std::vector<ActionRecord>& out, std::string* error) {
    if (tag.code != 12) {
        return Fail(error, "not a DoAction tag");
    }
    out.clear();
    BitReader r(tag.body);
    for (;;) {
        ActionRecord action;
        action.code = r.U8();
        if (r.Overrun()) {
            return Fail(error, "DoAction without its end flag");
        }
        if (action.code == 0) {
            return Finish(r, "DoAction", error);
        }
        if (action.code >= 0x80) {
            action.length = r.U16();
            action.payload = r.Take(action.length);
            if (r.Overrun()) {
                return Fail(error, "action length runs past the body");
            }
        }
        out.push_back(std::move(action));
    }
}

bool ParseDefineSprite(const Tag& tag, Sprite& out, std::string* error) {
    if (tag.code != 39) {
        return Fail(error, "not a DefineSprite tag");
    }
    out = Sprite();
    if (tag.body.size() < 4) {
        return Fail(error, "DefineSprite body too short");
    }
    BitReader r(tag.body);
    out.id = r.U16();
    out.frameCount = r.U16();
    return ParseTags(tag.body.data() + 4, tag.body.size() - 4, out.tags, error);
}

// ---- Shapes ----------------------------------------------------------------------------------

namespace {

uint32_t ReadStyleCount(BitReader& r, bool* extended) {
    uint32_t count = r.U8();
    *extended = count == 0xFF;
    if (count == 0xFF) {
        count = r.U16();
    }
    return count;
}

bool ReadFillStyles(BitReader& r, bool rgba, std::vector<FillStyle>& out, bool* extended,
                    std::string* error) {
    uint32_t count = ReadStyleCount(r, extended);
    for (uint32_t i = 0; i < count && !r.Overrun(); ++i) {
        FillStyle style;
        style.type = r.U8();
        if (style.type == 0x00) {
            style.colour = ReadColour(r, rgba);
        } else if (style.type == 0x10 || style.type == 0x12) {
            style.matrix = ReadMatrix(r);
            uint32_t records = r.U8();
            for (uint32_t j = 0; j < records; ++j) {
                GradientRecord record;
                record.ratio = r.U8();
                record.colour = ReadColour(r, rgba);
                style.gradient.push_back(record);
            }
        } else if (style.type >= 0x40 && style.type <= 0x43) {
            style.bitmapId = r.U16();
            style.matrix = ReadMatrix(r);
        } else {
            return Fail(error, "unknown fill style type " + std::to_string(style.type));
        }
        out.push_back(std::move(style));
    }
    return true;
}

void ReadLineStyles(BitReader& r, bool rgba, std::vector<LineStyle>& out, bool* extended) {
    uint32_t count = ReadStyleCount(r, extended);
    for (uint32_t i = 0; i < count && !r.Overrun(); ++i) {
        LineStyle style;
        style.width = r.U16();
        style.colour = ReadColour(r, rgba);
        out.push_back(style);
    }
}

// Reads one record with the index widths in force; a record with new styles updates them.
bool ReadShapeRecord(BitReader& r, bool rgba, uint32_t& fillBits, uint32_t& lineBits,
                     ShapeRecord& rec, std::string* error) {
    bool isEdge = r.Flag();
    if (!isEdge) {
        uint32_t flags = r.UB(5);
        if (flags == 0) {
            rec.kind = ShapeRecord::Kind::End;
            return true;
        }
        rec.kind = ShapeRecord::Kind::StyleChange;
        rec.stateNewStyles = flags & 0x10;
        rec.stateLineStyle = flags & 0x08;
        rec.stateFillStyle1 = flags & 0x04;
        rec.stateFillStyle0 = flags & 0x02;
        rec.stateMoveTo = flags & 0x01;
        if (rec.stateMoveTo) {
            rec.moveBits = r.UB(5);
            rec.moveX = r.SB(rec.moveBits);
            rec.moveY = r.SB(rec.moveBits);
        }
        if (rec.stateFillStyle0) {
            rec.fillStyle0 = r.UB(fillBits);
        }
        if (rec.stateFillStyle1) {
            rec.fillStyle1 = r.UB(fillBits);
        }
        if (rec.stateLineStyle) {
            rec.lineStyle = r.UB(lineBits);
        }
        if (rec.stateNewStyles) {
            bool extended = false;
            if (!ReadFillStyles(r, rgba, rec.newFillStyles, &extended, error)) {
                return false;
            }
            ReadLineStyles(r, rgba, rec.newLineStyles, &extended);
            rec.newNumFillBits = r.UB(4);
            rec.newNumLineBits = r.UB(4);
            fillBits = rec.newNumFillBits;
            lineBits = rec.newNumLineBits;
        }
        return true;
    }
    bool straight = r.Flag();
    rec.numBits = r.UB(4) + 2;
    if (straight) {
        rec.kind = ShapeRecord::Kind::StraightEdge;
        rec.generalLine = r.Flag();
        if (rec.generalLine) {
            rec.dx = r.SB(rec.numBits);
            rec.dy = r.SB(rec.numBits);
        } else {
            rec.verticalLine = r.Flag();
            (rec.verticalLine ? rec.dy : rec.dx) = r.SB(rec.numBits);
        }
    } else {
        rec.kind = ShapeRecord::Kind::CurvedEdge;
        rec.controlDx = r.SB(rec.numBits);
        rec.controlDy = r.SB(rec.numBits);
        rec.anchorDx = r.SB(rec.numBits);
        rec.anchorDy = r.SB(rec.numBits);
    }
    return true;
}

} // namespace

bool ParseDefineShape(const Tag& tag, Shape& out, std::string* error) {
    if (tag.code != 2 && tag.code != 22 && tag.code != 32) {
        return Fail(error, "not a DefineShape tag");
    }
    out = Shape();
    out.code = tag.code;
    bool rgba = tag.code == 32;
    BitReader r(tag.body);
    out.id = r.U16();
    out.bounds = ReadRect(r);
    if (!ReadFillStyles(r, rgba, out.fillStyles, &out.fillCountExtended, error)) {
        return false;
    }
    ReadLineStyles(r, rgba, out.lineStyles, &out.lineCountExtended);
    out.numFillBits = r.UB(4);
    out.numLineBits = r.UB(4);
    uint32_t fillBits = out.numFillBits, lineBits = out.numLineBits;
    for (;;) {
        if (r.Overrun()) {
            return Fail(error, "shape records run past the body");
        }
        ShapeRecord record;
        if (!ReadShapeRecord(r, rgba, fillBits, lineBits, record, error)) {
            return false;
        }
        out.records.push_back(std::move(record));
        if (out.records.back().kind == ShapeRecord::Kind::End) {
            r.Align();
            return Finish(r, "DefineShape", error);
        }
    }
}

// ---- Bitmaps ---------------------------------------------------------------------------------

bool ParseDefineBitsLossless(const Tag& tag, LosslessBitmap& out, std::string* error) {
    if (tag.code != 20 && tag.code != 36) {
        return Fail(error, "not a DefineBitsLossless tag");
    }
    out = LosslessBitmap();
    out.hasAlpha = tag.code == 36;
    BitReader r(tag.body);
    out.id = r.U16();
    out.format = r.U8();
    out.width = r.U16();
    out.height = r.U16();
    uint32_t bitsPerPixel = 0;
    switch (out.format) {
    case 3:
        out.colourTableSize = r.U8() + 1u;
        bitsPerPixel = 8;
        break;
    case 4:
        bitsPerPixel = 16;
        break;
    case 5:
        bitsPerPixel = 32;
        break;
    default:
        return Fail(error, "unknown bitmap format " + std::to_string(out.format));
    }
    out.zlibData = r.Take(r.Remaining());
    if (!Finish(r, "DefineBitsLossless", error)) {
        return false;
    }

    size_t tableBytes = out.colourTableSize * (out.hasAlpha ? 4u : 3u);
    size_t rowBytes = (static_cast<size_t>(out.width) * bitsPerPixel / 8 + 3) / 4 * 4;
    size_t expected = tableBytes + rowBytes * out.height;
    Bytes data(expected + 1); // one spare byte to notice a stream that holds too much
    size_t actual = 0;
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    libdeflate_result result = libdeflate_zlib_decompress(
        d, out.zlibData.data(), out.zlibData.size(), data.data(), data.size(), &actual);
    libdeflate_free_decompressor(d);
    if (result != LIBDEFLATE_SUCCESS) {
        return Fail(error, "bitmap data is not a valid zlib stream (or holds too much)");
    }
    if (actual != expected) {
        return Fail(error, "bitmap data holds " + std::to_string(actual) + " bytes, expected " +
                               std::to_string(expected));
    }
    out.colourTable.assign(data.begin(), data.begin() + tableBytes);
    out.pixels.assign(data.begin() + tableBytes, data.begin() + expected);
    return true;
}

std::vector<uint32_t> ArgbPixels(const LosslessBitmap& b) {
    const size_t entry = b.hasAlpha ? 4 : 3;
    const size_t rowBytes = b.format == 3 ? (b.width + 3u) / 4 * 4 : b.width * 4u;
    std::vector<uint32_t> out;
    for (size_t y = 0; y < b.height; ++y) {
        for (size_t x = 0; x < b.width; ++x) {
            // An index past the table throws (std::out_of_range) rather than read beyond it.
            const uint8_t* p =
                b.format == 3 ? &b.colourTable.at(b.pixels[y * rowBytes + x] * entry + entry - 1) -
                                    (entry - 1)
                              : &b.pixels[y * rowBytes + x * 4 + 1];
            const uint32_t alpha = !b.hasAlpha ? 255 : b.format == 3 ? p[3] : p[-1];
            out.push_back(alpha << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
        }
    }
    return out;
}

} // namespace swfread
