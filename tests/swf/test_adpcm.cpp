// SWF ADPCM encoder: byte-exact streams, the stream layout around packet boundaries, the
// packet headers' step index, and 8-bit and split input. (The command-line tests decode a
// whole movie's ADPCM with FFmpeg.)
#include "support/swf_reader.h"
#include "swf/adpcm_encoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

constexpr uint8_t kMono16 = 0x02;   // size 16-bit, mono
constexpr uint8_t kStereo16 = 0x03; // size 16-bit, stereo

Bytes Encode(const Samples& samples, uint8_t flags, uint32_t codeSize) {
    uint32_t channels = (flags & 1) ? 2 : 1;
    CAdpcmEncoder encoder(flags, codeSize);
    Bytes out;
    encoder.Encode(samples.data(), static_cast<uint32_t>(samples.size() / channels), out);
    encoder.Flush(out);
    return out;
}

std::string Hex(const Bytes& bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        out += "0123456789ABCDEF"[b >> 4];
        out += "0123456789ABCDEF"[b & 15];
    }
    return out;
}

// 24 stereo frames, a rising curve beside full-scale jumps that drive the prediction into
// both clamps, at every code size.
TEST(Adpcm, StreamsByteForByte) {
    Samples s;
    for (int i = 0; i < 24; ++i) {
        s.push_back(static_cast<int16_t>(i * i * 97 - 20000));
        s.push_back(static_cast<int16_t>(i % 4 < 2 ? 32767 : -32768));
    }
    const char* expected[] = {
        "2C781B7FFF011DD51DD51DD51DD51DD51CC0",
        "6C781B7FFF0107DF6D87DF6D03D72D05CF4C85CF4D03CF",
        "AC781B7FFF0101FDFD51013D3CD540FD7CD500FD3D14C0FD3D18C13CE4",
        "EC781B7FFF01017FD3F40D404FD1F4112047D3F3992047CF353CC147CF14BCE14FCF10",
    };
    for (uint32_t bits = 2; bits <= 5; ++bits) {
        EXPECT_EQ(Hex(Encode(s, kStereo16, bits)), expected[bits - 2]) << bits << " bits";
    }
}

// Code size (2 bits), then every 4096 frames a header per channel (16-bit sample, 6-bit
// index), one code per channel for the other frames; padded to a byte.
TEST(Adpcm, SizesAroundPacketBoundaries) {
    struct Case {
        uint32_t frames, channels, codeSize, bytes;
    } cases[] = {
        {1, 1, 2, 3},       // 2 + 22 bits
        {4096, 1, 4, 2051}, // 2 + 22 + 4095 × 4 = 16404 bits
        {4097, 1, 4, 2054}, // a second header: 16404 + 22 bits
        {8193, 1, 4, 4104}, // three headers: 2 + 3 × 22 + 8190 × 4 = 32828 bits
        {4097, 2, 5, 5130}, // 2 + 2 × 2 × 22 + 4095 × 2 × 5 = 41040 bits
        {100, 2, 3, 80},    // 2 + 44 + 99 × 6 = 640 bits
    };
    for (const Case& c : cases) {
        Samples s(size_t(c.frames) * c.channels);
        for (size_t i = 0; i < s.size(); ++i) {
            s[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
        }
        Bytes data = Encode(s, c.channels == 2 ? kStereo16 : kMono16, c.codeSize);
        EXPECT_EQ(data.size(), c.bytes) << c.frames << " frames";
        EXPECT_EQ(CAdpcmEncoder::EncodedSize(c.frames, c.channels, c.codeSize), c.bytes);
        // The second packet's header carries its frame's sample exactly.
        if (c.frames > 4096 && c.channels == 1) {
            swfread::BitReader r(data);
            r.UB(2 + 22 + 4095 * c.codeSize);
            EXPECT_EQ(r.SB(16), s[4096]);
        }
    }
    EXPECT_TRUE(Encode({}, kMono16, 4).empty());
}

// The first packet's index is the smallest whose step covers the first difference.
TEST(Adpcm, PacketIndexCoversFirstDifference) {
    struct Case {
        int16_t first, second;
        uint32_t index;
    } cases[] = {
        {100, 93, 0}, {0, 8, 1}, {0, 9, 2}, {0, 2749, 62}, {0, 2750, 63}, {-32768, 32767, 63},
    };
    for (const Case& c : cases) {
        Bytes data = Encode({c.first, c.second}, kMono16, 4);
        swfread::BitReader r(data);
        r.UB(2);
        EXPECT_EQ(r.SB(16), c.first);
        EXPECT_EQ(r.UB(6), c.index) << c.first << " → " << c.second;
    }
}

TEST(Adpcm, EightBitInputAndSplitCallsGiveTheSameStream) {
    const uint32_t frames = 10000; // several widening chunks and packets
    Bytes eight(frames * 2);
    Samples wide(frames * 2);
    for (size_t i = 0; i < eight.size(); ++i) {
        eight[i] = static_cast<uint8_t>((i * 37 + i / 50) & 0xFF);
        wide[i] = static_cast<int16_t>((eight[i] - 128) * 256);
    }
    CAdpcmEncoder encoder(0x01, 4); // 8-bit stereo
    Bytes out;
    encoder.Encode(eight.data(), frames, out);
    encoder.Flush(out);
    const Bytes whole = Encode(wide, kStereo16, 4);
    EXPECT_EQ(out, whole);

    CAdpcmEncoder split(kStereo16, 4);
    Bytes parts;
    for (uint32_t at = 0; at < frames; at += 3000) {
        split.Encode(wide.data() + at * 2, std::min(3000u, frames - at), parts);
    }
    split.Flush(parts);
    EXPECT_EQ(parts, whole);
}

} // namespace
