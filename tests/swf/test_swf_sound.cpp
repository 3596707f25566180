// Sound: tags made from the WAV reader's and the MP3 scanner's results, StartSound, the stream
// heads and block; the MP3 scanner, the ADPCM encoder (byte-exact streams; the command-line
// tests decode ADPCM with FFmpeg) and the WAV reader, on data built here.
#include "support/swf_reader.h"
#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf/wav_reader.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kestrova::test {

namespace {

using swftest::Bytes;
using swftest::Join;
using swftest::ParseOne;
using swftest::Pattern;

// DefineSound: u16 id, the format byte, u32 sample count, the data. The size bit comes from
// the WAV even for ADPCM, whose stream starts with the code size.
TEST(DefineSound, FormatByteAndDataFromTheWavReader) {
    const std::tuple<uint8_t, uint8_t, uint8_t, uint32_t, uint8_t> cases[] = {
        {2, 1, 0, 0, 0x0A}, {3, 1, 1, 0, 0x0F}, {1, 0, 0, 0, 0x04}, {2, 1, 0, 4, 0x1A},
        {2, 1, 1, 2, 0x1B}, {1, 0, 0, 3, 0x14}, {3, 1, 1, 5, 0x1F},
    };
    for (auto [rateCode, size, type, codeSize, formatByte] : cases) {
        CWaveSound wave{.rateCode = rateCode, .size = size, .type = type, .sampleCount = 5000};
        for (size_t i = 0; i < size_t{5000} << (size + type); ++i) {
            wave.data.push_back(static_cast<uint8_t>(i * 37 + i / 50));
        }
        const Bytes samples = wave.data;
        swfread::Tag t =
            ParseOne(CSwfDefineSound(0x0102, SoundFromWave(std::move(wave), codeSize)));
        EXPECT_EQ(Bytes(t.body.begin(), t.body.begin() + 7),
                  (Bytes{0x02, 0x01, formatByte, 0x88, 0x13, 0, 0}));
        const Bytes data(t.body.begin() + 7, t.body.end());
        EXPECT_EQ(codeSize == 0 ? data.size()
                                : CAdpcmEncoder::EncodedSize(5000, type + 1, codeSize),
                  data.size());
        EXPECT_TRUE(codeSize != 0 || data == samples);
    }
}

// StartSound's SOUNDINFO sets a flag for each part it has; SoundStreamHead has a fixed ADPCM
// stream format with the stereo flag; SoundStreamHead2 takes the playback byte's rate and
// adds LatencySeek for MP3 only.
TEST(SoundTags, BodiesByteForByte) {
    const Bytes block = {1, 2, 3};
    const CSwfSoundInfo full{.syncFlags = 2,
                             .inPoint = 0x01020304,
                             .outPoint = 0x0A0B0C0D,
                             .loopCount = 3,
                             .envelope = std::vector<CSwfSoundEnvelope>{{44100, 0x8000, 0x10}}};
    const std::pair<swfread::Tag, std::pair<int, Bytes>> cases[] = {
        {ParseOne(CSwfStartSound(7, {.syncFlags = 1})), {15, {7, 0, 0x10}}},
        {ParseOne(CSwfStartSound(7, full)),
         {15, {7, 0, 0x2F, 4,    3,    2, 1, 0x0D, 0x0C, 0x0B, 0x0A,
               3, 0, 1,    0x44, 0xAC, 0, 0, 0,    0x80, 0x10, 0}}},
        {ParseOne(CSwfStartSound(7, {.loopCount = 65535})), {15, {7, 0, 0x04, 0xFF, 0xFF}}},
        {ParseOne(CSwfStartSound(7, {.outPoint = 5})), {15, {7, 0, 0x02, 5, 0, 0, 0}}},
        {ParseOne(CSwfSoundStreamHead(0x0F, 1, 44100)), {18, {0x0F, 0x13, 0x44, 0xAC}}},
        {ParseOne(CSwfSoundStreamHead(0x0A, 0, 100)), {18, {0x0A, 0x12, 100, 0}}},
        {ParseOne(CSwfSoundStreamHead2(0x0F, 2, 1, 1, 0x1234)),
         {45, {0x0F, 0x2F, 0x34, 0x12, 0, 0}}},
        {ParseOne(CSwfSoundStreamHead2(0x06, 2, 1, 0, 10)), {45, {0x06, 0x26, 10, 0, 0, 0}}},
        {ParseOne(CSwfSoundStreamHead2(0x0A, 1, 1, 0, 5)), {45, {0x0A, 0x12, 5, 0}}},
        {ParseOne(CSwfSoundStreamBlock(block.data(), 3)), {19, block}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [tag, expected] = cases[i];
        EXPECT_EQ(std::pair(int{tag.code}, tag.body), expected) << i;
    }
}

// `count` frames with header bytes 1 to 3, each filled to its length with bytes that hold no
// sync word; `bitRate` replaces the bit rate index of every header written.
Bytes Frames(uint8_t b1, uint8_t b2, uint8_t b3, int count, int bitRate = -1) {
    Bytes out;
    CMp3FrameHeader h;
    const uint8_t header[4] = {0xFF, b1, b2, b3};
    EXPECT_TRUE(ParseMp3FrameHeader(header, h));
    for (int f = 0; f < count; ++f) {
        out.insert(out.end(), header, header + 4);
        if (bitRate >= 0) {
            out[out.size() - 2] = static_cast<uint8_t>((b2 & 0x0F) | bitRate);
        }
        for (uint32_t i = 4; i < h.frameLength; ++i) {
            out.push_back(static_cast<uint8_t>((i * 7 + f) % 200));
        }
    }
    return out;
}

TEST(Mp3Frames, OnlyTheAudioFramesOfTheFirstStreamAreCollected) {
    const Bytes clean = Frames(0xFB, 0x90, 0x44, 5); // MPEG-1, 44100 Hz, 417 bytes a frame
    const Bytes head(clean.begin(), clean.begin() + 834), tail(clean.begin() + 834, clean.end());
    Bytes info = Frames(0xFB, 0x90, 0x44, 1);
    std::copy_n("Info", 4, info.begin() + 36); // after the header and the side information
    // An ID3v1 tag ending with what would be a frame of the stream at 32 kbit/s (104 bytes).
    const Bytes id3v1 = Join({{'T', 'A', 'G'}, Bytes(21, ' '), Frames(0xFB, 0x10, 0x44, 1)});
    const std::pair<Bytes, uint32_t> cases[] = {
        {clean, 5},
        // An ID3v2 tag whose body holds a sync word, junk with a false frame, a metadata frame.
        {Join({{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 6, 0xFF, 0xF3, 0x44, 0xC4, 0, 0},
               {0x00, 0xFF, 0xFB, 0x90, 0x00, 0x12, 0xFF},
               info,
               clean,
               id3v1}),
         5},
        // An ID3v2 tag whose whole body is another tag's header: skipped unread.
        {Join({{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10, 'I', 'D', '3', 3, 0, 0, 0, 0, 7, 104}, clean}),
         5},
        {Join({head, {0xFF, 0xF3, 0x44, 0xC4, 0x01}, tail}), 5}, // another stream's header
        {Bytes(clean.begin(), clean.end() - 10), 4},             // the last frame cut short
        {Frames(0xFB, 0x90, 0x44, 5, 0x00), 0},                  // free format
        {Frames(0xFB, 0x90, 0x44, 5, 0xF0), 0},                  // bit rate index 15
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [file, frames] = cases[i];
        CMp3Frames out;
        EXPECT_EQ(CollectMp3Frames(file.data(), file.size(), out), frames > 0) << i;
        EXPECT_EQ(std::tuple(out.frameCount, out.data),
                  std::tuple(frames, Bytes(clean.begin(), clean.begin() + frames * 417)))
            << i;
    }
}

// Only 11025, 22050 and 44100 Hz have a rate code; the data is SeekSamples 0 and the frames.
TEST(Mp3Frames, RatesSwfCanLabelBecomeFormatTwoSound) {
    const std::tuple<Bytes, uint8_t, uint16_t> cases[] = {
        {Frames(0xFB, 0x90, 0x44, 3), 0x2F, 3 * 1152}, // MPEG-1 stereo
        {Frames(0xF3, 0x80, 0x00, 3), 0x2B, 3 * 576},  // MPEG-2 stereo
        {Frames(0xE3, 0x40, 0xC4, 3), 0x26, 3 * 576},  // MPEG-2.5 mono
        {Frames(0xFB, 0x94, 0x00, 3), 0, 0},           // 48000 Hz
        {Frames(0xE3, 0x18, 0xC0, 3), 0, 0},           // 8000 Hz
    };
    for (const auto& [file, formatByte, samples] : cases) {
        FILE* f = swftest::FileWith(file);
        CMp3Frames frames;
        ASSERT_TRUE(ReadMp3File(f, frames));
        fclose(f);
        std::optional<CSwfSoundData> sound = SoundFromMp3(std::move(frames));
        ASSERT_EQ(sound.has_value(), formatByte != 0);
        if (sound) {
            const Bytes head = {formatByte, static_cast<uint8_t>(samples), uint8_t(samples >> 8), 0,
                                0};
            EXPECT_EQ(ParseOne(CSwfDefineSound(1, *sound)).body,
                      Join({{1, 0}, head, {0, 0}, file}));
        }
    }
}

TEST(Mp3Frames, HeaderFields) {
    struct Case {
        uint8_t b1, b2, b3;
        uint32_t version = 0, sampleRate = 0, bitRate = 0, length = 0, samples = 0;
        bool mono = false;
    } cases[] = {
        {0xFB, 0x90, 0x44, 10, 44100, 128000, 417, 1152, false},
        {0xFB, 0x92, 0xC4, 10, 44100, 128000, 418, 1152, true}, // padded
        {0xFB, 0x94, 0x00, 10, 48000, 128000, 384, 1152, false},
        {0xFA, 0x18, 0xC0, 10, 32000, 32000, 144, 1152, true}, // CRC-protected
        {0xF3, 0x80, 0x00, 20, 22050, 64000, 208, 576, false},
        {0xE3, 0x40, 0xC4, 25, 11025, 32000, 208, 576, true},
        {0xE3, 0x18, 0xC0, 25, 8000, 8000, 72, 576, true},
        // Not frames: free format, bit rate index 15, rate index 3, a reserved version, layer
        // II, a reserved emphasis.
        {0xFB, 0x00, 0x44},
        {0xFB, 0xF0, 0x44},
        {0xFB, 0x9C, 0x44},
        {0xEB, 0x90, 0x44},
        {0xFD, 0x90, 0x44},
        {0xFB, 0x90, 0x46},
    };
    for (const Case& c : cases) {
        const uint8_t bytes[4] = {0xFF, c.b1, c.b2, c.b3};
        CMp3FrameHeader h;
        ASSERT_EQ(ParseMp3FrameHeader(bytes, h), c.version != 0) << int(c.b1) << " " << int(c.b2);
        EXPECT_EQ(std::tuple(h.version, h.sampleRate, h.bitRate, h.frameLength, h.samplesPerFrame,
                             h.IsMono()),
                  std::tuple(c.version, c.sampleRate, c.bitRate, c.length, c.samples, c.mono));
    }
}

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
        const Bytes data = Encode({c.first, c.second}, kMono16, 4);
        swfread::BitReader r(data);
        EXPECT_EQ((std::tuple{r.UB(2), r.SB(16), r.UB(6)}), std::tuple(2u, c.first, c.index));
    }
}

// 8-bit input is widened to 16 bits, chunk by chunk across packets.
TEST(Adpcm, EightBitInputGivesTheStreamOfItsWidenedSamples) {
    const uint32_t frames = 10000;
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

Bytes Le(uint32_t value, int bytes) {
    Bytes b;
    for (int i = 0; i < bytes; ++i) {
        b.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    return b;
}

// A chunk: id, size field (the body's length unless given), body and the pad byte of an odd
// body.
Bytes Chunk(const char* id, const Bytes& body, int64_t declaredSize = -1) {
    return Join({Bytes(id, id + 4), Le(declaredSize < 0 ? body.size() : declaredSize, 4), body,
                 Bytes(body.size() % 2, 0)});
}

// A fmt chunk; formats other than PCM carry an extra size field.
Bytes Fmt(uint32_t formatTag, uint32_t channels, uint32_t rate, uint32_t bits) {
    const uint32_t align = channels * ((bits + 7) / 8);
    return Chunk("fmt ", Join({Le(formatTag, 2), Le(channels, 2), Le(rate, 4), Le(rate * align, 4),
                               Le(align, 2), Le(bits, 2), Le(0, formatTag != 1 ? 2 : 0)}));
}

Bytes Riff(std::initializer_list<Bytes> chunks, int64_t declaredSize = -1) {
    return Chunk("RIFF", Join({{'W', 'A', 'V', 'E'}, Join(chunks)}), declaredSize);
}

bool Read(const Bytes& file, CWaveSound& out) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(swftest::FileWith(file), fclose);
    return ReadWaveFile(f.get(), out);
}

TEST(WavReader, RateCodesByThousandsOfHertz) {
    const std::pair<uint32_t, int> cases[] = {{0, -1},    {4999, -1}, {5000, 0},   {9999, 0},
                                              {10000, 1}, {14999, 1}, {15000, -1}, {19999, -1},
                                              {20000, 2}, {24999, 2}, {25000, -1}, {39999, -1},
                                              {40000, 3}, {44999, 3}, {45000, -1}};
    for (auto [rate, code] : cases) {
        EXPECT_EQ(WaveRateCode(rate), code) << rate;
    }
}

// Other chunks are skipped (odd-sized ones with their pad byte), only the first data chunk
// counts, a trailing part of a frame is left out, a streamed file (size 0xFFFFFFFF) has its
// data taken to the end of the file.
TEST(WavReader, ReadsFormatAndWholeFrames) {
    const Bytes data = Pattern(1001);
    Bytes streamed = Riff({Fmt(1, 1, 22050, 16), Chunk("data", data, 0xFFFFFFFF)}, 0xFFFFFFFF);
    streamed.pop_back(); // no pad byte: the writer did not know the size was odd
    struct Case {
        Bytes file;
        uint8_t rateCode, size, type;
        uint32_t frames, frameBytes;
    } cases[] = {
        {Riff({Fmt(1, 1, 11025, 8), Chunk("data", data)}), 1, 0, 0, 1001, 1},
        {Riff({Fmt(1, 2, 44100, 16), Chunk("data", data)}), 3, 1, 1, 250, 4},
        {Riff({Fmt(1, 2, 5512, 8), Chunk("data", data)}), 0, 0, 1, 500, 2},
        {Riff({Chunk("LIST", Pattern(7)), Fmt(1, 1, 22000, 16), Chunk("fact", Bytes(4, 0)),
               Chunk("data", data), Chunk("data", Pattern(8))}),
         2, 1, 0, 500, 2},
        {Riff({Fmt(1, 1, 22050, 16), Chunk("data", data)}, 0xFFFFFFFF), 2, 1, 0, 500, 2},
        {streamed, 2, 1, 0, 500, 2},
        {Riff({Fmt(1, 1, 22050, 16), Chunk("data", data, 10)}, 0xFFFFFFFF), 2, 1, 0, 5, 2},
    };
    for (const Case& c : cases) {
        CWaveSound wave;
        ASSERT_TRUE(Read(c.file, wave)) << c.frames;
        EXPECT_EQ(
            std::tuple(wave.rateCode, wave.size, wave.type, wave.sampleCount, wave.waveFormatTag),
            std::tuple(c.rateCode, c.size, c.type, c.frames, 1u));
        EXPECT_EQ(wave.data, Bytes(data.begin(), data.begin() + c.frames * c.frameBytes));
    }
}

TEST(WavReader, RejectsWhatItCannotTake) {
    const Bytes data = Pattern(100);
    const Bytes good = Riff({Fmt(1, 1, 22050, 16), Chunk("data", data)});
    Bytes rifx = good, notWave = good;
    rifx[3] = 'X';
    notWave[8] = 'A';
    const std::pair<Bytes, uint32_t> cases[] = {
        {{}, 0},
        {rifx, 0},
        {notWave, 0},
        {Bytes(good.begin(), good.end() - 1), 1}, // data cut short
        {Riff({Chunk("data", data), Fmt(1, 1, 22050, 16)}), 0},
        {Riff({Fmt(1, 1, 22050, 16)}), 1},
        {Riff({Fmt(1, 0, 22050, 16), Chunk("data", data)}), 1},
        {Riff({Fmt(1, 6, 22050, 16), Chunk("data", data)}), 1},
        {Riff({Fmt(1, 1, 48000, 16), Chunk("data", data)}), 1},
        {Riff({Chunk("fmt ", Bytes{1, 0, 1, 0, 0x22})}), 1},
        {Riff({Fmt(1, 1, 22050, 16), Chunk("data", data, 0xFFFFFFF0)}), 1},
        {Riff({Fmt(1, 1, 22050, 16), Chunk("junk", data, 0xFFFFFFF8), Chunk("data", data)}), 1},
        {Riff({Fmt(1, 1, 22050, 16), Chunk("data", data)}, 4 + 24), 1}, // past the RIFF size
        {Riff({Fmt(2, 2, 22050, 4), Chunk("data", data)}), 2},          // compressed: tag kept
        {Riff({Fmt(0xFFFE, 2, 22050, 16), Chunk("data", data)}), 0xFFFE},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [file, formatTag] = cases[i];
        SCOPED_TRACE(i);
        CWaveSound wave;
        EXPECT_FALSE(Read(file, wave));
        EXPECT_TRUE(wave.data.empty());
        EXPECT_EQ(wave.waveFormatTag, formatTag);
    }
}

} // namespace

} // namespace kestrova::test
