// Sound entries: the code-size table, the size limit and its question, broken files, and MP3
// rates the format cannot label. (Tag order and samples are checked through the command line.)
#include "engine_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

class SoundTest : public EngineTest {
protected:
    // A 440 Hz tone: a 16-bit PCM WAV unless another codec is given.
    std::string Tone(const std::string& name, int rate, int channels, double seconds,
                     const std::string& codec = "pcm_s16le") {
        return Made(name, Ffmpeg("sine=frequency=440:sample_rate=" + std::to_string(rate) + " -t " +
                                 std::to_string(seconds) + " -ac " + std::to_string(channels) +
                                 " -c:a " + codec));
    }
};

TEST_F(SoundTest, CodeSizeFollowsTheCompressionTable) {
    const std::string path = Tone("tone.wav", 11025, 2, 0.45);
    struct Case {
        int compression, format, codeSizeBits; // format 0 uncompressed, 1 ADPCM
    };
    for (Case c : {Case{0, 1, 2}, Case{1, 1, 3}, Case{2, 1, 0}, Case{3, 1, 1}, Case{4, 1, 2},
                   Case{5, 1, 3}, Case{6, 0, -1}}) {
        Format(FormatWav).compression = c.compression;
        ASSERT_EQ(ConvertOne(path), 1);
        const swfread::Bytes sound = Parse(File("tone.swf")).tags.at(2).body;
        EXPECT_EQ(sound[2] >> 4, c.format) << c.compression;
        EXPECT_EQ(sound[2] & 1, 1) << "stereo";
        EXPECT_EQ(c.codeSizeBits < 0 || sound[7] >> 6 == c.codeSizeBits, true) << c.compression;
    }
    EXPECT_TRUE(
        rec.Saw("state " + path.substr(path.size() - 25) + " converting to PCM wave data..."));
}

TEST_F(SoundTest, TooLargeSourceAsksAndSkipsOnNo) {
    List list({Tone("big.wav", 22050, 2, 0.05)});
    list[0].size = 30000001;
    Convert(list);
    EXPECT_EQ(rec.captions, std::vector<std::string>{"File To Large..."});
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Skipping file " + File("big.wav")}));
    EXPECT_FALSE(std::filesystem::exists(File("big.swf"))) << "a skipped entry writes nothing";

    // Yes converts to mono.
    rec.answer = true;
    Convert(list);
    EXPECT_EQ(list[0].result, 1);
    EXPECT_EQ(Parse(File("big.swf")).tags[2].body[2] & 1, 0) << "mono";
    EXPECT_TRUE(TempEmpty()) << "the converted copy is removed once read";
    list[0].size = 30000000; // asks nothing
    Convert(list);
    EXPECT_EQ(rec.captions.size(), 2u);
}

// An MP3 over 30 MB is refused unread, and broken files say so.
TEST_F(SoundTest, OversizedAndBrokenSoundsAreRefusedWithTheirMessage) {
    Made("big.mp3", "truncate -s 30000001 ");
    Made("bad.wav", "printf 'RIFF\\004\\000\\000\\000WAVE' >");
    Made("junk.mp3", "head -c 4000 /dev/zero | tr '\\0' U >");
    const std::string kBroken = "There was an error while converting this audio file";
    const std::pair<std::string, std::string> cases[] = {
        {"big.mp3", "MP3 file too large (more than 30 MB), skipping file " + File("big.mp3")},
        {"bad.wav", kBroken}, // a WAV without a format chunk is not skipped silently
        {"junk.mp3", kBroken},
    };
    for (const auto& [name, message] : cases) {
        rec.messages.clear();
        EXPECT_EQ(ConvertOne(File(name)), 0) << name;
        EXPECT_EQ(rec.messages, std::vector<std::string>{message});
        EXPECT_FALSE(std::filesystem::exists(IndividualOutputPath(File(name))));
        EXPECT_TRUE(TempEmpty());
    }
}

TEST_F(SoundTest, UnlabelledMp3RatesGoThroughThePcmPath) {
    Format(FormatWav).compression = 6;
    ASSERT_EQ(ConvertOne(Tone("tone48.mp3", 48000, 1, 1, "libmp3lame")), 1);
    const swfread::Swf swf = Parse(File("tone48.swf"));
    EXPECT_EQ(swf.tags.at(1).code, SoundStreamHead) << "not the MP3 stream head";
    EXPECT_EQ(swf.tags[2].body[2] >> 4, 0) << "re-encoded uncompressed";
    EXPECT_EQ((swf.tags[2].body[2] >> 2) & 3, 3) << "44.1 kHz";
    EXPECT_TRUE(rec.Saw("MP3 at 48000 Hz"));
    EXPECT_TRUE(TempEmpty());
}

} // namespace
