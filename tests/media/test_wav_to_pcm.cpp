// Re-encoding to 16-bit PCM: sources in each encoding are made with ffmpeg/sox; the output's
// header is checked byte by byte and its samples against ffmpeg's own decode of the source.
#include "media/wav_to_pcm.h"

#include "pcm_wav_check.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <utility>

using testutil::ReadFileBytes;
using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;
using testutil::WriteFileBytes;

namespace {

const char* const kUnable = "Unable to continue with wave audio conversion...";

struct RecordingSink : IMessageSink {
    std::vector<std::pair<std::string, std::string>> shown;
    void ShowMessage(const std::string& text, const std::string& caption) override {
        shown.emplace_back(text, caption);
    }
};

using mediatest::Samples;
using mediatest::U32;

void SetU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
std::string Id(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// Signal-to-noise ratio of `actual` against `reference` over their common length, in dB.
double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& actual) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(reference.size(), actual.size()); ++i) {
        signal += double(reference[i]) * reference[i];
        noise += (double(reference[i]) - actual[i]) * (double(reference[i]) - actual[i]);
    }
    return noise == 0 ? 200 : 10 * std::log10(signal / noise);
}

// Checks the fixed 44-byte layout of a written file and returns its samples.
std::vector<int16_t> CheckPcmFile(const std::string& path, int channels, int rate) {
    return mediatest::CheckPcmWav(ReadFileBytes(path), channels, rate);
}

class WavToPcmTest : public ::testing::Test {
protected:
    TempDir dir;
    RecordingSink sink;

    // A 1-second sound: 440 Hz left, 660 Hz right (stereo), encoded with codec at rate.
    std::string MakeSource(const std::string& name, const std::string& codec, int channels,
                           int rate, const std::string& extra = "") {
        const std::string path = dir.File(name);
        std::string input =
            "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=1";
        if (channels == 2) {
            input += " -f lavfi -i sine=frequency=660:sample_rate=" + std::to_string(rate) +
                     ":duration=1 -filter_complex amerge=inputs=2";
        }
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + input +
                                    " -c:a " + codec + " " + extra + " " + ShellQuote(path);
        EXPECT_EQ(RunCommand(command).exitCode, 0) << command;
        return path;
    }

    // ffmpeg's own decode of the source, converted to 16-bit at the given layout and rate.
    std::vector<int16_t> Reference(const std::string& source, int channels, int rate) {
        const std::string out = dir.File("reference.raw");
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -i " +
                                    ShellQuote(source) + " -ac " + std::to_string(channels) +
                                    " -ar " + std::to_string(rate) + " -f s16le " + ShellQuote(out);
        EXPECT_EQ(RunCommand(command).exitCode, 0) << command;
        return Samples(ReadFileBytes(out), 0);
    }

    std::string Destination() const { return dir.File("converted.wav"); }
    bool DestinationExists() const { return std::filesystem::exists(Destination()); }
};

struct EncodingCase {
    const char* codec;
    int channels;
    int rate;
    int expectedRate;
    double minSnrDb; // against ffmpeg's decode: only resampler details differ
};

class WavToPcmEncodingTest : public WavToPcmTest,
                             public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(WavToPcmEncodingTest, DecodesToSixteenBitAtSwfRate) {
    const EncodingCase c = GetParam();
    ASSERT_TRUE(dir.Ok());
    const std::string source = MakeSource("source.wav", c.codec, c.channels, c.rate);
    WavToPcmConverter converter(source, Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    EXPECT_TRUE(sink.shown.empty());
    ASSERT_TRUE(converter.IsConverted());
    EXPECT_EQ(converter.TargetFormat().samplesPerSec, uint32_t(c.expectedRate));

    const std::vector<int16_t> samples = CheckPcmFile(Destination(), c.channels, c.expectedRate);
    const std::vector<int16_t> reference = Reference(source, c.channels, c.expectedRate);
    EXPECT_EQ(converter.DestinationLength(), samples.size() * 2);
    // Resampler delay handling may differ by a few frames at the end.
    const double frames = double(samples.size()) / c.channels;
    EXPECT_NEAR(frames, double(reference.size()) / c.channels, 8);
    EXPECT_GT(SnrDb(reference, samples), c.minSnrDb);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WavToPcmEncodingTest,
                         ::testing::Values(EncodingCase{"pcm_u8", 1, 22050, 22050, 40},
                                           EncodingCase{"pcm_u8", 2, 8000, 11025, 40},
                                           EncodingCase{"pcm_s24le", 2, 44100, 44100, 60},
                                           EncodingCase{"pcm_s32le", 2, 16000, 22050, 40},
                                           EncodingCase{"pcm_f32le", 1, 11025, 11025, 60},
                                           EncodingCase{"adpcm_ms", 1, 22050, 22050, 60},
                                           EncodingCase{"adpcm_ima_wav", 2, 11025, 11025, 60},
                                           EncodingCase{"pcm_mulaw", 1, 8000, 11025, 40},
                                           EncodingCase{"pcm_alaw", 2, 22050, 22050, 60},
                                           EncodingCase{"libgsm_ms", 1, 8000, 11025, 40},
                                           EncodingCase{"pcm_u8", 2, 5512, 5512, 60}),
                         [](const ::testing::TestParamInfo<EncodingCase>& info) {
                             return std::string(info.param.codec) + "_" +
                                    std::to_string(info.param.channels) + "ch_" +
                                    std::to_string(info.param.rate);
                         });

TEST_F(WavToPcmTest, SixteenBitPcmAtSwfRateIsLeftAlone) {
    const std::string stereo = MakeSource("stereo.wav", "pcm_s16le", 2, 22050);
    const std::string mono = MakeSource("mono.wav", "pcm_s16le", 1, 44100);
    for (auto [path, toMono] : {std::pair{stereo, false}, std::pair{mono, true}}) {
        WavToPcmConverter converter(path, Destination(), &sink);
        EXPECT_EQ(converter.Convert(toMono), 1);
        EXPECT_FALSE(converter.IsConverted());
        EXPECT_FALSE(DestinationExists());
    }
    EXPECT_TRUE(sink.shown.empty());
}

// Broken sources: each fails with its message (or silently without "fmt "), leaves no file
// and does not crash.
class WavToPcmBrokenTest : public WavToPcmTest {
protected:
    std::vector<uint8_t> Source() {
        // -bitexact: no LIST chunk, so "data" follows "fmt " at offset 36.
        std::vector<uint8_t> b =
            ReadFileBytes(MakeSource("good.wav", "adpcm_ms", 1, 22050, "-bitexact"));
        EXPECT_EQ(Id(b, 12), "fmt ");
        return b;
    }

    // Converts the bytes and returns the messages shown.
    std::vector<std::string> Fail(const std::vector<uint8_t>& bytes) {
        const std::string path = dir.File("broken.wav");
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        WavToPcmConverter converter(path, Destination(), &sink);
        EXPECT_EQ(converter.Convert(false), 0);
        EXPECT_FALSE(converter.IsConverted());
        EXPECT_FALSE(DestinationExists());
        std::vector<std::string> texts;
        for (const auto& [text, caption] : sink.shown) {
            texts.push_back(text);
        }
        sink.shown.clear();
        return texts;
    }

    // Offset of the "data" chunk header (after "fmt " and "fact").
    size_t DataOffset(const std::vector<uint8_t>& b) {
        size_t at = 12;
        while (at + 8 <= b.size() && Id(b, at) != "data") {
            at += 8 + U32(b, at + 4);
        }
        EXPECT_LT(at, b.size());
        return at;
    }
};

TEST_F(WavToPcmBrokenTest, EachDamageGivesItsMessages) {
    const std::vector<uint8_t> good = Source();
    const size_t data = DataOffset(good);
    using B = std::vector<uint8_t>&;
    const std::vector<std::string> shortRead{"format tag read failed"};
    const std::vector<std::string> noRiff{
        "Error No WAVE RIFF block could be found in  file " + dir.File("broken.wav") +
        "\nInvalid wave file\nUnable to continue with wave converstion.. audio convert aborted\n"};
    auto declares = [&](const std::string& what) {
        return std::vector<std::string>{"The WAV file " + dir.File("broken.wav") + what, kUnable};
    };
    auto sound = [&](const std::string& what) {
        return std::vector<std::string>{"The sound in " + dir.File("broken.wav") + what, kUnable};
    };
    // The format chunk cut to `keep` bytes.
    auto shortFormat = [](uint32_t keep) {
        return [keep](B b) {
            b.erase(b.begin() + 20 + keep, b.begin() + 20 + U32(b, 16));
            SetU32(b, 16, keep);
            SetU32(b, 4, static_cast<uint32_t>(b.size() - 8));
        };
    };
    const std::string text = "This is a plain text file, not a sound at all.\n";
    const struct {
        const char* what;
        std::function<void(B)> damage;
        std::vector<std::string> messages;
    } cases[] = {
        {"truncated", [](B b) { b.resize(b.size() - 100); }, shortRead},
        {"huge data chunk",
         [&](B b) {
             SetU32(b, data + 4, 0xFFFFFFF0u);
             SetU32(b, 4, 0xFFFFFFFCu);
         },
         shortRead},
        {"RIFX", [](B b) { b[3] = 'X'; }, noRiff},
        {"text", [&](B b) { b.assign(text.begin(), text.end()); }, noRiff},
        // "xmt " is skipped like any unknown chunk: no format, no message.
        {"no fmt chunk", [](B b) { b[12] = 'x'; }, {}},
        {"no channels", [](B b) { b[22] = b[23] = 0; }, declares(" declares 0 channels")},
        {"rate past 768 kHz", [](B b) { SetU32(b, 24, 768001); },
         declares(" declares a sample rate above 768000 Hz")},
        {"empty fmt chunk", shortFormat(0),
         declares(" has a format chunk too short to describe its sound")},
        {"65535 channels", [](B b) { b[22] = b[23] = 0xFF; },
         sound(" has a channel count or sample rate that cannot be converted")},
        {"unknown codec",
         [](B b) {
             b[20] = 0x34;
             b[21] = 0x12;
         },
         sound(" is stored in a format that cannot be decoded (WAV format tag 0x1234)")},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        EXPECT_EQ(Fail(bytes), c.messages) << c.what;
    }
}

// The limit is checked from the duration before the destination is even created: one second
// at 11025 Hz is 22050 bytes of samples behind the 44-byte header.
TEST_F(WavToPcmTest, SizeLimitRefusesBeforeTheDestinationIsMade) {
    const std::string source = MakeSource("u8.wav", "pcm_u8", 1, 8000);
    WavToPcmConverter refused(source, dir.File("no/such/folder/out.wav"), &sink);
    refused.LimitDestination(22000);
    EXPECT_EQ(refused.Convert(false), 0);
    EXPECT_TRUE(refused.IsTooLarge());
    EXPECT_TRUE(sink.shown.empty());
    WavToPcmConverter taken(source, Destination(), &sink);
    taken.LimitDestination(22050 + 44 + 64);
    EXPECT_EQ(taken.Convert(false), 1);
    EXPECT_FALSE(taken.IsTooLarge());
}

TEST(WavToPcmNamingTest, RatesGoToTheNextSwfRate) {
    const std::pair<uint32_t, uint32_t> cases[] = {{1000, 5512},   {5512, 5512},   {5513, 11025},
                                                   {8000, 11025},  {11025, 11025}, {16000, 22050},
                                                   {22000, 22050}, {22050, 22050}, {32000, 44100},
                                                   {44100, 44100}, {48000, 44100}, {96000, 44100}};
    for (auto [in, out] : cases) {
        EXPECT_EQ(SwfPlaybackRate(in), out) << in;
    }
}

} // namespace
