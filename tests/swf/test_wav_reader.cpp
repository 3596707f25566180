// RIFF/WAVE reader: chunk walk, rate codes, sample counts and broken files.
#include "swf/wav_reader.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

namespace {

using swftest::Bytes;
using swftest::Join;
using swftest::Pattern;

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

Bytes Riff(const std::vector<Bytes>& chunks, int64_t declaredSize = -1) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return Chunk("RIFF", body, declaredSize);
}

bool Read(const Bytes& file, CWaveSound& out) {
    FILE* f = swftest::FileWith(file);
    const bool ok = ReadWaveFile(f, out);
    fclose(f);
    return ok;
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
        SCOPED_TRACE(c.frames);
        CWaveSound wave;
        ASSERT_TRUE(Read(c.file, wave));
        EXPECT_EQ(std::tuple(wave.rateCode, wave.size, wave.type, wave.sampleCount),
                  std::tuple(c.rateCode, c.size, c.type, c.frames));
        EXPECT_EQ(wave.waveFormatTag, 1u);
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

// Every prefix of a file with several chunks fails cleanly, except those that still hold
// the whole data chunk.
TEST(WavReader, EveryTruncationFailsCleanly) {
    Bytes file = Riff({Chunk("LIST", Pattern(9)), Fmt(1, 2, 44100, 16), Chunk("data", Pattern(40)),
                       Chunk("junk", Pattern(5))});
    const size_t dataEnd = file.size() - 14; // "junk", its size, 5 bytes and a pad byte
    for (size_t n = 0; n < file.size(); ++n) {
        CWaveSound wave;
        EXPECT_EQ(Read(Bytes(file.begin(), file.begin() + n), wave), n >= dataEnd) << n;
    }
}

} // namespace
