#include "swf/swf_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace kestrova::swf {

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

uint64_t CSwfStream::TotalLength() const {
    uint64_t length = ByteCount();
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

// A flag, then, when the terms are there, their width in 5 bits and the two terms.
static void WriteMatrixTerms(CSwfStream& s, const std::optional<CSwfMatrix::Terms>& terms) {
    s.WriteBits(terms ? 1 : 0, 1);
    if (terms) {
        uint32_t nBits = SignedBits(terms->first, terms->second);
        s.WriteBits(nBits, 5);
        s.WriteSignedBits(terms->first, nBits);
        s.WriteSignedBits(terms->second, nBits);
    }
}

void CSwfMatrix::Write(CSwfStream& s) const {
    if (compact) {
        s.WriteU8(0);
        return;
    }
    WriteMatrixTerms(s, scale);
    WriteMatrixTerms(s, rotate);
    uint32_t nTranslateBits = SignedBits(translateX, translateY);
    s.WriteBits(nTranslateBits, 5);
    s.WriteSignedBits(translateX, nTranslateBits);
    s.WriteSignedBits(translateY, nTranslateBits);
    s.Align();
}

CSwfRGBA CSwfRGBA::FromBgr(uint32_t packedBgr) {
    return {static_cast<uint8_t>(packedBgr & 0xFF), static_cast<uint8_t>((packedBgr >> 8) & 0xFF),
            static_cast<uint8_t>((packedBgr >> 16) & 0xFF), 255};
}

void CSwfRGBA::Write(CSwfStream& s, bool withAlpha) const {
    s.WriteU8(red);
    s.WriteU8(green);
    s.WriteU8(blue);
    if (withAlpha) {
        s.WriteU8(alpha);
    }
}

// The bit fields of CXFORM and CXFORMWITHALPHA: the two flags, the field width, then the
// multiply terms and the add terms; an absent group is an empty list.
static void WriteCxformFields(CSwfStream& s, const std::vector<int32_t>& mult,
                              const std::vector<int32_t>& add) {
    uint32_t largest = 0;
    for (const auto* terms : {&mult, &add}) {
        for (int32_t term : *terms) {
            largest = std::max(largest, MaxAbs(term, 0, 0, 0));
        }
    }
    uint32_t nBits = BitsFor(largest, 1);
    s.WriteBits(add.empty() ? 0 : 1, 1);
    s.WriteBits(mult.empty() ? 0 : 1, 1);
    s.WriteBits(nBits, 4);
    for (const auto* terms : {&mult, &add}) {
        for (int32_t term : *terms) {
            s.WriteSignedBits(term, nBits);
        }
    }
    s.Align();
}

void CSwfCxform::Write(CSwfStream& s) const {
    auto list = [](const std::optional<Terms>& t) {
        return t ? std::vector<int32_t>{t->red, t->green, t->blue} : std::vector<int32_t>{};
    };
    WriteCxformFields(s, list(mult), list(add));
}

void CSwfCxformWithAlpha::Write(CSwfStream& s) const {
    auto list = [](const std::optional<Terms>& t) {
        return t ? std::vector<int32_t>{t->red, t->green, t->blue, t->alpha}
                 : std::vector<int32_t>{};
    };
    WriteCxformFields(s, list(mult), list(add));
}

void WriteString(CSwfStream& s, std::string_view text) {
    for (char c : text) {
        s.WriteU8(static_cast<uint8_t>(c));
    }
    s.WriteU8(0);
}

} // namespace kestrova::swf
