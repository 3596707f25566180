// Movie entries through the whole engine: the tags of the written SWF (read back with the
// test-side reader), the frame files in the temporary folder, cancelling and damaged files.
// The sound track's place is pinned by the golden movie. How each codec and container is taken
// apart is checked with the decomposer's own tests in tests/media.
#include "media/avi_decomposer.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace enginetest;
using testutil::ShellQuote;

class MovieConverterTest : public TempFolderTest {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        TempFolderTest::SetUp();
        avi().swfFramesPerImage = 2;
        avi().soundFlag = 0;
    }
    FormatOptions& avi() { return opts.formats[opts.FindFormat(FormatAvi)]; }

    // A movie of 11 pictures of 64 x 48 made with ffmpeg.
    std::string MakeMovie(const std::string& codecs) {
        const std::string path = dir / "clip.avi";
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -t 1.1 -i "
                                    "testsrc=s=64x48:r=10 " +
                                    codecs + " " + ShellQuote(path) + " >/dev/null 2>&1";
        EXPECT_EQ(testutil::RunCommand(command).exitCode, 0) << command;
        return path;
    }

    // Converts one entry and returns its result.
    int Convert(const std::string& path) {
        List list({path});
        enginetest::Convert(engine, rec, list, opts);
        return list[0].result;
    }
};

// The tags of n movie frames of f SWF frames each, behind the background.
std::vector<uint16_t> FrameTags(uint16_t bitmap, int frames, int showFrames) {
    std::vector<uint16_t> codes{SetBackgroundColor};
    for (int i = 0; i < frames; ++i) {
        codes.insert(codes.end(), {bitmap, DefineShape, DefineSprite, PlaceObject2});
        codes.insert(codes.end(), static_cast<size_t>(showFrames), ShowFrame);
        codes.push_back(RemoveObject2);
    }
    codes.push_back(End);
    return codes;
}

} // namespace

// The frame files exist only while a least-RAM movie is built; both modes write the same movie.
TEST_F(MovieConverterTest, LeastRamAndMaxRamWriteTheSameMovie) {
    const std::string path = MakeMovie("-c:v libx264 -pix_fmt yuv420p");
    opts.performanceMode = PerformanceLeastRam;
    size_t filesDuringConversion = 0;
    rec.onEvent = [&](const std::string& event) {
        if (event == "state Creating Movie file...") {
            filesDuringConversion = TempFileCount();
        }
    };
    ASSERT_EQ(Convert(path), 1);
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(filesDuringConversion, 11u);
    EXPECT_EQ(TempFileCount(), 0u) << "frame files are deleted once the movie is written";
    const std::vector<uint8_t> leastRam = testutil::ReadFileBytes(dir / "clip.swf");
    EXPECT_EQ(Codes(Parse(dir / "clip.swf")), FrameTags(DefineBitsJPEG2, 11, 2));

    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(filesDuringConversion, 0u);
    ASSERT_FALSE(leastRam.empty());
    EXPECT_EQ(testutil::ReadFileBytes(dir / "clip.swf"), leastRam);
}

TEST_F(MovieConverterTest, LosslessFramesBecomeLosslessBitmaps) {
    const std::string path = MakeMovie("-c:v mjpeg");
    avi().compression = EncodeLossless;
    avi().swfFramesPerImage = 1;
    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(Convert(path), 1);
    swfread::Swf swf = Parse(dir / "clip.swf");
    EXPECT_EQ(Codes(swf), FrameTags(DefineBitsLossless, 11, 1));
    swfread::LosslessBitmap bitmap;
    ASSERT_TRUE(swfread::ParseDefineBitsLossless(swf.tags[1], bitmap));
    EXPECT_EQ(bitmap.width, 64);
    EXPECT_EQ(bitmap.height, 48);
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(MovieConverterTest, CancelLeavesNothingBehind) {
    const std::string path = MakeMovie("-c:v mpeg4");
    opts.performanceMode = PerformanceLeastRam;
    rec.onEvent = [&](const std::string& event) {
        if (event.ends_with("Decomposing...Frame 4")) {
            engine.RequestCancel();
        }
    };
    EXPECT_EQ(Convert(path), 0);
    EXPECT_TRUE(engine.IsIdle());
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "finished"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "clip.swf"));
    EXPECT_TRUE(TempFolderEmpty());
    EXPECT_TRUE(rec.events.back().ends_with("  Closeing AVI library..."));

    // The next conversion starts from an empty movie.
    rec.onEvent = nullptr;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(Codes(Parse(dir / "clip.swf")), FrameTags(DefineBitsJPEG2, 11, 2));
}

TEST_F(MovieConverterTest, DamagedFileIsReportedWithoutPictures) {
    const std::string text = dir / "notes.avi";
    ASSERT_TRUE(testutil::WriteFileBytes(text, {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}));
    EXPECT_EQ(Convert(text), 0);
    EXPECT_EQ(rec.messages, std::vector<std::string>{kAviErrBadFormatText});
    EXPECT_FALSE(std::filesystem::exists(dir / "notes.swf")) << "a failed entry writes nothing";
}

// A movie file with sound only is a sound entry: its sound (taken although the movie entry
// leaves sound out), then framesPerImage frames.
TEST_F(MovieConverterTest, SoundOnlyFileBecomesASoundEntry) {
    const std::string path = dir / "tune.mkv";
    ASSERT_EQ(testutil::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i "
                                   "sine=frequency=440:sample_rate=11025 -t 0.5 -c:a aac " +
                                   ShellQuote(path))
                  .exitCode,
              0);
    opts.framesPerImage = 3;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(Codes(Parse(dir / "tune.swf")),
              (std::vector<uint16_t>{SetBackgroundColor, SoundStreamHead, DefineSound, StartSound,
                                     ShowFrame, ShowFrame, ShowFrame, End}));
}

// A movie longer than a movie can be is an error of its entry, and nothing is written for it.
TEST_F(MovieConverterTest, OverlongMoviesFailWithAMessageAndWriteNothing) {
    struct Case {
        std::string ffmpegInput; // after "ffmpeg ... -i"
        int swfFramesPerImage;
        std::string message;
    };
    const Case cases[] = {
        {"testsrc=s=64x48:r=10 -frames:v 3 -c:v mjpeg", 65535, "past 65535 frames"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ffmpegInput);
        const std::string path = dir / "short.avi";
        ASSERT_EQ(testutil::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i " + c.ffmpegInput +
                                       " " + ShellQuote(path))
                      .exitCode,
                  0);
        avi().swfFramesPerImage = c.swfFramesPerImage;
        rec.messages.clear();
        EXPECT_EQ(Convert(path), 0);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_NE(rec.messages[0].find(c.message), std::string::npos) << rec.messages[0];
        EXPECT_FALSE(std::filesystem::exists(dir / "short.swf"));
        EXPECT_EQ(TempFileCount(), 0u);
    }
}

// A sound track too long to convert is the one failure the movie is made without.
TEST_F(MovieConverterTest, SoundTrackTooLongIsLeftOutAndTheMovieWritten) {
    const std::string path = dir / "long.avi";
    // Four pictures over 400 s of stereo sound: more than 30 MB once converted.
    ASSERT_EQ(testutil::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i "
                                   "testsrc=s=32x24:r=1/100:d=400 -f lavfi -i "
                                   "sine=frequency=440:sample_rate=44100:duration=400 -ac 2 "
                                   "-c:v mjpeg -c:a libmp3lame -b:a 32k " +
                                   ShellQuote(path))
                  .exitCode,
              0);
    avi().soundFlag = 1;
    EXPECT_EQ(Convert(path), 1);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_NE(rec.messages[0].find("too long to convert"), std::string::npos) << rec.messages[0];
    EXPECT_EQ(swfread::CountTags(Parse(dir / "long.swf").tags, DefineSound), 0u);
}
