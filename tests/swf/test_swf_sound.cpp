// Sound tags: DefineSound from WAV (raw and ADPCM), from samples and from MP3; StartSound,
// the stream heads and the stream block. Bodies are read back with the test-side reader and
// the sound data is decoded with libavcodec.
#include "sound_test_util.h"
#include "support/swf_reader.h"
#include "support/test_util.h"
#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using soundtest::Bytes;
using swftest::ParseOne;

// An anonymous temporary file holding the given bytes, open for reading from the start.
struct OpenFile {
    explicit OpenFile(const Bytes& bytes) : file(tmpfile()) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        rewind(file);
    }
    ~OpenFile() { fclose(file); }
    FILE* file;
};

// DefineSound body: u16 id, format byte, u32 sample count, sound data.
struct DefineSoundBody {
    uint16_t id = 0;
    uint8_t formatByte = 0;
    uint32_t sampleCount = 0;
    Bytes data;
};

DefineSoundBody ReadDefineSound(CSwfTag& tag) {
    swfread::Tag t = ParseOne(tag);
    EXPECT_EQ(t.code, 14);
    swfread::BitReader r(t.body);
    DefineSoundBody out;
    out.id = r.U16();
    out.formatByte = r.U8();
    out.sampleCount = r.U32();
    out.data = r.Take(r.Remaining());
    EXPECT_FALSE(r.Overrun());
    return out;
}

// Code size 0 keeps the WAV's samples; 2 to 5 give ADPCM. The encoder is checked against
// FFmpeg's decoder in test_adpcm.cpp; here the tags must label the data correctly (the size
// bit from the WAV, even for 8-bit ADPCM input) and carry it unchanged, whether built from a
// WAV file or, for ADPCM, from samples in memory.
TEST(DefineSoundWave, FormatByteAndData) {
    struct Case {
        uint32_t channels, rate, bits, codeSize;
        uint8_t formatByte;
    } cases[] = {
        {1, 22050, 16, 0, 0x0A}, {2, 44100, 16, 0, 0x0F}, {1, 11025, 8, 0, 0x04},
        {2, 5512, 8, 0, 0x01},   {1, 22050, 16, 4, 0x1A}, {2, 22050, 16, 2, 0x1B},
        {1, 11025, 8, 3, 0x14},  {2, 44100, 16, 5, 0x1F},
    };
    const uint32_t frames = 10000; // more than two ADPCM packets
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.formatByte));
        Bytes data(frames * c.channels * c.bits / 8);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i * 37 + i / 50);
        }
        OpenFile in(soundtest::PcmWave(c.channels, c.rate, c.bits, data));
        ClearIds();
        CSwfDefineSoundWave fromFile(in.file, c.codeSize);
        ASSERT_FALSE(fromFile.HasFailed());
        EXPECT_EQ(fromFile.GetSoundFlags(), c.formatByte & 0x0F);
        std::vector<CSwfTag*> tags{&fromFile};
        Bytes expected = data;
        std::unique_ptr<CSwfDefineSoundAdpcm> fromSamples;
        if (c.codeSize != 0) {
            fromSamples = std::make_unique<CSwfDefineSoundAdpcm>(
                (c.formatByte >> 2) & 3, (c.formatByte >> 1) & 1, c.formatByte & 1, frames,
                data.data(), c.codeSize);
            tags.push_back(fromSamples.get());
            CAdpcmEncoder encoder(c.formatByte & 0x0F, c.codeSize);
            expected.clear();
            encoder.Encode(data.data(), frames, expected);
            encoder.Flush(expected);
        }
        for (size_t t = 0; t < tags.size(); ++t) {
            DefineSoundBody body = ReadDefineSound(*tags[t]);
            EXPECT_EQ(body.id, t + 1);
            EXPECT_EQ(body.formatByte, c.formatByte);
            EXPECT_EQ(body.sampleCount, frames);
            EXPECT_EQ(body.data, expected);
        }
    }
}

TEST(DefineSoundWave, FailsWithoutUsableInput) {
    Bytes data(100, 0x80);
    {
        OpenFile in(soundtest::RiffWave(
            {soundtest::FormatChunk(2, 1, 22050, 4), soundtest::Chunk("data", data)}));
        CSwfDefineSoundWave sound(in.file, 0);
        EXPECT_TRUE(sound.HasFailed());
        EXPECT_EQ(sound.GetWaveFormatTag(), 2u); // Microsoft ADPCM
        EXPECT_TRUE(sound.GetSoundData().empty());
    }
    {
        OpenFile in(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'});
        CSwfDefineSoundWave sound(in.file, 4);
        EXPECT_TRUE(sound.HasFailed());
        EXPECT_EQ(sound.GetWaveFormatTag(), 0u);
    }
    CSwfDefineSoundWave noFile(nullptr, 0);
    EXPECT_TRUE(noFile.HasFailed());
    for (uint32_t codeSize : {1u, 6u}) {
        OpenFile in(soundtest::PcmWave(1, 22050, 16, data));
        CSwfDefineSoundWave sound(in.file, codeSize);
        EXPECT_TRUE(sound.HasFailed()) << codeSize;
    }
}

TEST(StartSound, SoundInfoFields) {
    CSwfStartSound plain(7, new CSwfSoundInfo(1, 0, 0, 0, 0, 0, 0, 0, 0, nullptr));
    EXPECT_EQ(ParseOne(plain).code, 15);
    EXPECT_EQ(ParseOne(plain).body, (Bytes{0x07, 0x00, 0x10}));

    CSwfStartSound full(0x1234, new CSwfSoundInfo(2, 1, 1, 1, 1, 0x01020304, 0x0A0B0C0D, 3, 1,
                                                  new CSwfSoundEnvelope(44100, 0x8000, 0x10)));
    EXPECT_EQ(ParseOne(full).body, (Bytes{0x34, 0x12, 0x2F, // SyncStop, all four flags
                                          0x04, 0x03, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A, // in, out
                                          0x03, 0x00,                                     // loops
                                          0x01, 0x44, 0xAC, 0x00, 0x00, 0x00, 0x80, 0x10, 0x00}));

    CSwfStartSound loopsOnly(1, new CSwfSoundInfo(0, 0, 1, 0, 0, 0, 0, 65535, 0, nullptr));
    EXPECT_EQ(ParseOne(loopsOnly).body, (Bytes{0x01, 0x00, 0x04, 0xFF, 0xFF}));
}

// SoundStreamHead has a fixed ADPCM stream format with the stereo flag; SoundStreamHead2 takes
// the playback byte's rate and adds LatencySeek for MP3 only.
TEST(SoundStreamHead, BodiesByteForByte) {
    CSwfSoundStreamHead stereo(0x0F, 1, 44100), mono(0x0A, 0, 100);
    CSwfSoundStreamHead2 mp3(0x0F, 2, 1, 1, 0x1234), mp3Mono(0x06, 2, 1, 0, 10);
    CSwfSoundStreamHead2 adpcm(0x0A, 1, 1, 0, 5);
    EXPECT_EQ(ParseOne(stereo).code, 18);
    EXPECT_EQ(ParseOne(mp3).code, 45);
    EXPECT_EQ(stereo.GetId(), 0);
    const std::pair<CSwfTag*, Bytes> cases[] = {
        {&stereo, {0x0F, 0x13, 0x44, 0xAC}},
        {&mono, {0x0A, 0x12, 100, 0}},
        {&mp3, {0x0F, 0x2F, 0x34, 0x12, 0x00, 0x00}},
        {&mp3Mono, {0x06, 0x26, 10, 0, 0x00, 0x00}},
        {&adpcm, {0x0A, 0x12, 5, 0}},
    };
    for (const auto& [tag, body] : cases) {
        EXPECT_EQ(ParseOne(*tag).body, body);
    }
}

TEST(SoundStreamBlock, CarriesTheCallersBytes) {
    Bytes data(100);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i);
    }
    CSwfSoundStreamBlock block(data.data(), static_cast<uint32_t>(data.size()));
    swfread::Tag t = ParseOne(block);
    EXPECT_EQ(t.code, 19);
    EXPECT_TRUE(t.longHeader);
    EXPECT_EQ(t.body, data);
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

bool HaveFfmpeg() {
    static bool have = testutil::HaveTool("ffmpeg");
    return have;
}

TEST(DefineSoundMp3, FramesDecodeToTheDeclaredSampleCount) {
    if (!HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    struct Case {
        int rate, channels;
        uint8_t formatByte;
        uint32_t samplesPerFrame;
    } cases[] = {
        {44100, 2, 0x2F, 1152}, // MPEG-1
        {22050, 1, 0x2A, 576},  // MPEG-2
        {11025, 1, 0x26, 576},  // MPEG-2.5
        {11025, 2, 0x27, 576},
    };
    for (const Case& c : cases) {
        OpenFile in(MakeMp3(c.rate, c.channels));
        CSwfDefineSoundMp3 sound(in.file);
        ASSERT_FALSE(sound.HasFailed()) << c.rate;
        EXPECT_EQ(sound.GetSampleRate(), uint32_t(c.rate));
        DefineSoundBody body = ReadDefineSound(sound);
        EXPECT_EQ(body.formatByte, c.formatByte);
        EXPECT_EQ(body.sampleCount, sound.GetMp3FrameCount() * c.samplesPerFrame);
        // About one second: LAME adds its delay and padding, at most a few frames.
        EXPECT_GE(body.sampleCount, uint32_t(c.rate));
        EXPECT_LE(body.sampleCount, uint32_t(c.rate) + 4 * c.samplesPerFrame);
        ASSERT_GE(body.data.size(), 2u);
        EXPECT_EQ(body.data[0], 0); // SeekSamples
        EXPECT_EQ(body.data[1], 0);
        auto decoded = soundtest::DecodeMp3Frames(body.data.data() + 2, body.data.size() - 2);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_EQ(decoded.Frames(), body.sampleCount) << c.rate;
    }
}

TEST(DefineSoundMp3, TagsJunkAndMetadataFrameAreLeftOut) {
    if (!HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    Bytes clean = MakeMp3(22050, 2, "-write_xing 0 -id3v2_version 0");
    Bytes tagged =
        MakeMp3(22050, 2, "-write_id3v1 1 -metadata title=Tone"); // ID3v2, Info frame and ID3v1
    ASSERT_EQ(Bytes(tagged.end() - 128, tagged.end() - 125), (Bytes{'T', 'A', 'G'}));
    CMp3Frames a, b;
    ASSERT_TRUE(CollectMp3Frames(clean.data(), clean.size(), a));
    ASSERT_TRUE(CollectMp3Frames(tagged.data(), tagged.size(), b));
    EXPECT_EQ(a.data, clean);
    EXPECT_EQ(b.data, clean);

    // Junk with false sync words before the first frame and between the second and third
    // frames, and an ID3v2 tag whose body holds a sync word.
    CMp3FrameHeader first, second;
    ASSERT_TRUE(ParseMp3FrameHeader(clean.data(), first));
    ASSERT_TRUE(ParseMp3FrameHeader(clean.data() + first.frameLength, second));
    const size_t twoFrames = first.frameLength + second.frameLength;
    Bytes dirty{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 6, 0xFF, 0xF3, 0x44, 0xC4, 0, 0};
    dirty.insert(dirty.end(), {0x00, 0xFF, 0xFB, 0x90, 0x00, 0x12, 0xFF});
    dirty.insert(dirty.end(), clean.begin(), clean.begin() + twoFrames);
    dirty.insert(dirty.end(), {0xFF, 0xF3, 0x44, 0xC4, 0x01}); // 24000 Hz: another stream
    dirty.insert(dirty.end(), clean.begin() + twoFrames, clean.end());
    CMp3Frames c;
    ASSERT_TRUE(CollectMp3Frames(dirty.data(), dirty.size(), c));
    EXPECT_EQ(c.data, clean);
    EXPECT_EQ(c.frameCount, a.frameCount);
}

TEST(DefineSoundMp3, BrokenAndFreeFormatFramesAreRejected) {
    if (!HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    Bytes clean = MakeMp3(44100, 1, "-write_xing 0 -id3v2_version 0");
    CMp3Frames all;
    ASSERT_TRUE(CollectMp3Frames(clean.data(), clean.size(), all));

    // A last frame cut short is dropped.
    CMp3Frames cut;
    ASSERT_TRUE(CollectMp3Frames(clean.data(), clean.size() - 10, cut));
    EXPECT_EQ(cut.frameCount, all.frameCount - 1);
    EXPECT_EQ(cut.sampleCount, (all.frameCount - 1) * 1152);

    // Every header marked free format (bit rate index 0) or with a reserved field: no frame.
    auto withHeaders = [&](uint8_t andMask2, uint8_t orMask2, uint8_t orMask1) {
        Bytes b = clean;
        for (size_t pos = 0; pos + 4 <= b.size();) {
            CMp3FrameHeader h;
            EXPECT_TRUE(ParseMp3FrameHeader(b.data() + pos, h));
            b[pos + 1] |= orMask1;
            b[pos + 2] = static_cast<uint8_t>((b[pos + 2] & andMask2) | orMask2);
            pos += h.frameLength;
        }
        return b;
    };
    for (const Bytes& broken : {withHeaders(0x0F, 0x00, 0),       // free format
                                withHeaders(0x0F, 0xF0, 0),       // bit rate index 15
                                withHeaders(0xF3, 0x0C, 0),       // sample rate index 3
                                withHeaders(0xFF, 0x00, 0x06)}) { // layer I
        CMp3Frames none;
        EXPECT_FALSE(CollectMp3Frames(broken.data(), broken.size(), none));
        OpenFile in(broken);
        CSwfDefineSoundMp3 sound(in.file);
        EXPECT_TRUE(sound.HasFailed());
        EXPECT_FALSE(sound.HasUnsupportedRate());
    }
}

TEST(DefineSoundMp3, RatesSwfCannotLabelAreReported) {
    if (!HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    for (int rate : {48000, 24000, 8000}) { // MPEG-1, MPEG-2 and MPEG-2.5
        OpenFile in(MakeMp3(rate, 1));
        CSwfDefineSoundMp3 sound(in.file);
        EXPECT_TRUE(sound.HasFailed()) << rate;
        EXPECT_TRUE(sound.HasUnsupportedRate()) << rate;
        EXPECT_EQ(sound.GetSampleRate(), uint32_t(rate));
        EXPECT_TRUE(sound.GetSoundData().empty());
    }
    OpenFile wav(soundtest::PcmWave(1, 22050, 16, Bytes(1000, 0)));
    CSwfDefineSoundMp3 notMp3(wav.file);
    EXPECT_TRUE(notMp3.HasFailed());
    EXPECT_FALSE(notMp3.HasUnsupportedRate());
    EXPECT_EQ(notMp3.GetSampleRate(), 0u);
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
        EXPECT_EQ(h.version, c.version);
        EXPECT_EQ(h.sampleRate, c.sampleRate);
        EXPECT_EQ(h.bitRate, c.bitRate);
        EXPECT_EQ(h.frameLength, c.length);
        EXPECT_EQ(h.samplesPerFrame, c.samples);
        EXPECT_EQ(h.IsMono(), c.mono);
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
