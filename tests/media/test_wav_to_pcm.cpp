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

const char* const kNotPossible = "acmStreamOpenAudio Compression Manager Error, "
                                 "ACMERR_NOTPOSSIBLE, Please install latest version of Windows "
                                 "Media Player";
const char* const kInvalParam = "acmStreamOpenAudio Compression Manager Error, "
                                "MMSYSERR_INVALPARAM, Please install latest version of Windows "
                                "Media Player";
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
                                           EncodingCase{"pcm_s24le", 1, 48000, 44100, 40},
                                           EncodingCase{"pcm_s32le", 2, 16000, 22050, 40},
                                           EncodingCase{"pcm_f32le", 1, 11025, 11025, 60},
                                           EncodingCase{"pcm_f32le", 2, 32000, 44100, 40},
                                           EncodingCase{"adpcm_ms", 1, 22050, 22050, 60},
                                           EncodingCase{"adpcm_ms", 2, 48000, 44100, 40},
                                           EncodingCase{"adpcm_ima_wav", 2, 11025, 11025, 60},
                                           EncodingCase{"adpcm_ima_wav", 1, 16000, 22050, 40},
                                           EncodingCase{"pcm_mulaw", 1, 8000, 11025, 40},
                                           EncodingCase{"pcm_mulaw", 2, 44100, 44100, 60},
                                           EncodingCase{"pcm_alaw", 2, 22050, 22050, 60},
                                           EncodingCase{"pcm_alaw", 1, 48000, 44100, 40},
                                           EncodingCase{"libgsm_ms", 1, 8000, 11025, 40},
                                           EncodingCase{"pcm_s16le", 1, 48000, 44100, 40},
                                           EncodingCase{"pcm_u8", 2, 5512, 5512, 60}),
                         [](const ::testing::TestParamInfo<EncodingCase>& info) {
                             return std::string(info.param.codec) + "_" +
                                    std::to_string(info.param.channels) + "ch_" +
                                    std::to_string(info.param.rate);
                         });

TEST_F(WavToPcmTest, ResampledSineKeepsItsPitchAndLength) {
    // Independent of ffmpeg's resampler: an 8000 Hz 440 Hz sine must come out as a 440 Hz sine
    // of one second at 11025 Hz.
    const std::string source = MakeSource("sine.wav", "pcm_s16le", 1, 8000);
    WavToPcmConverter converter(source, Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    const std::vector<int16_t> s = CheckPcmFile(Destination(), 1, 11025);
    EXPECT_NEAR(double(s.size()), 11025, 16);
    // Least-squares fit of a 440 Hz sinusoid over the middle of the sound.
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0, yy = 0;
    for (size_t i = 1000; i + 1000 < s.size(); ++i) {
        const double w = 2 * M_PI * 440 * double(i) / 11025;
        const double sn = std::sin(w), cs = std::cos(w), y = s[i];
        ss += sn * sn, cc += cs * cs, sc += sn * cs, ys += y * sn, yc += y * cs, yy += y * y;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    const double fitted = a * ys + b * yc;
    EXPECT_GT(10 * std::log10(fitted / (yy - fitted)), 50);
}

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

TEST_F(WavToPcmTest, MonoOnRequestAveragesTheChannels) {
    for (const char* codec : {"pcm_s24le", "adpcm_ima_wav"}) {
        SCOPED_TRACE(codec);
        const std::string source = MakeSource("stereo.wav", codec, 2, 22050);
        WavToPcmConverter both(source, dir.File("both.wav"), &sink);
        ASSERT_EQ(both.Convert(false), 1);
        WavToPcmConverter mixed(source, Destination(), &sink);
        ASSERT_EQ(mixed.Convert(true), 1);
        ASSERT_TRUE(mixed.IsConverted());
        const std::vector<int16_t> lr = CheckPcmFile(dir.File("both.wav"), 2, 22050);
        const std::vector<int16_t> m = CheckPcmFile(Destination(), 1, 22050);
        ASSERT_EQ(m.size() * 2, lr.size());
        int worst = 0;
        for (size_t i = 0; i < m.size(); ++i) {
            worst = std::max(worst, std::abs(m[i] - (lr[2 * i] + lr[2 * i + 1]) / 2));
        }
        EXPECT_LE(worst, 1);
        // Destinations are created new, never replaced.
        std::filesystem::remove(dir.File("both.wav"));
        std::filesystem::remove(Destination());
    }
}

TEST_F(WavToPcmTest, MoreThanTwoChannelsMixDownToStereo) {
    const std::string source = MakeSource("surround.wav", "pcm_s16le", 1, 22050, "-ac 6");
    WavToPcmConverter converter(source, Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    const std::vector<int16_t> s = CheckPcmFile(Destination(), 2, 22050);
    EXPECT_EQ(s.size(), 2u * 22050);
}

TEST_F(WavToPcmTest, Mp3FilesDecodeAndResample) {
    const std::string source = MakeSource("song.mp3", "libmp3lame", 2, 48000, "-b:a 128k");
    WavToPcmConverter converter(source, Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    ASSERT_TRUE(converter.IsConverted());
    const std::vector<int16_t> s = CheckPcmFile(Destination(), 2, 44100);
    const std::vector<int16_t> reference = Reference(source, 2, 44100);
    EXPECT_NEAR(double(s.size()), double(reference.size()), 16);
    EXPECT_GT(SnrDb(reference, s), 40);
}

TEST_F(WavToPcmTest, ChunksAreFoundInAnyOrderPastOddSizedOnes) {
    // "data", then an odd-sized chunk with its pad byte, then "fmt ".
    const std::vector<uint8_t> b =
        ReadFileBytes(MakeSource("u8.wav", "pcm_u8", 1, 11025, "-bitexact"));
    ASSERT_EQ(Id(b, 36), "data");
    std::vector<uint8_t> moved(b.begin(), b.begin() + 12);
    moved.insert(moved.end(), b.begin() + 36, b.end());
    const uint8_t junk[] = {'j', 'u', 'n', 'k', 3, 0, 0, 0, 1, 2, 3, 0};
    moved.insert(moved.end(), std::begin(junk), std::end(junk));
    moved.insert(moved.end(), b.begin() + 12, b.begin() + 36);
    SetU32(moved, 4, static_cast<uint32_t>(moved.size() - 8));
    ASSERT_TRUE(WriteFileBytes(dir.File("moved.wav"), moved));
    WavToPcmConverter converter(dir.File("moved.wav"), Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    EXPECT_EQ(CheckPcmFile(Destination(), 1, 11025).size(), 11025u);
}

// ffmpeg writing to a pipe cannot go back to fill in the sizes: it leaves 0xFFFFFFFF in both,
// and the data is taken to the end of the file.
TEST_F(WavToPcmTest, StreamedWavTakesItsDataToTheEnd) {
    const std::string path = dir.File("streamed.wav");
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=8000:duration=1 "
                         "-c:a pcm_u8 -f wav - | cat > " +
                         ShellQuote(path))
                  .exitCode,
              0);
    const std::vector<uint8_t> b = ReadFileBytes(path);
    ASSERT_EQ(U32(b, 4), 0xFFFFFFFFu);
    WavToPcmConverter converter(path, Destination(), &sink);
    ASSERT_EQ(converter.Convert(false), 1);
    EXPECT_NEAR(double(CheckPcmFile(Destination(), 1, 11025).size()), 11025, 16);
}

TEST_F(WavToPcmTest, MissingDataChunkGivesAnEmptySound) {
    std::vector<uint8_t> b = ReadFileBytes(MakeSource("u8.wav", "pcm_u8", 1, 11025, "-bitexact"));
    ASSERT_EQ(Id(b, 36), "data");
    b.resize(36);
    SetU32(b, 4, 28);
    ASSERT_TRUE(WriteFileBytes(dir.File("nodata.wav"), b));
    WavToPcmConverter converter(dir.File("nodata.wav"), Destination(), &sink);
    EXPECT_EQ(converter.Convert(false), 1);
    EXPECT_TRUE(converter.IsConverted());
    EXPECT_TRUE(CheckPcmFile(Destination(), 1, 11025).empty());
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
        {"huge fmt chunk", [](B b) { SetU32(b, 16, 0x7FFFFFF0u); }, shortRead},
        {"RIFX", [](B b) { b[3] = 'X'; }, noRiff},
        {"text", [&](B b) { b.assign(text.begin(), text.end()); }, noRiff},
        {"empty", [](B b) { b.clear(); }, noRiff},
        {"0xFF bytes", [](B b) { b.assign(5000, 0xFF); }, noRiff},
        // "xmt " is skipped like any unknown chunk: no format, no message.
        {"no fmt chunk", [](B b) { b[12] = 'x'; }, {}},
        {"no channels", [](B b) { b[22] = b[23] = 0; }, declares(" declares 0 channels")},
        {"no rate", [](B b) { SetU32(b, 24, 0); }, declares(" declares a sample rate of 0 Hz")},
        {"rate past 768 kHz", [](B b) { SetU32(b, 24, 768001); },
         declares(" declares a sample rate above 768000 Hz")},
        {"empty fmt chunk", shortFormat(0),
         declares(" has a format chunk too short to describe its sound")},
        {"short fmt chunk", shortFormat(6),
         declares(" has a format chunk too short to describe its sound")},
        {"65535 channels", [](B b) { b[22] = b[23] = 0xFF; }, {kInvalParam, kUnable}},
        {"unknown codec",
         [](B b) {
             b[20] = 0x34;
             b[21] = 0x12;
         },
         {kNotPossible, kUnable}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        EXPECT_EQ(Fail(bytes), c.messages) << c.what;
    }
    // A device has no end to search to.
    std::filesystem::create_symlink("/dev/zero", dir.File("zero.wav"));
    WavToPcmConverter zero(dir.File("zero.wav"), Destination(), &sink);
    EXPECT_EQ(zero.Convert(false), 0);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first.rfind("Error No WAVE RIFF block could be found", 0), 0u);
}

TEST_F(WavToPcmTest, MissingSourceAndUnwritableDestinationAreReported) {
    const std::string missing = dir.File("missing.wav");
    WavToPcmConverter absent(missing, Destination(), &sink);
    EXPECT_EQ(absent.Convert(false), 0);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, "Error opening file " + missing +
                                       "\n\nUnable to continue with wave converstion.. audio "
                                       "convert aborted\n");
    EXPECT_EQ(sink.shown[0].second, "");

    sink.shown.clear();
    const std::string source = MakeSource("u8.wav", "pcm_u8", 1, 11025);
    const std::string unwritable = dir.File("no/such/folder/out.wav");
    WavToPcmConverter blocked(source, unwritable, &sink);
    EXPECT_EQ(blocked.Convert(false), 0);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first,
              "Error, Unable to Open Destination file for writing " + unwritable +
                  "\n Make sure the disk is not write protected and the file is not in "
                  "use\nUnable to continue with wave audio conversion...");
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

TEST(WavToPcmNamingTest, CopyGoesToTheTemporaryDirectory) {
    EXPECT_EQ(PcmCopyPath("/tmp/kv/", "/home/u/music/song.wav"), "/tmp/kv/kestrova_pcm_song.wav");
    // The extracted sound of a movie lives in the temporary directory itself.
    EXPECT_NE(PcmCopyPath("/tmp/", "/tmp/Audio3.wav"), "/tmp/Audio3.wav");
    EXPECT_EQ(PcmCopyPath("/tmp/", "/tmp/Audio3.wav"), "/tmp/kestrova_pcm_Audio3.wav");
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
