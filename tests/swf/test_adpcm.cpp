// SWF ADPCM encoder: stream layout read back bit by bit, and the sound decoded by libavcodec.
#include "sound_test_util.h"
#include "support/swf_reader.h"
#include "swf/adpcm_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// One channel's part of a stream: packet headers and codes, in stream order.
struct ChannelStream {
    std::vector<int32_t> headerSamples;
    std::vector<uint32_t> headerIndices;
    std::vector<uint32_t> codes;
};

// Reads a stream back following the layout: code size, then per packet each channel's
// header, then per frame one code per channel. Returns false when the bits do not end
// exactly at the data's last byte.
bool ParseStream(const Bytes& data, uint32_t frames, uint32_t channels, uint32_t& codeSize,
                 std::vector<ChannelStream>& out) {
    swfread::BitReader r(data);
    codeSize = r.UB(2) + 2;
    out.assign(channels, {});
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t c = 0; c < channels; ++c) {
            if (f % 4096 == 0) {
                out[c].headerSamples.push_back(r.SB(16));
                out[c].headerIndices.push_back(r.UB(6));
            } else {
                out[c].codes.push_back(r.UB(codeSize));
            }
        }
    }
    bool paddingZero = true;
    while (!r.AtEnd()) { // rest of the last byte
        paddingZero = paddingZero && r.UB(1) == 0;
    }
    return !r.Overrun() && paddingZero && r.BytePos() == data.size();
}

Samples Sine(uint32_t frames, double period, double amplitude) {
    return soundtest::SineSweep(frames, 1, 44100, 44100 / period, 44100 / period, amplitude);
}

TEST(AdpcmLayout, SizesAroundPacketBoundaries) {
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
        uint32_t codeSize;
        std::vector<ChannelStream> ch;
        EXPECT_TRUE(ParseStream(data, c.frames, c.channels, codeSize, ch)) << c.frames;
        EXPECT_EQ(codeSize, c.codeSize) << "the stream's first two bits";
    }
    EXPECT_TRUE(Encode({}, kMono16, 4).empty());
}

TEST(AdpcmLayout, ConstantSignalKeepsIndexAtZero) {
    Samples s(5000, 1234);
    uint32_t codeSize;
    std::vector<ChannelStream> ch;
    ASSERT_TRUE(ParseStream(Encode(s, kMono16, 3), 5000, 1, codeSize, ch));
    EXPECT_EQ(ch[0].headerSamples, (std::vector<int32_t>{1234, 1234}));
    EXPECT_EQ(ch[0].headerIndices, (std::vector<uint32_t>{0, 0}));
    // The prediction wobbles by step[0] / 4 around the signal: only the sign bit (4 at
    // 3 bits) may be set, so the index adjustment is always -1 and stays clamped at 0.
    for (uint32_t code : ch[0].codes) {
        ASSERT_EQ(code & 3u, 0u);
    }
}

TEST(AdpcmLayout, PacketIndexCoversFirstDifference) {
    struct Case {
        int16_t first, second;
        uint32_t index;
    } cases[] = {
        {100, 93, 0},  // |d| = 7 = step[0]
        {0, 8, 1},     // step[1] = 8
        {0, 9, 2},     // step[2] = 9
        {0, 2749, 62}, // step[62] = 2749
        {0, 2750, 63}, // beyond step[62]: 63
        {-32768, 32767, 63},
    };
    for (const Case& c : cases) {
        uint32_t codeSize;
        std::vector<ChannelStream> ch;
        ASSERT_TRUE(ParseStream(Encode({c.first, c.second}, kMono16, 4), 2, 1, codeSize, ch));
        EXPECT_EQ(ch[0].headerIndices[0], c.index) << c.first << " → " << c.second;
    }
    // A single frame has no next sample: the difference is 0.
    uint32_t codeSize;
    std::vector<ChannelStream> ch;
    ASSERT_TRUE(ParseStream(Encode({30000}, kMono16, 4), 1, 1, codeSize, ch));
    EXPECT_EQ(ch[0].headerIndices[0], 0u);
}

TEST(AdpcmInput, EightBitIsWidenedAcrossPackets) {
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
    EXPECT_EQ(out, Encode(wide, kStereo16, 4));
}

TEST(AdpcmInput, StreamContinuesAcrossCalls) {
    Samples s = Sine(3 * 4096 + 100, 123, 0.7);
    CAdpcmEncoder encoder(kMono16, 5);
    Bytes out;
    for (size_t at = 0; at < s.size(); at += 4096) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(4096, s.size() - at));
        encoder.Encode(s.data() + at, n, out);
    }
    encoder.Flush(out);
    EXPECT_EQ(out, Encode(s, kMono16, 5));
}

// FFmpeg decodes mono and stereo streams: a stereo stream whose headers or codes were not
// interleaved channel by channel would not come back.
TEST(AdpcmDecode, SineSweepAbove20DbAtFourBits) {
    for (int channels : {1, 2}) {
        const uint32_t frames = 22050 * 3;
        Samples s = soundtest::SineSweep(frames, channels, 22050, 50, 5000, 0.8);
        Bytes data = Encode(s, channels == 2 ? kStereo16 : kMono16, 4);
        soundtest::Decoded d = soundtest::DecodeSwfAdpcm(data.data(), data.size(), 22050, channels);
        ASSERT_TRUE(d.ok);
        ASSERT_EQ(d.channels, channels);
        // The decoder may read the padding bits of the last byte as one more frame.
        ASSERT_GE(d.Frames(), frames);
        EXPECT_LE(d.Frames(), frames + 1);
        double snr = soundtest::SnrDb(s, d.samples);
        EXPECT_GT(snr, 20.0) << channels << " channels";
        RecordProperty(channels == 1 ? "snr_db_mono" : "snr_db_stereo", std::to_string(snr));
        // Packet headers carry the source sample exactly.
        for (uint32_t f = 0; f < frames; f += 4096) {
            EXPECT_EQ(d.samples[size_t(f) * channels], s[size_t(f) * channels]);
        }
    }
}

TEST(AdpcmDecode, MoreBitsGiveLessNoise) {
    const uint32_t frames = 44100;
    Samples s = soundtest::SineSweep(frames, 1, 44100, 100, 10000, 0.5);
    double previous = -100;
    for (uint32_t bits = 2; bits <= 5; ++bits) {
        Bytes data = Encode(s, kMono16, bits);
        soundtest::Decoded d = soundtest::DecodeSwfAdpcm(data.data(), data.size(), 44100, 1);
        ASSERT_TRUE(d.ok);
        double snr = soundtest::SnrDb(s, d.samples);
        EXPECT_GT(snr, previous + 3) << bits << " bits";
        RecordProperty("snr_db_" + std::to_string(bits) + "_bits", std::to_string(snr));
        previous = snr;
    }
}

TEST(AdpcmDecode, FullScaleJumpsSaturateWithoutDrift) {
    // Jumps between the extremes drive the prediction into both clamps; an encoder that did
    // not clamp as the decoder does would lose track of the decoder's state.
    Samples s;
    for (int block = 0; block < 40; ++block) {
        s.insert(s.end(), 300, block % 2 ? int16_t(-32768) : int16_t(32767));
    }
    s.insert(s.begin(), 0);
    Bytes data = Encode(s, kMono16, 2);
    soundtest::Decoded d = soundtest::DecodeSwfAdpcm(data.data(), data.size(), 44100, 1);
    ASSERT_TRUE(d.ok);
    ASSERT_GE(d.samples.size(), s.size());
    for (int block = 0; block < 40; ++block) {
        size_t last = 1 + size_t(block) * 300 + 299;
        EXPECT_NEAR(d.samples[last], s[last], 64) << "block " << block;
    }
    EXPECT_EQ(d.samples[300], 32767);
}

} // namespace
