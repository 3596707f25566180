// Movie entries through the whole engine: the tags of the written SWF (read back with the
// test-side reader), the frame files in the temporary folder, the sound track, cancelling
// and damaged files. How each codec and container is taken apart is checked with the
// decomposer's own tests in tests/media.
#include "media/avi_decomposer.h"
#include "media/rgb_image.h"

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

    // A movie of 11 pictures of 64 x 48 (and 1.1 s of sound when asked) made with ffmpeg.
    std::string MakeMovie(const std::string& codecs, bool sound) {
        const std::string path = dir / "clip.avi";
        std::string command = "ffmpeg -nostdin -v error -y -f lavfi -t 1.1 -i "
                              "testsrc=s=64x48:r=10 ";
        if (sound) {
            command += "-f lavfi -t 1.1 -i sine=frequency=440:sample_rate=11025 ";
        }
        command += codecs + " " + ShellQuote(path) + " >/dev/null 2>&1";
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

// 11 pictures, the first not taken, 2 SWF frames each: 20 ShowFrames and 10 removals, each
// frame's bitmap, shape, sprite and placement before its ShowFrames.
TEST_F(MovieConverterTest, ElevenFramesAtTwoSwfFramesEach) {
    const std::string path = MakeMovie("-c:v mpeg4", false);
    ASSERT_EQ(Convert(path), 1);
    EXPECT_TRUE(rec.messages.empty());
    swfread::Swf swf = Parse(dir / "clip.swf");
    EXPECT_EQ(Codes(swf), FrameTags(DefineBitsJPEG2, 10, 2));
    EXPECT_EQ(swf.header.frameCount, 20);
    EXPECT_EQ(swfread::CountTags(swf.tags, RemoveObject2), 10u);

    // Every bitmap is a JPEG of the movie's size, and the testsrc pictures differ.
    std::vector<swfread::Bytes> images;
    for (const swfread::Tag* tag : swfread::TagsWithCode(swf.tags, DefineBitsJPEG2)) {
        swfread::JpegBitmap bitmap;
        ASSERT_TRUE(swfread::ParseDefineBitsJPEG2(*tag, bitmap));
        swfread::Bytes& data = bitmap.imageData;
        // The writer frames the JPEG with an end-of-image + start-of-image pair in front and
        // one more end-of-image behind.
        ASSERT_GT(data.size(), 8u);
        ASSERT_EQ(swfread::Bytes(data.begin(), data.begin() + 6),
                  (swfread::Bytes{0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8}));
        data = swfread::Bytes(data.begin() + 4, data.end() - 2);
        RgbImage image;
        ASSERT_EQ(image.LoadMemory(data.data(), data.size()), 0);
        EXPECT_EQ(image.Width(), 64u);
        EXPECT_EQ(image.Height(), 48u);
        images.push_back(data);
    }
    ASSERT_EQ(images.size(), 10u);
    EXPECT_NE(images.front(), images.back());
    EXPECT_TRUE(TempFolderEmpty()) << "frame files are deleted once the movie is written";
}

// The frame files exist only while a least-RAM movie is built; both modes write the same movie.
TEST_F(MovieConverterTest, LeastRamAndMaxRamWriteTheSameMovie) {
    const std::string path = MakeMovie("-c:v libx264 -pix_fmt yuv420p", false);
    opts.performanceMode = PerformanceLeastRam;
    size_t filesDuringConversion = 0;
    rec.onEvent = [&](const std::string& event) {
        if (event == "state Creating Movie file...") {
            filesDuringConversion = TempFileCount();
        }
    };
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(filesDuringConversion, 10u);
    const std::vector<uint8_t> leastRam = testutil::ReadFileBytes(dir / "clip.swf");

    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(filesDuringConversion, 0u);
    ASSERT_FALSE(leastRam.empty());
    EXPECT_EQ(testutil::ReadFileBytes(dir / "clip.swf"), leastRam);
}

TEST_F(MovieConverterTest, LosslessFramesBecomeLosslessBitmaps) {
    const std::string path = MakeMovie("-c:v mjpeg", false);
    avi().compression = EncodeLossless;
    avi().swfFramesPerImage = 1;
    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(Convert(path), 1);
    swfread::Swf swf = Parse(dir / "clip.swf");
    EXPECT_EQ(Codes(swf), FrameTags(DefineBitsLossless, 10, 1));
    swfread::LosslessBitmap bitmap;
    ASSERT_TRUE(swfread::ParseDefineBitsLossless(swf.tags[1], bitmap));
    EXPECT_EQ(bitmap.width, 64);
    EXPECT_EQ(bitmap.height, 48);
}

// The sound track becomes an event sound that starts with the movie, before any picture.
TEST_F(MovieConverterTest, SoundTrackComesBeforeThePictures) {
    const std::string path = MakeMovie("-map 1:a -map 0:v -c:v mjpeg -c:a adpcm_ms", true);
    avi().soundFlag = 1;
    avi().swfFramesPerImage = 1;
    ASSERT_EQ(Convert(path), 1) << (rec.messages.empty() ? "" : rec.messages[0]);
    swfread::Swf swf = Parse(dir / "clip.swf");
    std::vector<uint16_t> codes = Codes(swf);
    const auto firstOf = [&](uint16_t code) {
        return std::find(codes.begin(), codes.end(), code) - codes.begin();
    };
    EXPECT_LT(firstOf(DefineSound), firstOf(StartSound));
    EXPECT_LT(firstOf(StartSound), firstOf(DefineBitsJPEG2));
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsJPEG2), 10u);
    EXPECT_TRUE(TempFolderEmpty()) << "Audio3.wav is deleted after its conversion";

    // The sound's own header: mono, 16-bit, about 1.1 s at its rate.
    const swfread::Tag& sound = *swfread::TagsWithCode(swf.tags, DefineSound).front();
    ASSERT_GE(sound.body.size(), 7u);
    const uint8_t flags = sound.body[2];
    const double rates[] = {5512.5, 11025, 22050, 44100};
    const uint32_t samples = sound.body[3] | sound.body[4] << 8 | sound.body[5] << 16 |
                             static_cast<uint32_t>(sound.body[6]) << 24;
    EXPECT_EQ(flags & 3, 2) << "16-bit mono";
    EXPECT_NEAR(samples / rates[(flags >> 2) & 3], 1.1, 0.1);

    avi().soundFlag = 0;
    ASSERT_EQ(Convert(path), 1);
    swf = Parse(dir / "clip.swf");
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineSound), 0u);
    EXPECT_EQ(swfread::CountTags(swf.tags, StartSound), 0u);
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(MovieConverterTest, CancelLeavesNothingBehind) {
    const std::string path = MakeMovie("-c:v mpeg4", false);
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
    EXPECT_EQ(Codes(Parse(dir / "clip.swf")), FrameTags(DefineBitsJPEG2, 10, 2));
}

TEST_F(MovieConverterTest, DamagedFileIsReportedWithoutPictures) {
    const std::string text = dir / "notes.avi";
    ASSERT_TRUE(testutil::WriteFileBytes(text, {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}));
    EXPECT_EQ(Convert(text), 0);
    EXPECT_EQ(rec.messages, std::vector<std::string>{kAviErrBadFormatText});
    EXPECT_FALSE(std::filesystem::exists(dir / "notes.swf")) << "a failed entry writes nothing";
}
