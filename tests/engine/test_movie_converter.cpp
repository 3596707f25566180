// Movie entries through the whole engine: the tags of the written SWF, the frame files in the
// temporary folder, cancelling and failures. How each codec and container is taken apart is
// checked with the decomposer's own tests in tests/media.
#include "media/avi_decomposer.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

class MovieConverterTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        avi().swfFramesPerImage = 2;
        avi().soundFlag = 0;
    }
    FormatOptions& avi() { return Format(FormatAvi); }
    // 11 pictures of 64 x 48.
    std::string Clip(const std::string& codecs) {
        return Made("clip.avi", Ffmpeg("testsrc=s=64x48:r=10 -t 1.1 " + codecs));
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
TEST_F(MovieConverterTest, FramesInEveryModeAndEncoding) {
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
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(TempFileCount(), 0u) << "frame files are deleted once the movie is written";
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(MovieConverterTest, CancelLeavesNothingBehind) {
    const std::string path = Clip("-c:v mpeg4");
    rec.onEvent = [&](const std::string& event) {
        if (event.ends_with("Decomposing...Frame 4"))
            engine.RequestCancel();
    };
    EXPECT_EQ(ConvertOne(path), 0);
    EXPECT_TRUE(engine.IsIdle() && engine.KeptPictures() == 0);
    EXPECT_FALSE(rec.Saw("finished"));
    EXPECT_FALSE(std::filesystem::exists(File("clip.swf")));
    EXPECT_TRUE(TempEmpty());
    EXPECT_TRUE(rec.events.back().ends_with("  Closeing AVI library..."));
}

// A damaged, an empty or an overlong movie is an error of its entry and writes nothing; a
// sound track too long to convert is the one failure the movie is made without.
TEST_F(MovieConverterTest, FailuresOfAMovieAndTheSoundItGoesWithout) {
    struct Case {
        std::string path, message;
        int swfFramesPerImage, soundFlag, result;
    } cases[] = {
        {Made("notes.avi", "echo just text >"), kAviErrBadFormatText, 2, 0, 0},
        {Made("sound.avi", Ffmpeg("sine=frequency=440:sample_rate=11025 -t 0.5 -c:a pcm_s16le")),
         "has no picture to convert", 1, 0, 0},
        {Made("short.avi", Ffmpeg("testsrc=s=64x48:r=10 -frames:v 3 -c:v mjpeg")),
         "past 65535 frames", 65535, 0, 0},
        // Four pictures over 400 s of stereo sound: more than 30 MB once converted.
        {Made("long.avi", Ffmpeg("testsrc=s=32x24:r=1/100:d=400 -f lavfi -i "
                                 "sine=frequency=440:sample_rate=44100:duration=400 -ac 2 "
                                 "-c:v mjpeg -c:a libmp3lame -b:a 32k")),
         "too long to convert", 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        avi().swfFramesPerImage = c.swfFramesPerImage;
        avi().soundFlag = c.soundFlag;
        rec.messages.clear();
        EXPECT_EQ(ConvertOne(c.path), c.result);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_NE(rec.messages[0].find(c.message), std::string::npos) << rec.messages[0];
        const std::string movie = IndividualOutputPath(c.path);
        EXPECT_EQ(std::filesystem::exists(movie), c.result == 1);
        EXPECT_EQ(c.result == 1 && swfread::CountTags(Parse(movie).tags, DefineSound) == 0,
                  c.result == 1);
        EXPECT_EQ(TempFileCount(), 0u);
    }
}

} // namespace
