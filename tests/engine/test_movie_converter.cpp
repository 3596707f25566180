// Movie entries through the whole engine: the tags of the written SWF, the frame files in the
// temporary folder, cancelling and damaged files. How each codec and container is taken apart
// is checked with the decomposer's own tests in tests/media.
#include "media/avi_decomposer.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;
using testutil::ShellQuote;

class MovieConverterTest : public EngineTest {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed";
        EngineTest::SetUp();
        Format(FormatAvi).swfFramesPerImage = 2;
        Format(FormatAvi).soundFlag = 0;
    }
    // dir/name made by ffmpeg from a lavfi input and output options.
    std::string Make(const std::string& name, const std::string& input) {
        const std::string path = dir / name;
        EXPECT_EQ(testutil::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i " + input + " " +
                                       ShellQuote(path) + " >/dev/null 2>&1")
                      .exitCode,
                  0);
        return path;
    }
    // 11 pictures of 64 x 48.
    std::string MakeClip(const std::string& codecs) {
        return Make("clip.avi", "testsrc=s=64x48:r=10 -t 1.1 " + codecs);
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

// The frame files exist only while a least-RAM movie is built; both modes write the same movie.
TEST_F(MovieConverterTest, LeastRamAndMaxRamWriteTheSameMovie) {
    const std::string path = MakeClip("-c:v libx264 -pix_fmt yuv420p");
    size_t filesWhileWriting = 0;
    rec.onEvent = [&](const std::string& event) {
        if (event == "state Creating Movie file...")
            filesWhileWriting = TempFileCount();
    };
    std::vector<uint8_t> movies[2];
    for (int32_t mode : {PerformanceLeastRam, PerformanceMaxRam}) {
        opts.performanceMode = mode;
        ASSERT_EQ(ConvertOne(path), 1);
        EXPECT_EQ(filesWhileWriting, mode == PerformanceLeastRam ? 11u : 0u);
        movies[mode == PerformanceMaxRam] = testutil::ReadFileBytes(dir / "clip.swf");
    }
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(TempFileCount(), 0u) << "frame files are deleted once the movie is written";
    EXPECT_EQ(CodesOf(dir / "clip.swf"), FrameTags(DefineBitsJPEG2, 11, 2));
    EXPECT_EQ(movies[0], movies[1]);
}

TEST_F(MovieConverterTest, LosslessFramesBecomeLosslessBitmaps) {
    const std::string path = MakeClip("-c:v mjpeg");
    Format(FormatAvi).compression = EncodeLossless;
    Format(FormatAvi).swfFramesPerImage = 1;
    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(ConvertOne(path), 1);
    EXPECT_EQ(CodesOf(dir / "clip.swf"), FrameTags(DefineBitsLossless, 11, 1));
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(MovieConverterTest, CancelLeavesNothingBehind) {
    const std::string path = MakeClip("-c:v mpeg4");
    rec.onEvent = [&](const std::string& event) {
        if (event.ends_with("Decomposing...Frame 4"))
            engine.RequestCancel();
    };
    EXPECT_EQ(ConvertOne(path), 0);
    EXPECT_TRUE(engine.IsIdle());
    EXPECT_EQ(engine.KeptPictures(), 0);
    EXPECT_FALSE(rec.Saw("finished"));
    EXPECT_FALSE(std::filesystem::exists(dir / "clip.swf"));
    EXPECT_TRUE(TempFolderEmpty());
    EXPECT_TRUE(rec.events.back().ends_with("  Closeing AVI library..."));

    rec.onEvent = nullptr;
    ASSERT_EQ(ConvertOne(path), 1) << "the next conversion starts from an empty movie";
    EXPECT_EQ(CodesOf(dir / "clip.swf"), FrameTags(DefineBitsJPEG2, 11, 2));
}

// A damaged, an empty or an overlong movie is an error of its entry and writes nothing; a
// sound track too long to convert is the one failure the movie is made without.
TEST_F(MovieConverterTest, FailuresOfAMovieAndTheSoundItGoesWithout) {
    ASSERT_TRUE(testutil::WriteFileBytes(dir / "notes.avi", {'j', 'u', 's', 't'}));
    struct Case {
        std::string path, message;
        int swfFramesPerImage, soundFlag, result;
    };
    const Case cases[] = {
        {dir / "notes.avi", kAviErrBadFormatText, 2, 0, 0},
        {Make("sound.avi", "sine=frequency=440:sample_rate=11025 -t 0.5 -c:a pcm_s16le"),
         "has no picture to convert", 1, 0, 0},
        {Make("short.avi", "testsrc=s=64x48:r=10 -frames:v 3 -c:v mjpeg"), "past 65535 frames",
         65535, 0, 0},
        // Four pictures over 400 s of stereo sound: more than 30 MB once converted.
        {Make("long.avi", "testsrc=s=32x24:r=1/100:d=400 -f lavfi -i "
                          "sine=frequency=440:sample_rate=44100:duration=400 -ac 2 -c:v mjpeg "
                          "-c:a libmp3lame -b:a 32k"),
         "too long to convert", 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Format(FormatAvi).swfFramesPerImage = c.swfFramesPerImage;
        Format(FormatAvi).soundFlag = c.soundFlag;
        rec.messages.clear();
        EXPECT_EQ(ConvertOne(c.path), c.result);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_NE(rec.messages[0].find(c.message), std::string::npos) << rec.messages[0];
        std::string movie = IndividualOutputPath(c.path);
        EXPECT_EQ(std::filesystem::exists(movie), c.result == 1);
        if (c.result == 1) {
            EXPECT_EQ(swfread::CountTags(Parse(movie).tags, DefineSound), 0u);
        }
        EXPECT_EQ(TempFileCount(), 0u);
    }
}

} // namespace
