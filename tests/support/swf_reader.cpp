#include "support/swf_reader.h"
#include "support/test_util.h"

#include <libdeflate.h>

#include <algorithm>

namespace kestrova::test {

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
    return r.Overrun() || !r.AtEnd() ? Fail(error, std::string(what) + ": truncated or left over")
                                     : true;
}

// A signed pair behind its 5-bit width.
uint32_t ReadPair(BitReader& r, int32_t& a, int32_t& b) {
    uint32_t bits = r.UB(5);
    a = r.SB(bits);
    b = r.SB(bits);
    return bits;
}

Rect ReadRect(BitReader& r) {
    Rect rect;
    rect.nBits = r.UB(5);
    for (int32_t* v : {&rect.xMin, &rect.xMax, &rect.yMin, &rect.yMax}) {
        *v = r.SB(rect.nBits);
    }
    r.Align();
    return rect;
}

Matrix ReadMatrix(BitReader& r) {
    Matrix m;
    if (r.Flag()) {
        ReadPair(r, m.scaleX, m.scaleY);
    }
    if (r.Flag()) {
        ReadPair(r, m.rotateSkew0, m.rotateSkew1);
    }
    ReadPair(r, m.translateX, m.translateY);
    r.Align();
    return m;
}

Rgba ReadColour(BitReader& r, bool alpha) {
    Rgba c{r.U8(), r.U8(), r.U8()};
    c.a = alpha ? r.U8() : 255;
    return c;
}

} // namespace

uint32_t BitReader::UB(uint32_t nbits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < nbits; ++i) {
        overrun = overrun || bytePos >= size;
        value = value << 1 | (bytePos < size ? (data[bytePos] >> (7 - bitPos)) & 1 : 0);
        if (++bitPos == 8) {
            bitPos = 0;
            ++bytePos;
        }
    }
    return value;
}

int32_t BitReader::SB(uint32_t nbits) {
    uint32_t value = UB(nbits);
    if (nbits > 0 && nbits < 32 && (value >> (nbits - 1)) != 0) {
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

Bytes BitReader::Take(size_t count) {
    Align();
    size_t available = bytePos < size ? size - bytePos : 0;
    overrun = overrun || count > available;
    count = std::min(count, available);
    Bytes out(data + bytePos, data + bytePos + count);
    bytePos += count;
    return out;
}

bool ParseTags(const uint8_t* data, size_t size, std::vector<Tag>& out, std::string* error) {
    out.clear();
    BitReader r(data, size);
    while (!r.AtEnd()) {
        Tag tag;
        uint16_t codeAndLength = r.U16();
        tag.code = codeAndLength >> 6;
        tag.length = (codeAndLength & 0x3F) == 0x3F ? r.U32() : codeAndLength & 0x3F;
        tag.body = r.Take(tag.length);
        if (r.Overrun()) {
            return Fail(error, "tag " + std::to_string(tag.code) + " runs past the end");
        }
        out.push_back(std::move(tag));
        if (out.back().code == 0) {
            return r.AtEnd() || Fail(error, "bytes after the End tag");
        }
    }
    return Fail(error, "no End tag");
}

bool ParseSwfFile(const std::string& path, Swf& out, std::string* error) {
    const Bytes file = testutil::ReadFileBytes(path);
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
    if (r.Overrun() || h.signature != "FWS" || h.fileLength != file.size()) {
        return Fail(error, path + ": no FWS header, or FileLength " + std::to_string(h.fileLength) +
                               " for " + std::to_string(file.size()) + " bytes");
    }
    return ParseTags(file.data() + r.BytePos(), file.size() - r.BytePos(), out.tags, error);
}

size_t CountTags(const std::vector<Tag>& tags, uint16_t code) {
    size_t count = 0;
    for (const Tag& tag : tags) {
        count += tag.code == code;
    }
    return count;
}

bool ParseDoAction(const Tag& tag, std::vector<ActionRecord>& out, std::string* error) {
    out.clear();
    BitReader r(tag.body);
    for (;;) {
        ActionRecord action;
        action.code = r.U8();
        if (tag.code != 12 || r.Overrun()) {
            return Fail(error, "not a DoAction tag, or no end flag");
        }
        if (action.code == 0) {
            return Finish(r, "DoAction", error);
        }
        if (action.code >= 0x80) {
            action.length = r.U16();
            action.payload = r.Take(action.length);
        }
        out.push_back(std::move(action));
    }
}

namespace {

uint32_t ReadStyleCount(BitReader& r, bool& extended) {
    uint32_t count = r.U8();
    extended = count == 0xFF;
    return extended ? r.U16() : count;
}

// Fill styles, line styles and the index widths that follow them.
bool ReadStyles(BitReader& r, bool rgba, std::vector<FillStyle>& fills, bool& fillsExtended,
                std::vector<LineStyle>& lines, bool& linesExtended, uint32_t& fillBits,
                uint32_t& lineBits, std::string* error) {
    for (uint32_t i = ReadStyleCount(r, fillsExtended); i > 0 && !r.Overrun(); --i) {
        FillStyle& style = fills.emplace_back();
        style.type = r.U8();
        if (style.type == 0x00) {
            style.colour = ReadColour(r, rgba);
        } else if (style.type == 0x10 || style.type == 0x12) {
            style.matrix = ReadMatrix(r);
            for (uint32_t records = r.U8(); records > 0; --records) {
                uint8_t ratio = r.U8();
                style.gradient.push_back({ratio, ReadColour(r, rgba)});
            }
        } else if (style.type >= 0x40 && style.type <= 0x43) {
            style.bitmapId = r.U16();
            style.matrix = ReadMatrix(r);
        } else {
            return Fail(error, "unknown fill style type " + std::to_string(style.type));
        }
    }
    for (uint32_t i = ReadStyleCount(r, linesExtended); i > 0 && !r.Overrun(); --i) {
        uint16_t width = r.U16();
        lines.push_back({width, ReadColour(r, rgba)});
    }
    fillBits = r.UB(4);
    lineBits = r.UB(4);
    return true;
}

// One record with the index widths in force; a record with new styles changes them.
bool ReadShapeRecord(BitReader& r, bool rgba, uint32_t& fillBits, uint32_t& lineBits,
                     ShapeRecord& rec, std::string* error) {
    if ((rec.edge = r.Flag())) {
        bool straight = r.Flag();
        rec.numBits = r.UB(4) + 2;
        if (straight && r.Flag()) {
            rec.dx = r.SB(rec.numBits);
            rec.dy = r.SB(rec.numBits);
        } else if (straight) {
            rec.verticalLine = r.Flag();
            (rec.verticalLine ? rec.dy : rec.dx) = r.SB(rec.numBits);
        } else {
            for (int32_t* v : {&rec.controlDx, &rec.controlDy, &rec.anchorDx, &rec.anchorDy}) {
                *v = r.SB(rec.numBits);
            }
        }
        return true;
    }
    uint32_t flags = r.UB(5);
    rec.end = flags == 0;
    rec.moveBits = flags & 0x01 ? ReadPair(r, rec.moveX, rec.moveY) : 0;
    rec.fillStyle0 = flags & 0x02 ? r.UB(fillBits) : 0;
    rec.fillStyle1 = flags & 0x04 ? r.UB(fillBits) : 0;
    rec.lineStyle = flags & 0x08 ? r.UB(lineBits) : 0;
    bool extended = false;
    if ((flags & 0x10) == 0) {
        return true;
    }
    if (!ReadStyles(r, rgba, rec.newFillStyles, extended, rec.newLineStyles, extended,
                    rec.newNumFillBits, rec.newNumLineBits, error)) {
        return false;
    }
    fillBits = rec.newNumFillBits;
    lineBits = rec.newNumLineBits;
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
    if (!ReadStyles(r, rgba, out.fillStyles, out.fillCountExtended, out.lineStyles,
                    out.lineCountExtended, out.numFillBits, out.numLineBits, error)) {
        return false;
    }
    uint32_t fillBits = out.numFillBits, lineBits = out.numLineBits;
    while (out.records.empty() || !out.records.back().end) {
        if (r.Overrun() ||
            !ReadShapeRecord(r, rgba, fillBits, lineBits, out.records.emplace_back(), error)) {
            return r.Overrun() ? Fail(error, "shape records run past the body") : false;
        }
    }
    r.Align();
    return Finish(r, "DefineShape", error);
}

bool ParseDefineBitsLossless(const Tag& tag, LosslessBitmap& out, std::string* error) {
    out = LosslessBitmap();
    BitReader r(tag.body);
    out.id = r.U16();
    out.format = r.U8();
    out.width = r.U16();
    out.height = r.U16();
    out.hasAlpha = tag.code == 36;
    if ((tag.code != 20 && tag.code != 36) || out.format < 3 || out.format > 5) {
        return Fail(error, "not a lossless bitmap of format 3, 4 or 5");
    }
    size_t tableBytes = out.format == 3 ? (r.U8() + 1u) * (tag.code == 36 ? 4u : 3u) : 0;
    out.zlibData = r.Take(tag.body.size() - r.BytePos());
    if (!Finish(r, "DefineBitsLossless", error)) {
        return false;
    }
    size_t rowBytes = (size_t{out.width} * (1u << out.format) / 8 + 3) / 4 * 4;
    size_t expected = tableBytes + rowBytes * out.height;
    Bytes data(expected + 1); // one spare byte to notice a stream that holds too much
    size_t actual = 0;
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    libdeflate_result result = libdeflate_zlib_decompress(
        d, out.zlibData.data(), out.zlibData.size(), data.data(), data.size(), &actual);
    libdeflate_free_decompressor(d);
    if (result != LIBDEFLATE_SUCCESS || actual != expected) {
        return Fail(error, "bitmap data is no zlib stream of " + std::to_string(expected) +
                               " bytes (" + std::to_string(actual) + ")");
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

} // namespace kestrova::test
