// RIFF/WAVE reader: chunk walk, rate codes, sample counts and broken files.
#include "sound_test_util.h"
#include "support/test_util.h"
#include "swf/wav_reader.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using soundtest::Bytes;
using soundtest::Chunk;
using soundtest::FormatChunk;
using soundtest::PcmWave;
using soundtest::RiffWave;

// Reads the bytes through a real file, as the DefineSound does.
bool Read(const Bytes& file, CWaveSound& out) {
    testutil::TempDir dir;
    std::string path = dir.File("sound.wav");
    EXPECT_TRUE(testutil::WriteFileBytes(path, file));
    FILE* f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    bool ok = ReadWaveFile(f, out);
    fclose(f);
    return ok;
}

Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        b[i] = static_cast<uint8_t>(i * 31 + 7);
    }
    return b;
}

TEST(WavReader, RateCodesByThousandsOfHertz) {
    struct Case {
        uint32_t rate;
        int code;
    } cases[] = {{0, -1},     {4999, -1},  {5000, 0},   {9999, 0},  {10000, 1},
                 {14999, 1},  {15000, -1}, {19999, -1}, {20000, 2}, {24999, 2},
                 {25000, -1}, {39999, -1}, {40000, 3},  {44999, 3}, {45000, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(WaveRateCode(c.rate), c.code) << c.rate;
    }
}

TEST(WavReader, ReadsFormatAndCountsSampleFrames) {
    struct Case {
        uint32_t channels, rate, bits, dataBytes;
        uint8_t rateCode, size, type;
        uint32_t sampleCount;
    } cases[] = {
        {1, 11025, 8, 1001, 1, 0, 0, 1001}, {2, 44100, 16, 176400, 3, 1, 1, 44100},
        {1, 22050, 16, 999, 2, 1, 0, 499}, // a trailing half sample is not a frame, nor data
        {1, 22050, 16, 1, 2, 1, 0, 0},      {2, 5512, 8, 10, 0, 0, 1, 5},
        {1, 22000, 16, 40, 2, 1, 0, 20}, // labelled 22 kHz, not resampled
    };
    for (const Case& c : cases) {
        Bytes data = Pattern(c.dataBytes);
        CWaveSound wave;
        ASSERT_TRUE(Read(PcmWave(c.channels, c.rate, c.bits, data), wave)) << c.rate;
        EXPECT_EQ(wave.format, 1);
        EXPECT_EQ(wave.rateCode, c.rateCode);
        EXPECT_EQ(wave.size, c.size);
        EXPECT_EQ(wave.type, c.type);
        EXPECT_EQ(wave.sampleCount, c.sampleCount);
        EXPECT_EQ(wave.waveFormatTag, 1u);
        const size_t frameBytes = c.channels * (c.bits / 8);
        EXPECT_EQ(wave.data, Bytes(data.begin(), data.begin() + c.sampleCount * frameBytes));
    }
}

TEST(WavReader, WalksPastOtherChunks) {
    Bytes data = Pattern(64);
    // LIST and fact chunks are skipped, odd-sized ones with their pad byte (a LIST of 7
    // bytes as tagging tools write it); only the first data chunk counts.
    Bytes file = RiffWave({Chunk("LIST", Pattern(7)), FormatChunk(1, 1, 44100, 16),
                           Chunk("fact", Bytes(4, 0)), Chunk("odd ", Pattern(3)),
                           Chunk("data", data), Chunk("data", Pattern(8))});
    CWaveSound wave;
    ASSERT_TRUE(Read(file, wave));
    EXPECT_EQ(wave.data, data);
    EXPECT_EQ(wave.sampleCount, 32u);
}

TEST(WavReader, ReadsFilesMadeBySox) {
    if (!testutil::HaveTool("sox")) {
        GTEST_SKIP() << "sox not installed";
    }
    testutil::TempDir dir;
    std::string path = dir.File("tone.wav");
    auto r = testutil::RunCommand("sox -n -r 22050 -c 2 -b 16 " + testutil::ShellQuote(path) +
                                  " synth 0.5 sine 440 2>/dev/null");
    ASSERT_EQ(r.exitCode, 0);
    CWaveSound wave;
    ASSERT_TRUE(Read(testutil::ReadFileBytes(path), wave));
    EXPECT_EQ(wave.rateCode, 2);
    EXPECT_EQ(wave.size, 1);
    EXPECT_EQ(wave.type, 1);
    EXPECT_EQ(wave.sampleCount, 11025u);
    EXPECT_EQ(wave.data.size(), 44100u);
}

TEST(WavReader, RejectsWhatItCannotTake) {
    Bytes data = Pattern(100);
    Bytes good = PcmWave(1, 22050, 16, data);
    Bytes rifx = good;
    rifx[3] = 'X';
    Bytes notWave = good;
    notWave[8] = 'A';
    Bytes truncated(good.begin(), good.end() - 1);
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty file", {}},
        {"RIFX (big-endian) file", rifx},
        {"not WAVE", notWave},
        {"truncated data chunk", truncated},
        {"data before fmt", RiffWave({Chunk("data", data), FormatChunk(1, 1, 22050, 16)})},
        {"no fmt chunk", RiffWave({Chunk("data", data)})},
        {"no data chunk", RiffWave({FormatChunk(1, 1, 22050, 16)})},
        {"zero channels", RiffWave({FormatChunk(1, 0, 22050, 16), Chunk("data", data)})},
        {"six channels", RiffWave({FormatChunk(1, 6, 22050, 16), Chunk("data", data)})},
        {"48000 Hz", PcmWave(1, 48000, 16, data)},
        {"fmt cut short", RiffWave({Chunk("fmt ", Bytes{1, 0, 1, 0, 0x22})})},
        {"data size near 4 GB",
         RiffWave({FormatChunk(1, 1, 22050, 16), Chunk("data", data, 0xFFFFFFF0)})},
        {"chunk size that wraps the position",
         RiffWave(
             {FormatChunk(1, 1, 22050, 16), Chunk("junk", data, 0xFFFFFFF8), Chunk("data", data)})},
        {"data beyond the RIFF size",
         RiffWave({FormatChunk(1, 1, 22050, 16), Chunk("data", data)}, 4 + 24)},
    };
    for (const Case& c : cases) {
        CWaveSound wave;
        EXPECT_FALSE(Read(c.file, wave)) << c.what;
        EXPECT_TRUE(wave.data.empty()) << c.what;
    }
}

TEST(WavReader, AbsurdRiffSizeStillFindsData) {
    Bytes data = Pattern(20);
    CWaveSound wave;
    EXPECT_TRUE(
        Read(RiffWave({FormatChunk(1, 2, 11025, 8), Chunk("data", data)}, 0xFFFFFFFF), wave));
    EXPECT_EQ(wave.data, data);
}

// A streamed file's data runs to the end of the file in whole frames, whichever size was
// left unfilled; a size that fits is still taken as declared.
TEST(WavReader, StreamedFileTakesItsDataToTheEnd) {
    const Bytes data = Pattern(41); // 20 frames of 16-bit mono and a stray byte
    auto streamed = [&](int64_t dataSize, int64_t riffSize) {
        Bytes file =
            RiffWave({FormatChunk(1, 1, 22050, 16), Chunk("data", data, dataSize)}, riffSize);
        file.pop_back(); // no pad byte: the writer did not know the size was odd
        return file;
    };
    const struct {
        int64_t dataSize, riffSize;
        size_t taken;
    } cases[] = {{0xFFFFFFFF, 0xFFFFFFFF, 40},
                 {0xFFFFFFFF, -1, 40},
                 {1000, 0xFFFFFFFF, 40},
                 {10, 0xFFFFFFFF, 10}};
    for (const auto& c : cases) {
        CWaveSound wave;
        ASSERT_TRUE(Read(streamed(c.dataSize, c.riffSize), wave)) << c.dataSize;
        EXPECT_EQ(wave.data, Bytes(data.begin(), data.begin() + c.taken));
        EXPECT_EQ(wave.sampleCount, c.taken / 2);
    }
}

TEST(WavReader, KeepsFormatTagOfCompressedFiles) {
    for (uint32_t tag : {2u, 6u, 7u, 0x11u, 0xFFFEu}) {
        CWaveSound wave;
        EXPECT_FALSE(
            Read(RiffWave({FormatChunk(tag, 2, 22050, 4), Chunk("data", Pattern(50))}), wave));
        EXPECT_EQ(wave.waveFormatTag, tag);
    }
}

// Every prefix of a file with several chunks fails cleanly, except those that still hold
// the whole data chunk.
TEST(WavReader, EveryTruncationFailsCleanly) {
    Bytes data = Pattern(40);
    Bytes file = RiffWave({Chunk("LIST", Pattern(9)), FormatChunk(1, 2, 44100, 16),
                           Chunk("data", data), Chunk("junk", Pattern(5))});
    size_t dataEnd = file.size() - 14; // "junk", its size, 5 bytes and a pad byte
    for (size_t n = 0; n < file.size(); ++n) {
        CWaveSound wave;
        EXPECT_EQ(Read(Bytes(file.begin(), file.begin() + n), wave), n >= dataEnd) << n;
    }
}

} // namespace
