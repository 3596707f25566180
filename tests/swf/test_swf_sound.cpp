// Sound tags made from the WAV reader's and the MP3 scanner's results; StartSound, the stream
// heads and the stream block; the MP3 scanner on files made by FFmpeg.
#include "sound_test_util.h"
#include "support/test_util.h"
#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf/wav_reader.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using swftest::Bytes;
using swftest::ParseOne;

// DefineSound's body: u16 id, the format byte, u32 sample count, then the data. The size bit
// comes from the WAV even for ADPCM, which the encoder turns into 16-bit codes.
TEST(DefineSound, FormatByteAndDataFromTheWavReader) {
    struct Case {
        uint8_t rateCode, size, type;
        uint32_t codeSize;
        uint8_t formatByte;
    } cases[] = {
        {2, 1, 0, 0, 0x0A}, {3, 1, 1, 0, 0x0F}, {1, 0, 0, 0, 0x04}, {2, 1, 0, 4, 0x1A},
        {2, 1, 1, 2, 0x1B}, {1, 0, 0, 3, 0x14}, {3, 1, 1, 5, 0x1F},
    };
    const uint32_t frames = 5000; // more than one ADPCM packet
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.formatByte));
        CWaveSound wave{
            .rateCode = c.rateCode, .size = c.size, .type = c.type, .sampleCount = frames};
        wave.data.resize(size_t{frames} << (c.size + c.type));
        for (size_t i = 0; i < wave.data.size(); ++i) {
            wave.data[i] = static_cast<uint8_t>(i * 37 + i / 50);
        }
        const Bytes samples = wave.data;
        CSwfDefineSound sound(0x0102, SoundFromWave(std::move(wave), c.codeSize));
        swfread::Tag t = ParseOne(sound);
        EXPECT_EQ(t.code, 14);
        const uint32_t channels = c.type + 1u;
        const size_t dataSize = c.codeSize == 0
                                    ? samples.size()
                                    : CAdpcmEncoder::EncodedSize(frames, channels, c.codeSize);
        EXPECT_EQ(Bytes(t.body.begin(), t.body.begin() + 7),
                  (Bytes{0x02, 0x01, c.formatByte, 0x88, 0x13, 0, 0}));
        ASSERT_EQ(t.body.size(), 7 + dataSize);
        if (c.codeSize == 0) {
            EXPECT_EQ(Bytes(t.body.begin() + 7, t.body.end()), samples);
        } else {
            EXPECT_EQ(t.body[7] >> 6, static_cast<int>(c.codeSize - 2)) << "code size first";
        }
    }
}

TEST(StartSound, SoundInfoFields) {
    const std::pair<CSwfSoundInfo, Bytes> cases[] = {
        {{.syncFlags = 1}, {0x07, 0x00, 0x10}},
        {{.syncFlags = 2,
          .inPoint = 0x01020304,
          .outPoint = 0x0A0B0C0D,
          .loopCount = 3,
          .envelope = std::vector<CSwfSoundEnvelope>{{44100, 0x8000, 0x10}}},
         {0x07, 0x00, 0x2F, 0x04, 0x03, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A,
          0x03, 0x00, 0x01, 0x44, 0xAC, 0x00, 0x00, 0x00, 0x80, 0x10, 0x00}},
        {{.loopCount = 65535}, {0x07, 0x00, 0x04, 0xFF, 0xFF}},
        {{.envelope = std::vector<CSwfSoundEnvelope>{}}, {0x07, 0x00, 0x08, 0x00}},
    };
    for (const auto& [info, body] : cases) {
        swfread::Tag t = ParseOne(CSwfStartSound(7, info));
        EXPECT_EQ(t.code, 15);
        EXPECT_EQ(t.body, body);
    }
}

// SoundStreamHead has a fixed ADPCM stream format with the stereo flag; SoundStreamHead2 takes
// the playback byte's rate and adds LatencySeek for MP3 only.
TEST(SoundStreamTags, BodiesByteForByte) {
    const Bytes block = {1, 2, 3};
    const std::tuple<std::shared_ptr<CSwfTag>, int, Bytes> cases[] = {
        {std::make_shared<CSwfSoundStreamHead>(0x0F, 1, 44100), 18, {0x0F, 0x13, 0x44, 0xAC}},
        {std::make_shared<CSwfSoundStreamHead>(0x0A, 0, 100), 18, {0x0A, 0x12, 100, 0}},
        {std::make_shared<CSwfSoundStreamHead2>(0x0F, 2, 1, 1, 0x1234),
         45,
         {0x0F, 0x2F, 0x34, 0x12, 0x00, 0x00}},
        {std::make_shared<CSwfSoundStreamHead2>(0x06, 2, 1, 0, 10),
         45,
         {0x06, 0x26, 10, 0, 0x00, 0x00}},
        {std::make_shared<CSwfSoundStreamHead2>(0x0A, 1, 1, 0, 5), 45, {0x0A, 0x12, 5, 0}},
        {std::make_shared<CSwfSoundStreamBlock>(block.data(), 3), 19, block},
    };
    for (const auto& [tag, code, body] : cases) {
        swfread::Tag t = ParseOne(*tag);
        EXPECT_EQ(std::tuple(t.code, t.body), std::tuple(code, body));
    }
}

// ---- MP3 -------------------------------------------------------------------------------------

// Encodes a one-second sine with LAME; extra holds further ffmpeg output options.
Bytes MakeMp3(int rate, int channels, const std::string& extra = "") {
    testutil::TempDir dir;
    std::string path = dir.File("tone.mp3");
    std::string cmd = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:"
                      "sample_rate=" +
                      std::to_string(rate) + ":duration=1 -ac " + std::to_string(channels) +
                      " -c:a libmp3lame " + extra + " " + testutil::ShellQuote(path) +
                      " </dev/null";
    EXPECT_EQ(testutil::RunCommand(cmd).exitCode, 0) << cmd;
    return testutil::ReadFileBytes(path);
}

bool ReadMp3(const Bytes& bytes, CMp3Frames& frames) {
    FILE* file = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);
    bool found = ReadMp3File(file, frames);
    fclose(file);
    return found;
}

TEST(Mp3Sound, RatesSwfCanLabelBecomeFormatTwo) {
    if (!testutil::HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    struct Case {
        int rate, channels;
        uint8_t formatByte;
        uint32_t samplesPerFrame;
    } cases[] = {
        {44100, 2, 0x2F, 1152}, // MPEG-1
        {22050, 1, 0x2A, 576},  // MPEG-2
        {11025, 2, 0x27, 576},  // MPEG-2.5
        {48000, 1, 0, 1152},    // rates without a code
        {24000, 1, 0, 576},     {8000, 1, 0, 576},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        CMp3Frames frames;
        ASSERT_TRUE(ReadMp3(MakeMp3(c.rate, c.channels), frames));
        EXPECT_EQ(frames.first.sampleRate, uint32_t(c.rate));
        // About one second: LAME adds its delay and padding, at most a few frames.
        EXPECT_EQ(frames.sampleCount, frames.frameCount * c.samplesPerFrame);
        EXPECT_GE(frames.sampleCount, uint32_t(c.rate));
        EXPECT_LE(frames.sampleCount, uint32_t(c.rate) + 4 * c.samplesPerFrame);
        Bytes expected = {0, 0}; // SeekSamples, then the frames
        expected.insert(expected.end(), frames.data.begin(), frames.data.end());
        std::optional<CSwfSoundData> sound = SoundFromMp3(std::move(frames));
        ASSERT_EQ(sound.has_value(), c.formatByte != 0);
        if (sound) {
            swfread::Tag t = ParseOne(CSwfDefineSound(1, *sound));
            EXPECT_EQ(t.body[2], c.formatByte);
            EXPECT_EQ(Bytes(t.body.begin() + 7, t.body.end()), expected);
        }
    }
    CMp3Frames none;
    EXPECT_FALSE(ReadMp3(soundtest::PcmWave(1, 22050, 16, Bytes(1000, 0)), none));
}

// ID3 tags, a metadata frame, junk with false sync words and frames of another stream are
// left out; a frame cut short and frames with invalid headers are not frames.
TEST(Mp3Frames, OnlyTheAudioFramesOfTheFirstStreamAreCollected) {
    if (!testutil::HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    Bytes clean = MakeMp3(22050, 2, "-write_xing 0 -id3v2_version 0");
    Bytes tagged = MakeMp3(22050, 2, "-write_id3v1 1 -metadata title=Tone");
    CMp3Frames a, b, c, cut;
    ASSERT_TRUE(CollectMp3Frames(clean.data(), clean.size(), a));
    ASSERT_TRUE(CollectMp3Frames(tagged.data(), tagged.size(), b));
    EXPECT_EQ(a.data, clean);
    EXPECT_EQ(b.data, clean);
    CMp3FrameHeader first, second;
    ASSERT_TRUE(ParseMp3FrameHeader(clean.data(), first));
    ASSERT_TRUE(ParseMp3FrameHeader(clean.data() + first.frameLength, second));
    const size_t twoFrames = first.frameLength + second.frameLength;
    Bytes dirty{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 6, 0xFF, 0xF3, 0x44, 0xC4, 0, 0};
    dirty.insert(dirty.end(), {0x00, 0xFF, 0xFB, 0x90, 0x00, 0x12, 0xFF});
    dirty.insert(dirty.end(), clean.begin(), clean.begin() + twoFrames);
    dirty.insert(dirty.end(), {0xFF, 0xF3, 0x44, 0xC4, 0x01}); // 24000 Hz: another stream
    dirty.insert(dirty.end(), clean.begin() + twoFrames, clean.end());
    ASSERT_TRUE(CollectMp3Frames(dirty.data(), dirty.size(), c));
    EXPECT_EQ(std::tuple(c.data, c.frameCount), std::tuple(clean, a.frameCount));
    ASSERT_TRUE(CollectMp3Frames(clean.data(), clean.size() - 10, cut));
    EXPECT_EQ(cut.frameCount, a.frameCount - 1);
    for (uint8_t bitRateBits : {0x00, 0xF0}) { // free format, bit rate index 15
        Bytes broken = clean;
        for (size_t pos = 0; pos + 4 <= broken.size();) {
            CMp3FrameHeader h;
            ASSERT_TRUE(ParseMp3FrameHeader(broken.data() + pos, h));
            broken[pos + 2] = static_cast<uint8_t>((broken[pos + 2] & 0x0F) | bitRateBits);
            pos += h.frameLength;
        }
        CMp3Frames none;
        EXPECT_FALSE(CollectMp3Frames(broken.data(), broken.size(), none));
    }
}

TEST(Mp3Frames, HeaderFields) {
    struct Case {
        uint8_t b1, b2, b3;
        uint32_t version, sampleRate, bitRate, length, samples;
        bool mono;
    } cases[] = {
        {0xFB, 0x90, 0x44, 10, 44100, 128000, 417, 1152, false},
        {0xFB, 0x92, 0xC4, 10, 44100, 128000, 418, 1152, true}, // padded
        {0xFB, 0x94, 0x00, 10, 48000, 128000, 384, 1152, false},
        {0xFA, 0x18, 0xC0, 10, 32000, 32000, 144, 1152, true}, // CRC-protected
        {0xF3, 0x80, 0x00, 20, 22050, 64000, 208, 576, false},
        {0xE3, 0x40, 0xC4, 25, 11025, 32000, 208, 576, true},
        {0xE3, 0x18, 0xC0, 25, 8000, 8000, 72, 576, true},
    };
    for (const Case& c : cases) {
        uint8_t bytes[4] = {0xFF, c.b1, c.b2, c.b3};
        CMp3FrameHeader h;
        ASSERT_TRUE(ParseMp3FrameHeader(bytes, h)) << int(c.b1) << " " << int(c.b2);
        EXPECT_EQ(std::tuple(h.version, h.sampleRate, h.bitRate, h.frameLength, h.samplesPerFrame,
                             h.IsMono()),
                  std::tuple(c.version, c.sampleRate, c.bitRate, c.length, c.samples, c.mono));
    }
    const uint8_t rejected[][4] = {
        {0xFF, 0xFB, 0x00, 0x44}, // free format
        {0xFF, 0xFB, 0xF0, 0x44}, // bit rate index 15
        {0xFF, 0xFB, 0x9C, 0x44}, // sample rate index 3
        {0xFF, 0xEB, 0x90, 0x44}, // reserved version
        {0xFF, 0xFD, 0x90, 0x44}, // layer II
        {0xFF, 0xFB, 0x90, 0x46}, // reserved emphasis
        {0xFE, 0xFB, 0x90, 0x44}, // no sync
    };
    for (const auto& bytes : rejected) {
        CMp3FrameHeader h;
        EXPECT_FALSE(ParseMp3FrameHeader(bytes, h)) << int(bytes[1]) << " " << int(bytes[2]);
    }
}

} // namespace
