// Sound entries: the code-size table, the size limit and its questions, broken files, and MP3 rates
// the format cannot label. (Tag order and samples are checked through the command line.)
#include "engine_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace enginetest;

// A 440 Hz tone made with ffmpeg: a 16-bit PCM WAV unless another codec is given.
void MakeTone(const std::string& path, uint32_t rate, uint16_t channels, double seconds,
              const std::string& codec = "pcm_s16le") {
    ASSERT_EQ(
        testutil::RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=" +
                             std::to_string(rate) + " -t " + std::to_string(seconds) + " -ac " +
                             std::to_string(channels) + " -c:a " + codec + " -fflags +bitexact " +
                             testutil::ShellQuote(path))
            .exitCode,
        0);
}

// A silent 16-bit mono PCM WAV of any declared rate, written byte by byte (ffmpeg refuses
// absurd rates such as 1 Hz).
void MakeSilentWav(const std::string& path, uint32_t rate, uint32_t frames) {
    std::vector<uint8_t> b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + 2 * frames, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(2 * rate, 4), put(2, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(2 * frames, 4);
    b.resize(b.size() + 2 * size_t{frames});
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class SoundTest : public TempFolderTest {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg missing";
        }
        TempFolderTest::SetUp();
    }
    FormatOptions& Wav() { return opts.formats[opts.FindFormat(FormatWav)]; }
};

TEST_F(SoundTest, CodeSizeFollowsTheCompressionTable) {
    MakeTone(dir / "tone.wav", 11025, 2, 0.45);
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
    const std::string state = "state " + (dir / "tone.wav").substr((dir / "tone.wav").size() - 25) +
                              " converting to PCM wave data...";
    EXPECT_NE(std::find(rec.events.begin(), rec.events.end(), state), rec.events.end());
}

TEST_F(SoundTest, TooLargeSourceAsksAndSkipsOnNo) {
    MakeTone(dir / "big.wav", 22050, 2, 0.05);
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
    MakeSilentWav(dir / "slow.wav", 1, 20000); // 20000 s: 220 MB at 5512 Hz
    MakeSilentWav(dir / "big.mp3", 22050, 10);
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

TEST_F(SoundTest, UnlabelledMp3RatesGoThroughThePcmPath) {
    MakeTone(dir / "tone48.mp3", 48000, 1, 1, "libmp3lame");
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
