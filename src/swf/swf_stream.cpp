#include "swf/swf_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

uint32_t BitsFor(uint32_t value, uint32_t extra) {
    uint32_t bits = 0;
    while (value != 0) {
        ++bits;
        value >>= 1;
    }
    return bits + extra;
}

static uint32_t Magnitude(int32_t v) {
    return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}

uint32_t MaxAbs(int32_t a, int32_t b, int32_t c, int32_t d) {
    return std::max({Magnitude(a), Magnitude(b), Magnitude(c), Magnitude(d)});
}

CSwfStream::CSwfStream() {
    bytes.reserve(1024);
}

void CSwfStream::WriteBits(uint32_t value, uint32_t nbits) {
    if (nbits > 32 || (nbits < 32 && (value >> nbits) != 0)) {
        failed = true;
        return;
    }
    while (nbits > 0) {
        if (nbits <= freeBits) {
            uint32_t mask = nbits == 32 ? 0xFFFFFFFFu : ((1u << nbits) - 1);
            partial |= static_cast<uint8_t>((value & mask) << (freeBits - nbits));
            freeBits -= nbits;
            nbits = 0;
        } else {
            // Top `freeBits` bits of the remaining `nbits` complete the partial byte.
            uint32_t take = freeBits;
            uint32_t top = (value >> (nbits - take)) & ((1u << take) - 1);
            partial |= static_cast<uint8_t>(top);
            freeBits = 0;
            nbits -= take;
        }
        if (freeBits == 0) {
            bytes.push_back(partial);
            partial = 0;
            freeBits = 8;
        }
    }
}

void CSwfStream::WriteSignedBits(int32_t value, uint32_t nbits) {
    if (nbits == 0 || nbits > 32) {
        failed = failed || nbits > 32 || value != 0;
        return;
    }
    const int64_t limit = int64_t{1} << (nbits - 1);
    if (value < -limit || value >= limit) {
        failed = true;
        return;
    }
    const uint32_t mask = nbits == 32 ? 0xFFFFFFFFu : (1u << nbits) - 1;
    WriteBits(static_cast<uint32_t>(value) & mask, nbits);
}

void CSwfStream::WriteU8(uint32_t value) {
    WriteBits(value & 0xFF, 8);
}

void CSwfStream::WriteU16(uint32_t value) {
    WriteU8(value);
    WriteU8(value >> 8);
}

void CSwfStream::WriteU32(uint32_t value) {
    WriteU16(value);
    WriteU16(value >> 16);
}

void CSwfStream::Align() {
    if (freeBits != 8) {
        bytes.push_back(partial);
        partial = 0;
        freeBits = 8;
    }
}

void CSwfStream::AppendBlock(const uint8_t* data, uint32_t length) {
    blocks.push_back(Block{ByteCount(), data, length, {}});
}

void CSwfStream::AppendFileBlock(const std::string& path, uint32_t length) {
    blocks.push_back(Block{ByteCount(), nullptr, length, path});
}

void CSwfStream::AppendStream(CSwfStream& source) {
    uint32_t base = ByteCount();
    failed = failed || source.failed;
    bytes.insert(bytes.end(), source.bytes.begin(), source.bytes.end());
    while (!source.blocks.empty()) {
        Block block = std::move(source.blocks.front());
        source.blocks.pop_front();
        block.offset += base;
        blocks.push_back(std::move(block));
    }
}

uint32_t CSwfStream::Length() const {
    uint32_t length = ByteCount();
    for (const Block& block : blocks) {
        length += block.length;
    }
    return length;
}

int CSwfStream::WriteBlock(FILE* file, const Block& block) {
    if (block.path.empty()) {
        return block.length == 0 || fwrite(block.data, 1, block.length, file) == block.length;
    }
    FILE* in = fopen(block.path.c_str(), "rb");
    if (in == nullptr) {
        return 0;
    }
    constexpr size_t kChunk = 1 << 20;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kChunk]);
    uint32_t left = block.length;
    int ok = buffer != nullptr;
    while (ok && left > 0) {
        size_t want = std::min<size_t>(kChunk, left);
        size_t got = fread(buffer.get(), 1, want, in);
        if (got != want || fwrite(buffer.get(), 1, got, file) != got) {
            ok = 0;
        }
        left -= static_cast<uint32_t>(got);
    }
    fclose(in);
    return ok;
}

int CSwfStream::WriteTo(FILE* file) {
    int ok = 1;
    uint32_t position = 0;
    auto writeBytesUpTo = [&](uint32_t end) {
        if (end > position) {
            if (fwrite(bytes.data() + position, 1, end - position, file) != end - position) {
                ok = 0;
            }
            position = end;
        }
    };
    while (!blocks.empty()) {
        Block block = std::move(blocks.front());
        blocks.pop_front();
        writeBytesUpTo(block.offset);
        if (!WriteBlock(file, block)) {
            ok = 0;
        }
    }
    writeBytesUpTo(ByteCount());
    return ok;
}

void CSwfStream::WriteTagHeader(uint32_t code, uint32_t length, CSwfStream* body) {
    if (length <= 62) {
        WriteU16((code << 6) | length);
    } else {
        WriteU16((code << 6) | 63);
        WriteU32(length);
    }
    if (body != nullptr) {
        AppendStream(*body);
    }
}

void CSwfStream::Patch(uint32_t offset, const uint8_t* data, uint32_t length) {
    if (offset + length <= bytes.size()) {
        memcpy(bytes.data() + offset, data, length);
    }
}

CSwfRect::CSwfRect(int32_t xMinTwips, int32_t yMinTwips, int32_t xMaxTwips, int32_t yMaxTwips)
    : xMin(xMinTwips), xMax(xMaxTwips), yMin(yMinTwips), yMax(yMaxTwips) {}

uint32_t CSwfRect::NBits() const {
    return std::max(15u, SignedBits(xMin, xMax, yMin, yMax));
}

void CSwfRect::Write(CSwfStream& s) const {
    uint32_t nBits = NBits();
    s.WriteBits(nBits, 5);
    s.WriteSignedBits(xMin, nBits);
    s.WriteSignedBits(xMax, nBits);
    s.WriteSignedBits(yMin, nBits);
    s.WriteSignedBits(yMax, nBits);
    s.Align();
}

CSwfMatrix::CSwfMatrix(bool hasScale, int32_t scaleX16_16, int32_t scaleY16_16, bool hasRotate,
                       int32_t rotateSkew0_16_16, int32_t rotateSkew1_16_16,
                       int32_t translateXTwips, int32_t translateYTwips)
    : hasScale(hasScale), scaleX(scaleX16_16), scaleY(scaleY16_16), hasRotate(hasRotate),
      rotateSkew0(rotateSkew0_16_16), rotateSkew1(rotateSkew1_16_16), translateX(translateXTwips),
      translateY(translateYTwips), nScaleBits(SignedBits(scaleX, scaleY)),
      nRotateBits(SignedBits(rotateSkew0, rotateSkew1)),
      nTranslateBits(SignedBits(translateX, translateY)) {}

void CSwfMatrix::Write(CSwfStream& s) const {
    if (empty) {
        s.WriteU8(0);
        return;
    }
    s.WriteBits(hasScale ? 1 : 0, 1);
    if (hasScale) {
        s.WriteBits(nScaleBits, 5);
        s.WriteSignedBits(scaleX, nScaleBits);
        s.WriteSignedBits(scaleY, nScaleBits);
    }
    s.WriteBits(hasRotate ? 1 : 0, 1);
    if (hasRotate) {
        s.WriteBits(nRotateBits, 5);
        s.WriteSignedBits(rotateSkew0, nRotateBits);
        s.WriteSignedBits(rotateSkew1, nRotateBits);
    }
    s.WriteBits(nTranslateBits, 5);
    s.WriteSignedBits(translateX, nTranslateBits);
    s.WriteSignedBits(translateY, nTranslateBits);
    s.Align();
}

CSwfRGBA::CSwfRGBA(uint8_t r, uint8_t g, uint8_t b)
    : red(r), green(g), blue(b), alpha(255), hasAlpha(false) {}

CSwfRGBA::CSwfRGBA(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
    : red(r), green(g), blue(b), alpha(a), hasAlpha(true) {}

CSwfRGBA::CSwfRGBA(uint32_t packedBgr)
    : red(packedBgr & 0xFF), green((packedBgr >> 8) & 0xFF), blue((packedBgr >> 16) & 0xFF),
      alpha(255), hasAlpha(false) {}

CSwfRGBA::CSwfRGBA(uint32_t packedAbgr, bool withAlpha)
    : red(packedAbgr & 0xFF), green((packedAbgr >> 8) & 0xFF), blue((packedAbgr >> 16) & 0xFF),
      alpha(withAlpha ? (packedAbgr >> 24) & 0xFF : 255), hasAlpha(withAlpha) {}

void CSwfRGBA::Write(CSwfStream& s) const {
    s.WriteU8(red);
    s.WriteU8(green);
    s.WriteU8(blue);
    if (hasAlpha) {
        s.WriteU8(alpha);
    }
}

// The bit fields of CXFORM and CXFORMWITHALPHA: the two flags, the field width, then the
// multiply terms and the add terms that are present.
static void WriteCxformFields(CSwfStream& s, bool hasMultTerms, bool hasAddTerms, uint32_t nBits,
                              std::initializer_list<int32_t> multTerms,
                              std::initializer_list<int32_t> addTerms) {
    s.WriteBits(hasAddTerms ? 1 : 0, 1);
    s.WriteBits(hasMultTerms ? 1 : 0, 1);
    s.WriteBits(nBits, 4);
    if (hasMultTerms) {
        for (int32_t term : multTerms) {
            s.WriteSignedBits(term, nBits);
        }
    }
    if (hasAddTerms) {
        for (int32_t term : addTerms) {
            s.WriteSignedBits(term, nBits);
        }
    }
    s.Align();
}

CSwfCxform::CSwfCxform(bool hasMultTerms, bool hasAddTerms, int32_t redAdd8_8, int32_t greenAdd8_8,
                       int32_t blueAdd8_8, int32_t redMult8_8, int32_t greenMult8_8,
                       int32_t blueMult8_8)
    : hasMultTerms(hasMultTerms), hasAddTerms(hasAddTerms), redAdd(redAdd8_8),
      greenAdd(greenAdd8_8), blueAdd(blueAdd8_8), redMult(redMult8_8), greenMult(greenMult8_8),
      blueMult(blueMult8_8), nBits(BitsFor(std::max(MaxAbs(redAdd, greenAdd, blueAdd, 0),
                                                    MaxAbs(redMult, greenMult, blueMult, 0)),
                                           1)) {}

void CSwfCxform::Write(CSwfStream& s) const {
    WriteCxformFields(s, hasMultTerms, hasAddTerms, nBits, {redMult, greenMult, blueMult},
                      {redAdd, greenAdd, blueAdd});
}

CSwfCxformWithAlpha::CSwfCxformWithAlpha(bool hasMultTerms, bool hasAddTerms, int32_t redAdd8_8,
                                         int32_t greenAdd8_8, int32_t blueAdd8_8,
                                         int32_t alphaAdd8_8, int32_t redMult8_8,
                                         int32_t greenMult8_8, int32_t blueMult8_8,
                                         int32_t alphaMult8_8)
    : hasMultTerms(hasMultTerms), hasAddTerms(hasAddTerms), redAdd(redAdd8_8),
      greenAdd(greenAdd8_8), blueAdd(blueAdd8_8), alphaAdd(alphaAdd8_8), redMult(redMult8_8),
      greenMult(greenMult8_8), blueMult(blueMult8_8), alphaMult(alphaMult8_8),
      nBits(BitsFor(std::max(MaxAbs(redAdd, greenAdd, blueAdd, alphaAdd),
                             MaxAbs(redMult, greenMult, blueMult, alphaMult)),
                    1)) {}

void CSwfCxformWithAlpha::Write(CSwfStream& s) const {
    WriteCxformFields(s, hasMultTerms, hasAddTerms, nBits,
                      {redMult, greenMult, blueMult, alphaMult},
                      {redAdd, greenAdd, blueAdd, alphaAdd});
}

CSwfString::CSwfString(const char* text, bool terminate)
    : text(text != nullptr ? text : ""), terminate(terminate) {}

void CSwfString::Write(CSwfStream& s) const {
    for (char c : text) {
        s.WriteU8(static_cast<uint8_t>(c));
    }
    if (terminate) {
        s.WriteU8(0);
    }
}
