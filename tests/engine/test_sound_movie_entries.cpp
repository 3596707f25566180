// Sound and movie entries through the whole engine: the code-size table, the size limit and
// its question, broken files and MP3 rates the format cannot label; a movie's frames in every
// mode, cancelling and its failures. How each codec and container is read is checked in
// tests/media, tag order and samples of sounds through the command line.
#include "media/avi_decomposer.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

namespace kestrova::test {

namespace {

using namespace enginetest;

// Movies of 11 pictures of 64 x 48 shown for 2 frames each, without sound; 440 Hz tones.
class EntryTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        avi().swfFramesPerImage = 2;
        avi().soundFlag = 0;
    }
    FormatOptions& avi() { return Format(FormatAvi); }
    std::string Clip(const std::string& codecs) {
        return Made("clip.avi", Ffmpeg("testsrc=s=64x48:r=10 -t 1.1 " + codecs));
    }
    // A 16-bit PCM WAV unless another codec is given.
    std::string Tone(const std::string& name, int rate, int channels, double seconds,
                     const std::string& codec = "pcm_s16le") {
        return Made(name, Ffmpeg("sine=frequency=440:sample_rate=" + std::to_string(rate) + " -t " +
                                 std::to_string(seconds) + " -ac " + std::to_string(channels) +
                                 " -c:a " + codec));
    }
};

// The tags of n movie frames of f SWF frames each, behind the background.
Codes FrameTags(uint16_t bitmap, int frames, int showFrames) {
    Codes codes{SetBackgroundColor};
    for (int i = 0; i < frames; ++i) {
        codes.insert(codes.end(), {bitmap, DefineShape, DefineSprite, PlaceObject2});
        codes.insert(codes.end(), static_cast<size_t>(showFrames), ShowFrame);
        codes.push_back(RemoveObject2);
    }
    codes.push_back(End);
    return codes;
}

// Frame files exist only while a least-RAM movie is built; both modes write the same movie,
// and lossless frames become lossless bitmaps.
TEST_F(EntryTest, FramesInEveryModeAndEncoding) {
    const std::string path = Clip("-c:v libx264 -pix_fmt yuv420p");
    size_t filesWhileWriting = 0;
    rec.onEvent = [&](const std::string& event) {
        if (event == "state Creating Movie file...")
            filesWhileWriting = TempFileCount();
    };
    const struct {
        int32_t mode, compression;
        size_t files;
        Codes codes;
    } cases[] = {{PerformanceLeastRam, EncodeJpeg, 11, FrameTags(DefineBitsJPEG2, 11, 2)},
                 {PerformanceMaxRam, EncodeJpeg, 0, FrameTags(DefineBitsJPEG2, 11, 2)},
                 {PerformanceMaxRam, EncodeLossless, 0, FrameTags(DefineBitsLossless, 11, 2)}};
    std::vector<uint8_t> jpegMovie;
    for (const auto& c : cases) {
        opts.performanceMode = c.mode;
        avi().compression = c.compression;
        ASSERT_EQ(ConvertOne(path), 1);
        EXPECT_EQ(filesWhileWriting, c.files);
        EXPECT_EQ(CodesOf(File("clip.swf")), c.codes);
        // Both modes write the same JPEG movie.
        if (c.compression == EncodeJpeg && !jpegMovie.empty()) {
            EXPECT_EQ(testutil::ReadFileBytes(File("clip.swf")), jpegMovie);
        }
        jpegMovie = testutil::ReadFileBytes(File("clip.swf"));
    }
    EXPECT_TRUE(rec.messages.empty() && TempEmpty()) << "frame files go with the written movie";
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(EntryTest, CancelLeavesNothingBehind) {
    const std::string path = Clip("-c:v mpeg4");
    opts.workerThreads = 4; // the movie prepared on a worker, its frames encoded on four more
    rec.onEvent = [&](const std::string& event) {
        if (event.ends_with("Decomposing...Frame 4"))
            engine.RequestCancel();
    };
    EXPECT_EQ(ConvertOne(path), 0);
    EXPECT_TRUE(engine.IsIdle() && engine.KeptPictures() == 0);
    EXPECT_FALSE(rec.Saw("finished"));
    EXPECT_FALSE(std::filesystem::exists(File("clip.swf")));
    EXPECT_TRUE(TempEmpty());
}

// A damaged or an overlong movie is an error of its entry and writes nothing; a sound track
// too long to convert is the one failure the movie is made without. A file with sound only is
// a sound entry: its sound, although the movie entry leaves sound out, and the entry's frames.
TEST_F(EntryTest, FailuresOfAMovieAndTheSoundItGoesWithout) {
    struct Case {
        std::string path, message;
        int swfFramesPerImage, soundFlag, result, sounds, showFrames;
    } cases[] = {
        {Made("notes.avi", "echo just text >"), kAviErrBadFormatText, 2, 0, 0, 0, 0},
        {Made("sound.avi", Ffmpeg("sine=frequency=440:sample_rate=11025 -t 0.5 -c:a pcm_s16le")),
         "", 1, 0, 1, 1, 3},
        {Made("short.avi", Ffmpeg("testsrc=s=64x48:r=10 -frames:v 3 -c:v mjpeg")),
         "past 65535 frames", 65535, 0, 0, 0, 0},
        // Four pictures over 400 s of stereo sound: more than 30 MB once converted.
        {Made("long.avi", Ffmpeg("testsrc=s=32x24:r=1/100:d=400 -f lavfi -i "
                                 "sine=frequency=440:sample_rate=44100:duration=400 -ac 2 "
                                 "-c:v mjpeg -c:a libmp3lame -b:a 32k")),
         "too long to convert", 1, 1, 1, 0, 4},
    };
    opts.framesPerImage = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        avi().swfFramesPerImage = c.swfFramesPerImage;
        avi().soundFlag = c.soundFlag;
        rec.messages.clear();
        EXPECT_EQ(ConvertOne(c.path), c.result);
        ASSERT_EQ(rec.messages.size(), c.message.empty() ? 0u : 1u);
        EXPECT_TRUE(c.message.empty() || rec.messages[0].find(c.message) != std::string::npos);
        const std::string movie = IndividualOutputPath(c.path);
        ASSERT_EQ(std::filesystem::exists(movie), c.result == 1);
        if (c.result == 1) {
            const swfread::Swf swf = Parse(movie);
            EXPECT_EQ(swfread::CountTags(swf.tags, DefineSound), c.sounds);
            EXPECT_EQ(swfread::CountTags(swf.tags, ShowFrame), c.showFrames);
        }
        EXPECT_EQ(TempFileCount(), 0u);
    }
}

TEST_F(EntryTest, CodeSizeFollowsTheCompressionTable) {
    const std::string path = Tone("tone.wav", 11025, 2, 0.45);
    const int codeSizeBits[] = {2, 3, 0, 1, 2, 3, -1}; // code size - 2; -1: uncompressed
    for (int compression = 0; compression < 7; ++compression) {
        Format(FormatWav).compression = compression;
        ASSERT_EQ(ConvertOne(path), 1);
        const swfread::Bytes sound = Parse(File("tone.swf")).tags.at(2).body;
        const int bits = codeSizeBits[compression];
        EXPECT_EQ(sound[2] >> 4, bits >= 0 ? 1 : 0) << compression; // ADPCM or uncompressed
        EXPECT_EQ(sound[2] & 1, 1) << "stereo";
        EXPECT_TRUE(bits < 0 || sound[7] >> 6 == bits) << compression;
    }
    EXPECT_TRUE(
        rec.Saw("state " + path.substr(path.size() - 25) + " converting to PCM wave data..."));
}

TEST_F(EntryTest, TooLargeSourceAsksAndSkipsOnNo) {
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
TEST_F(EntryTest, OversizedAndBrokenSoundsAreRefusedWithTheirMessage) {
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

TEST_F(EntryTest, UnlabelledMp3RatesGoThroughThePcmPath) {
    Format(FormatWav).compression = 6;
    ASSERT_EQ(ConvertOne(Tone("tone48.mp3", 48000, 1, 1, "libmp3lame")), 1);
    const swfread::Swf swf = Parse(File("tone48.swf"));
    EXPECT_EQ(swf.tags.at(1).code, SoundStreamHead) << "not the MP3 stream head";
    EXPECT_EQ(swf.tags[2].body[0], 2) << "the id the MP3 sound would have had is passed over";
    EXPECT_EQ(swf.tags[2].body[2] >> 4, 0) << "re-encoded uncompressed";
    EXPECT_EQ((swf.tags[2].body[2] >> 2) & 3, 3) << "44.1 kHz";
    EXPECT_TRUE(rec.Saw("MP3 at 48000 Hz"));
    EXPECT_TRUE(TempEmpty());
}

} // namespace

} // namespace kestrova::test
