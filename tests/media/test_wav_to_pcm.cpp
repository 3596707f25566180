// Re-encoding to 16-bit PCM: sources in each encoding are made with ffmpeg; the output's header
// is checked byte by byte and its samples against ffmpeg's own decode of the source.
#include "media/wav_to_pcm.h"

#include "pcm_wav_check.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

namespace kestrova::test {

namespace {

using testutil::ShellQuote;

void SetU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

class WavToPcmTest : public ::testing::Test {
protected:
    // A 1-second sound, 440 Hz left and 660 Hz right, encoded with codec at rate.
    std::string MakeSource(const std::string& codec, int channels, int rate,
                           const std::string& extra = "") {
        const std::string sine =
            " -f lavfi -i sine=sample_rate=" + std::to_string(rate) + ":duration=1:frequency=";
        const std::string command =
            "ffmpeg -nostdin -loglevel error -y" + sine + "440" +
            (channels == 2 ? sine + "660 -filter_complex amerge=inputs=2" : "") + " -c:a " + codec +
            " " + extra + " " + ShellQuote(dir.File("source.wav"));
        EXPECT_EQ(testutil::RunCommand(command).exitCode, 0) << command;
        return dir.File("source.wav");
    }
    // ffmpeg's own decode of the source at the given layout and rate.
    std::vector<int16_t> Reference(const std::string& source, int channels, int rate) {
        const std::string out = dir.File("reference.raw");
        EXPECT_EQ(testutil::RunCommand("ffmpeg -nostdin -loglevel error -y -i " +
                                       ShellQuote(source) + " -ac " + std::to_string(channels) +
                                       " -ar " + std::to_string(rate) + " -f s16le " +
                                       ShellQuote(out))
                      .exitCode,
                  0);
        return mediatest::Samples(testutil::ReadFileBytes(out), 0);
    }
    std::string Destination() const { return dir.File("converted.wav"); }

    testutil::TempDir dir;
};

// Each encoding decodes to 16-bit PCM at the next rate a movie plays, close to ffmpeg's own
// decode (only resampler details differ); 16-bit PCM at such a rate is left as it is.
TEST_F(WavToPcmTest, EachEncodingDecodesToSixteenBitAtTheMovieRate) {
    const struct {
        const char* codec;
        int channels, rate, expectedRate;
        double minSnrDb; // 0: left alone
    } cases[] = {
        {"pcm_u8", 1, 22050, 22050, 40},        {"pcm_u8", 2, 8000, 11025, 40},
        {"pcm_s24le", 2, 44100, 44100, 60},     {"pcm_s32le", 2, 16000, 22050, 40},
        {"pcm_f32le", 1, 11025, 11025, 60},     {"adpcm_ms", 1, 22050, 22050, 60},
        {"adpcm_ima_wav", 2, 11025, 11025, 60}, {"pcm_mulaw", 1, 8000, 11025, 40},
        {"pcm_alaw", 2, 22050, 22050, 60},      {"libgsm_ms", 1, 8000, 11025, 40},
        {"pcm_u8", 2, 5512, 5512, 60},          {"pcm_s16le", 2, 22050, 22050, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate));
        std::filesystem::remove(Destination());
        const std::string source = MakeSource(c.codec, c.channels, c.rate);
        WavToPcmConverter converter(source, Destination());
        ASSERT_EQ(converter.Convert(false), 1);
        EXPECT_TRUE(converter.Messages().empty());
        ASSERT_EQ(converter.IsConverted(), c.minSnrDb > 0);
        if (c.minSnrDb == 0) {
            EXPECT_FALSE(std::filesystem::exists(Destination()));
            continue;
        }
        EXPECT_EQ(converter.TargetFormat().samplesPerSec, uint32_t(c.expectedRate));
        const std::vector<int16_t> samples = mediatest::CheckPcmWav(
            testutil::ReadFileBytes(Destination()), c.channels, c.expectedRate);
        const std::vector<int16_t> reference = Reference(source, c.channels, c.expectedRate);
        EXPECT_EQ(converter.DestinationLength(), samples.size() * 2);
        EXPECT_NEAR(double(samples.size()), double(reference.size()), 8.0 * c.channels);
        double signal = 0, noise = 0;
        for (size_t i = 0; i < std::min(reference.size(), samples.size()); ++i) {
            signal += double(reference[i]) * reference[i];
            noise += (double(reference[i]) - samples[i]) * (double(reference[i]) - samples[i]);
        }
        EXPECT_GT(10 * std::log10(signal / std::max(noise, 1.0)), c.minSnrDb);
    }
}

// Broken sources: each fails with its messages (or silently without "fmt ") and leaves no file.
TEST_F(WavToPcmTest, EachDamageGivesItsMessages) {
    const std::vector<uint8_t> good =
        testutil::ReadFileBytes(MakeSource("adpcm_ms", 1, 22050, "-bitexact"));
    size_t data = 12; // the "data" chunk, after "fmt " and "fact"
    while (data + 8 < good.size() &&
           std::string(good.begin() + data, good.begin() + data + 4) != "data") {
        data += 8 + mediatest::U32(good, data + 4);
    }
    ASSERT_LT(data + 8, good.size());
    const std::string path = dir.File("broken.wav");
    using B = std::vector<uint8_t>&;
    const std::vector<std::string> shortRead{"format tag read failed"};
    const std::vector<std::string> noRiff{
        "Error No WAVE RIFF block could be found in  file " + path +
        "\nInvalid wave file\nUnable to continue with wave converstion.. audio convert aborted\n"};
    auto said = [&](const std::string& start, const std::string& what) {
        return std::vector<std::string>{start + path + what,
                                        "Unable to continue with wave audio conversion..."};
    };
    const struct {
        const char* what;
        std::function<void(B)> damage;
        std::vector<std::string> messages;
    } cases[] = {
        {"truncated", [](B b) { b.resize(b.size() - 100); }, shortRead},
        {"huge data chunk",
         [&](B b) { SetU32(b, data + 4, 0xFFFFFFF0u), SetU32(b, 4, 0xFFFFFFFCu); }, shortRead},
        {"RIFX", [](B b) { b[3] = 'X'; }, noRiff},
        // "xmt " is skipped like any unknown chunk: no format, no message.
        {"no fmt chunk", [](B b) { b[12] = 'x'; }, {}},
        {"no channels", [](B b) { b[22] = b[23] = 0; },
         said("The WAV file ", " declares 0 channels")},
        {"rate past 768 kHz", [](B b) { SetU32(b, 24, 768001); },
         said("The WAV file ", " declares a sample rate above 768000 Hz")},
        {"65535 channels", [](B b) { b[22] = b[23] = 0xFF; },
         said("The sound in ", " has a channel count or sample rate that cannot be converted")},
        {"unknown codec", [](B b) { b[20] = 0x34, b[21] = 0x12; },
         said("The sound in ",
              " is stored in a format that cannot be decoded (WAV format tag 0x1234)")},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));
        WavToPcmConverter converter(path, Destination());
        EXPECT_EQ(converter.Convert(false), 0) << c.what;
        EXPECT_FALSE(std::filesystem::exists(Destination())) << c.what;
        EXPECT_EQ(converter.Messages(), c.messages) << c.what;
    }
}

// The limit is checked from the duration before the destination is even created: one second
// at 11025 Hz is 22050 bytes of samples behind the 44-byte header.
TEST_F(WavToPcmTest, SizeLimitRefusesBeforeTheDestinationIsMade) {
    const std::string source = MakeSource("pcm_u8", 1, 8000);
    WavToPcmConverter refused(source, dir.File("no/such/folder/out.wav"));
    refused.LimitDestination(22000);
    EXPECT_EQ(refused.Convert(false), 0);
    EXPECT_TRUE(refused.IsTooLarge());
    EXPECT_TRUE(refused.Messages().empty());
    WavToPcmConverter taken(source, Destination());
    taken.LimitDestination(22050 + 44 + 64);
    EXPECT_EQ(taken.Convert(false), 1);
    EXPECT_FALSE(taken.IsTooLarge());
}

TEST(WavToPcmRates, RatesGoToTheNextMovieRate) {
    const std::pair<uint32_t, uint32_t> cases[] = {{1000, 5512},   {5512, 5512},   {5513, 11025},
                                                   {11025, 11025}, {16000, 22050}, {22050, 22050},
                                                   {32000, 44100}, {44100, 44100}, {96000, 44100}};
    for (auto [in, out] : cases) {
        EXPECT_EQ(SwfPlaybackRate(in), out) << in;
    }
}

} // namespace

} // namespace kestrova::test
