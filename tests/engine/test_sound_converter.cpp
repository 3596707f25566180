// Sound entries: WAV and MP3 files become event sounds; the size limit and its questions;
// the code-size table; the samples decode back.
#include "engine_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace enginetest;

// 16-bit PCM WAV of a 440 Hz tone; returns the sample bytes.
std::vector<uint8_t> MakeWav(const std::string& path, uint32_t rate, uint16_t channels,
                             uint32_t frames) {
    auto put = [](std::vector<uint8_t>& b, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < frames; ++i) {
        auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
        for (uint16_t c = 0; c < channels; ++c) {
            put(data, static_cast<uint16_t>(v), 2);
        }
    }
    const std::string riff = "RIFF", wave = "WAVEfmt ", dataId = "data";
    std::vector<uint8_t> file(riff.begin(), riff.end());
    put(file, 36 + static_cast<uint32_t>(data.size()), 4);
    file.insert(file.end(), wave.begin(), wave.end());
    put(file, 16, 4);
    put(file, 1, 2); // PCM
    put(file, channels, 2);
    put(file, rate, 4);
    put(file, rate * channels * 2, 4);
    put(file, channels * 2, 2);
    put(file, 16, 2);
    file.insert(file.end(), dataId.begin(), dataId.end());
    put(file, static_cast<uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    testutil::WriteFileBytes(path, file);
    return data;
}

class SoundTest : public TempFolderTest {
protected:
    FormatOptions& Wav() { return opts.formats[opts.FindFormat(FormatWav)]; }
};

TEST_F(SoundTest, SingleMovieOfPictureSoundPictureHasTheSoundBetweenThePictures) {
    opts.outputMode = OutputSingle;
    Wav().compression = 6; // uncompressed
    std::vector<uint8_t> samples = MakeWav(dir / "tone.wav", 22050, 1, 2205);
    rec.savePath = dir / "mixed.swf";
    List list({dir / "p1.bmp", dir / "tone.wav", dir / "p2.bmp"});
    Convert(engine, rec, list, opts);
    EXPECT_TRUE(rec.messages.empty()) << rec.messages[0];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].result, 1) << i;
    }
    swfread::Swf swf = Parse(dir / "mixed.swf");
    EXPECT_EQ(Codes(swf), Concat({{SetBackgroundColor},
                                  kPicture,
                                  {ShowFrame, RemoveObject2},
                                  {SoundStreamHead, DefineSound, StartSound, RemoveObject2},
                                  kPicture,
                                  {ShowFrame, RemoveObject2, End}}));
    // The sound starts the sound it defines and its samples are the source's, unchanged.
    const Tag& sound = swf.tags[8];
    const Tag& start = swf.tags[9];
    EXPECT_EQ(U16(start.body, 0), U16(sound.body, 0));
    EXPECT_EQ(start.body[2], 0x10) << "SyncNoMultiple, nothing else";
    EXPECT_EQ(sound.body[2] >> 4, 0) << "uncompressed";
    EXPECT_EQ(sound.body[2] & 0x0F, (2 << 2) | (1 << 1) | 0) << "22 kHz, 16-bit, mono";
    EXPECT_EQ(sound.body[3] | sound.body[4] << 8, 2205);
    EXPECT_EQ(swfread::Bytes(sound.body.begin() + 7, sound.body.end()), samples);
    EXPECT_TRUE(TempFolderEmpty()) << "a 16-bit PCM source needs no converted copy";
    EXPECT_EQ(rec.events[6], "state " + (dir / "tone.wav").substr((dir / "tone.wav").size() - 25) +
                                 " converting to PCM wave data...");
}

TEST_F(SoundTest, CodeSizeFollowsTheCompressionTable) {
    MakeWav(dir / "tone.wav", 11025, 2, 5000);
    struct Case {
        int compression;
        int format;       // 0 uncompressed, 1 ADPCM
        int codeSizeBits; // first two bits of ADPCM data: code size - 2
    };
    for (Case c : {Case{0, 1, 2}, Case{1, 1, 3}, Case{2, 1, 0}, Case{3, 1, 1}, Case{4, 1, 2},
                   Case{5, 1, 3}, Case{6, 0, -1}}) {
        Wav().compression = c.compression;
        List list({dir / "tone.wav"});
        Convert(engine, rec, list, opts);
        swfread::Swf swf = Parse(dir / "tone.swf");
        ASSERT_EQ(Codes(swf), (std::vector<uint16_t>{SetBackgroundColor, SoundStreamHead,
                                                     DefineSound, StartSound, ShowFrame, End}));
        const Tag& sound = swf.tags[2];
        EXPECT_EQ(sound.body[2] >> 4, c.format) << c.compression;
        EXPECT_EQ(sound.body[2] & 1, 1) << "stereo";
        if (c.codeSizeBits >= 0) {
            EXPECT_EQ(sound.body[7] >> 6, c.codeSizeBits) << c.compression;
        }
        // The stream head announces stereo in its fixed ADPCM 5.5 kHz 16-bit format.
        EXPECT_EQ(swf.tags[1].body[1], 0x13);
    }
}

TEST_F(SoundTest, TooLargeSourceAsksAndSkipsOnNo) {
    MakeWav(dir / "big.wav", 22050, 2, 1000);
    List list({dir / "big.wav"});
    list[0].size = 30000001;
    Convert(engine, rec, list, opts);
    ASSERT_EQ(rec.questions.size(), 1u);
    EXPECT_EQ(rec.questions[0].second, "File To Large...");
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Skipping file " + dir / "big.wav"}));
    EXPECT_EQ(list[0].result, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "big.swf")) << "a skipped entry writes nothing";

    // Yes converts to mono; exactly 30000000 bytes asks nothing.
    rec.messages.clear();
    rec.questions.clear();
    rec.answer = true;
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.questions.size(), 1u);
    EXPECT_EQ(list[0].result, 1);
    swfread::Swf swf = Parse(dir / "big.swf");
    EXPECT_EQ(swf.tags[2].body[2] & 1, 0) << "mono";
    EXPECT_TRUE(TempFolderEmpty()) << "the converted copy is removed once read";

    rec.questions.clear();
    list[0].size = 30000000;
    Convert(engine, rec, list, opts);
    EXPECT_TRUE(rec.questions.empty());
}

// Sizes are bounded before anything is written: a small WAV declared at 1 Hz would resample
// to hundreds of megabytes, an MP3 over 30 MB is not read at all.
TEST_F(SoundTest, OversizedSoundsAreRefusedBeforeWriting) {
    MakeWav(dir / "slow.wav", 1, 1, 20000); // 20000 s: 220 MB at 5512 Hz
    MakeWav(dir / "big.mp3", 22050, 1, 10);
    std::filesystem::resize_file(dir / "big.mp3", 30000001);
    const std::pair<std::string, std::string> cases[] = {
        {"slow.wav", "WAVE File Still To Large (> 30 MB), Skipping file " + dir / "slow.wav"},
        {"big.mp3", "MP3 file too large (more than 30 MB), skipping file " + dir / "big.mp3"},
    };
    for (const auto& [name, message] : cases) {
        rec.messages.clear();
        List list({dir / name});
        Convert(engine, rec, list, opts);
        EXPECT_EQ(list[0].result, 0) << name;
        EXPECT_EQ(rec.messages, std::vector<std::string>{message});
        EXPECT_TRUE(TempFolderEmpty());
    }
}

TEST_F(SoundTest, BrokenSoundIsReportedAndAddsNothing) {
    testutil::WriteFileBytes(dir / "bad.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    List list({dir / "bad.wav"});
    Convert(engine, rec, list, opts);
    EXPECT_EQ(list[0].result, 0);
    EXPECT_EQ(rec.messages,
              (std::vector<std::string>{"There was an error while converting this audio file"}))
        << "a WAV without a format chunk is not skipped silently";
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.swf"));
    testutil::WriteFileBytes(dir / "junk.mp3", std::vector<uint8_t>(4000, 0x55));
    List mp3({dir / "junk.mp3"});
    rec.messages.clear();
    Convert(engine, rec, mp3, opts);
    EXPECT_EQ(mp3[0].result, 0);
    EXPECT_EQ(rec.messages,
              (std::vector<std::string>{"There was an error while converting this audio file"}));
}

class Mp3Test : public SoundTest {
protected:
    void MakeMp3(const std::string& path, int rate) {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg missing";
        }
        ASSERT_EQ(testutil::RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:"
                                       "sample_rate=" +
                                       std::to_string(rate) +
                                       ":duration=1 -c:a libmp3lame -b:a 64k " +
                                       testutil::ShellQuote(path))
                      .exitCode,
                  0);
    }
};

TEST_F(Mp3Test, FramesAreEmbeddedBehindAStreamHead2) {
    MakeMp3(dir / "tone.mp3", 22050);
    List list({dir / "tone.mp3"});
    Convert(engine, rec, list, opts);
    EXPECT_EQ(list[0].result, 1);
    swfread::Swf swf = Parse(dir / "tone.swf");
    ASSERT_EQ(Codes(swf), (std::vector<uint16_t>{SetBackgroundColor, SoundStreamHead2, DefineSound,
                                                 StartSound, ShowFrame, End}));
    const Tag& sound = swf.tags[2];
    EXPECT_EQ(sound.body[2] >> 4, 2) << "MP3";
    EXPECT_EQ((sound.body[2] >> 2) & 3, 2) << "22 kHz";
    uint32_t samples = sound.body[3] | sound.body[4] << 8 | sound.body[5] << 16;
    EXPECT_EQ(samples % 576, 0u);
    EXPECT_GE(samples, 22050u);
    EXPECT_EQ(U16(sound.body, 7), 0) << "SeekSamples";
    EXPECT_EQ(sound.body[9], 0xFF) << "an MPEG frame follows";
}

TEST_F(Mp3Test, UnlabelledRatesGoThroughThePcmPath) {
    MakeMp3(dir / "tone48.mp3", 48000);
    Wav().compression = 6;
    List list({dir / "tone48.mp3"});
    Convert(engine, rec, list, opts);
    EXPECT_EQ(list[0].result, 1);
    swfread::Swf swf = Parse(dir / "tone48.swf");
    ASSERT_EQ(Codes(swf), (std::vector<uint16_t>{SetBackgroundColor, SoundStreamHead, DefineSound,
                                                 StartSound, ShowFrame, End}));
    EXPECT_EQ(swf.tags[2].body[2] >> 4, 0) << "re-encoded uncompressed";
    EXPECT_EQ((swf.tags[2].body[2] >> 2) & 3, 3) << "44.1 kHz";
    EXPECT_NE(std::find_if(rec.events.begin(), rec.events.end(),
                           [](const std::string& e) {
                               return e.find("MP3 at 48000 Hz") != std::string::npos;
                           }),
              rec.events.end());
    EXPECT_TRUE(TempFolderEmpty());
}

} // namespace
