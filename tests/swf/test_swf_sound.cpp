// Sound tags made from the WAV reader's and the MP3 scanner's results, StartSound, the stream
// heads and the stream block; the MP3 scanner on frames built here.
#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf/wav_reader.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using swftest::Bytes;
using swftest::Join;
using swftest::ParseOne;

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
        if (codeSize == 0) {
            EXPECT_EQ(data, samples);
        } else {
            EXPECT_EQ(data.size(), CAdpcmEncoder::EncodedSize(5000, type + 1u, codeSize));
            EXPECT_EQ(data[0] >> 6, static_cast<int>(codeSize - 2));
        }
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
    const std::tuple<std::shared_ptr<CSwfTag>, int, Bytes> cases[] = {
        {std::make_shared<CSwfStartSound>(7, CSwfSoundInfo{.syncFlags = 1}), 15, {7, 0, 0x10}},
        {std::make_shared<CSwfStartSound>(7, full),
         15,
         {7, 0, 0x2F, 4,    3,    2, 1, 0x0D, 0x0C, 0x0B, 0x0A,
          3, 0, 1,    0x44, 0xAC, 0, 0, 0,    0x80, 0x10, 0}},
        {std::make_shared<CSwfStartSound>(7, CSwfSoundInfo{.loopCount = 65535}),
         15,
         {7, 0, 0x04, 0xFF, 0xFF}},
        {std::make_shared<CSwfSoundStreamHead>(0x0F, 1, 44100), 18, {0x0F, 0x13, 0x44, 0xAC}},
        {std::make_shared<CSwfSoundStreamHead>(0x0A, 0, 100), 18, {0x0A, 0x12, 100, 0}},
        {std::make_shared<CSwfSoundStreamHead2>(0x0F, 2, 1, 1, 0x1234),
         45,
         {0x0F, 0x2F, 0x34, 0x12, 0, 0}},
        {std::make_shared<CSwfSoundStreamHead2>(0x06, 2, 1, 0, 10), 45, {0x06, 0x26, 10, 0, 0, 0}},
        {std::make_shared<CSwfSoundStreamHead2>(0x0A, 1, 1, 0, 5), 45, {0x0A, 0x12, 5, 0}},
        {std::make_shared<CSwfSoundStreamBlock>(block.data(), 3), 19, block},
    };
    for (const auto& [tag, code, body] : cases) {
        swfread::Tag t = ParseOne(*tag);
        EXPECT_EQ(std::tuple(t.code, t.body), std::tuple(code, body));
    }
}

// ---- MP3 -------------------------------------------------------------------------------------

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
    Bytes id3v1 = {'T', 'A', 'G'};
    id3v1.resize(128, 0xFF);
    const std::pair<Bytes, uint32_t> cases[] = {
        {clean, 5},
        // An ID3v2 tag whose body holds a sync word, junk with a false frame, a metadata frame.
        {Join({{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 6, 0xFF, 0xF3, 0x44, 0xC4, 0, 0},
               {0x00, 0xFF, 0xFB, 0x90, 0x00, 0x12, 0xFF},
               info,
               clean,
               id3v1}),
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
    const uint8_t noSync[4] = {0xFE, 0xFB, 0x90, 0x44};
    CMp3FrameHeader h;
    EXPECT_FALSE(ParseMp3FrameHeader(noSync, h));
}

} // namespace
