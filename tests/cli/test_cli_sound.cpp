// A picture, a WAV file and a picture in one movie through the kestrova-cli program: the tags
// come in the driver's order and FFmpeg's own decoders give the sound back.
#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const std::string kCli = KESTROVA_BINARY_DIR "/src/cli/kestrova-cli";

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return samples;
}

double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double signal = 0, noise = 0;
    size_t n = std::min(reference.size(), decoded.size());
    for (size_t i = 0; i < n; ++i) {
        signal += double(reference[i]) * reference[i];
        double d = double(reference[i]) - decoded[i];
        noise += d * d;
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

class CliSound : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg") || !testutil::HaveTool("convert")) {
            GTEST_SKIP() << "ffmpeg or ImageMagick missing";
        }
        Run("convert -size 40x30 gradient:red-blue " + Q("a.png"));
        Run("convert -size 40x30 xc:green " + Q("b.bmp"));
        // A sweep at 22050 Hz stereo, 16-bit: the WAV is used as it is.
        Run("ffmpeg -v error -y -f lavfi -i "
            "'aevalsrc=0.5*sin(2*PI*(200+900*t)*t)|0.4*sin(2*PI*(300+600*t)*t):s=22050:d=1' "
            "-c:a pcm_s16le " +
            Q("tone.wav"));
        Run("ffmpeg -v error -y -i " + Q("tone.wav") + " -f s16le " + Q("tone.raw"));
        source = AsSamples(testutil::ReadFileBytes(dir.File("tone.raw")));
        ASSERT_EQ(source.size(), 22050u * 2);
    }
    std::string Q(const std::string& name) { return testutil::ShellQuote(dir.File(name)); }
    void Run(const std::string& command) {
        ASSERT_EQ(testutil::RunCommand(command).exitCode, 0) << command;
    }
    // Converts picture, sound, picture into mixed.swf with the given audio encoding index.
    swfread::Swf Convert(int compression) {
        std::string command = kCli + " -q --options " + Q("none.ini") + " -o " + Q("mixed") +
                              " --set optimizePlayback=0 --set format.wav.compression=" +
                              std::to_string(compression) + " " + Q("a.png") + " " + Q("tone.wav") +
                              " " + Q("b.bmp") + " >/dev/null";
        EXPECT_EQ(testutil::RunCommand(command).exitCode, 0) << command;
        swfread::Swf swf;
        std::string error;
        EXPECT_TRUE(swfread::ParseSwfFile(dir.File("mixed.swf"), swf, &error)) << error;
        return swf;
    }
    // The DefineSound decoded by FFmpeg's SWF demuxer and its decoder; the first audio stream
    // FFmpeg lists is the stream head, which carries no data.
    std::vector<int16_t> DecodedSound() {
        Run("ffmpeg -v error -y -i " + Q("mixed.swf") + " -map 0:a:1 -f s16le -ac 2 " +
            Q("decoded.raw"));
        return AsSamples(testutil::ReadFileBytes(dir.File("decoded.raw")));
    }
    testutil::TempDir dir;
    std::vector<int16_t> source;
};

TEST_F(CliSound, TagsFollowTheListAndUncompressedSamplesComeBackExactly) {
    swfread::Swf swf = Convert(6);
    std::vector<uint16_t> codes;
    for (const swfread::Tag& t : swf.tags) {
        codes.push_back(t.code);
    }
    // background; picture, frame, removal; stream head, sound, start, removal; picture,
    // frame, removal; end.
    EXPECT_EQ(codes, (std::vector<uint16_t>{9, 20, 2, 39, 26, 1, 28, 18, 14, 15, 28, 21, 2, 39, 26,
                                            1, 28, 0}));
    EXPECT_EQ(swf.header.frameCount, 2);
    std::vector<int16_t> decoded = DecodedSound();
    ASSERT_EQ(decoded.size(), source.size());
    EXPECT_EQ(decoded, source);
}

TEST_F(CliSound, FourBitAdpcmDecodesCloseToTheSource) {
    swfread::Swf swf = Convert(0); // index 0 gives 4-bit ADPCM
    const swfread::Tag* sound = swfread::TagsWithCode(swf.tags, 14).at(0);
    EXPECT_EQ(sound->body[2] >> 4, 1) << "ADPCM";
    std::vector<int16_t> decoded = DecodedSound();
    // FFmpeg may round the length up to whole packets.
    ASSERT_GE(decoded.size(), source.size());
    EXPECT_GT(SnrDb(source, decoded), 20.0);
}

} // namespace
