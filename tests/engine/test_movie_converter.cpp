// Movie entries through the whole engine: the tags of the written SWF (read back with the
// test-side reader), the frame files in the temporary folder, the sound track, cancelling
// and damaged files.
#include "engine/convert_engine.h"
#include "media/avi_decomposer.h"
#include "media/rgb_image.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;

namespace {

enum Code : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    FreeCharacter = 3,
    SetBackgroundColor = 9,
    DefineSound = 14,
    StartSound = 15,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineSprite = 39,
};

struct Front : IConvertObserver, IConvertPrompt {
    std::vector<std::string> states, messages;
    bool finished = false;
    std::function<void(const std::string&)> onState;

    void ShowFileName(int) override {}
    void IncrementProgress(int) override {}
    void FinishedConvert() override { finished = true; }
    void ShowState(const char* text) override {
        states.emplace_back(text);
        if (onState) {
            onState(text);
        }
    }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool ChooseSavePath(std::string&) override { return false; }
};

class MovieConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        ASSERT_TRUE(temp.Ok() && sources.Ok());
        opts.optimizePlayback = 0;
        opts.usePreloader = 0;
        opts.useLens = 0;
        opts.blankFrameAtStart = 0;
        opts.blankFrameAtEnd = 0;
        opts.stopActionInFirstFrame = 0;
        opts.loopMovie = 1;
        opts.outputMode = OutputIndividual;
        opts.tempDirectory = temp.Path() + "/";
        avi().swfFramesPerImage = 2;
        avi().soundFlag = 0;
    }
    FormatOptions& avi() { return opts.formats[opts.FindFormat(FormatAvi)]; }

    // A movie of 11 pictures of 64 x 48 (and 1.1 s of sound when asked) made with ffmpeg.
    std::string MakeMovie(const std::string& name, const std::string& codecs, bool sound) {
        const std::string path = sources.File(name);
        std::string command = "ffmpeg -nostdin -v error -y -f lavfi -t 1.1 -i "
                              "testsrc=s=64x48:r=10 ";
        if (sound) {
            command += "-f lavfi -t 1.1 -i sine=frequency=440:sample_rate=11025 ";
        }
        command += codecs + " " + ShellQuote(path) + " >/dev/null 2>&1";
        EXPECT_EQ(RunCommand(command).exitCode, 0) << command;
        return path;
    }

    // Converts one entry and returns its result.
    int Convert(const std::string& path) {
        ConvertObject entry;
        entry.id = 7;
        entry.path = path;
        entry.size = static_cast<int>(std::filesystem::file_size(path));
        if (!engine.StartConversion(&front, &entry, &opts)) {
            return -1;
        }
        engine.Wait();
        return entry.result;
    }

    swfread::Swf Parse(const std::string& path) {
        swfread::Swf swf;
        std::string error;
        EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << path << ": " << error;
        return swf;
    }

    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(temp.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempDir temp, sources;
    ConvertOptions opts;
    Front front;
    CConvertEngine engine{&front};
};

std::vector<uint16_t> Codes(const swfread::Swf& swf) {
    std::vector<uint16_t> codes;
    for (const swfread::Tag& t : swf.tags) {
        codes.push_back(t.code);
    }
    return codes;
}

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
    const std::string path = MakeMovie("clip.avi", "-c:v mpeg4", false);
    ASSERT_EQ(Convert(path), 1);
    EXPECT_TRUE(front.messages.empty());
    swfread::Swf swf = Parse(sources.File("clip.swf"));
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
    EXPECT_TRUE(TempFiles().empty()) << "frame files are deleted once the movie is written";
}

TEST_F(MovieConverterTest, LeastRamAndMaxRamWriteTheSameMovie) {
    const std::string path = MakeMovie("clip.avi", "-c:v libx264 -pix_fmt yuv420p", false);
    const std::string out = sources.File("clip.swf");
    opts.performanceMode = PerformanceLeastRam;
    // The frame files exist while the movie is built.
    size_t filesDuringConversion = 0;
    front.onState = [&](const std::string& text) {
        if (text == "Creating Movie file...") {
            filesDuringConversion = TempFiles().size();
        }
    };
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(filesDuringConversion, 10u);
    EXPECT_TRUE(TempFiles().empty());
    const std::vector<uint8_t> leastRam = testutil::ReadFileBytes(out);

    opts.performanceMode = PerformanceMaxRam;
    filesDuringConversion = 99;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(filesDuringConversion, 0u);
    const std::vector<uint8_t> maxRam = testutil::ReadFileBytes(out);
    ASSERT_FALSE(leastRam.empty());
    EXPECT_EQ(leastRam, maxRam);
}

TEST_F(MovieConverterTest, LosslessFramesBecomeLosslessBitmaps) {
    const std::string path = MakeMovie("clip.avi", "-c:v mjpeg", false);
    avi().compression = EncodeLossless;
    avi().swfFramesPerImage = 1;
    opts.performanceMode = PerformanceMaxRam;
    ASSERT_EQ(Convert(path), 1);
    swfread::Swf swf = Parse(sources.File("clip.swf"));
    EXPECT_EQ(Codes(swf), FrameTags(DefineBitsLossless, 10, 1));
    swfread::LosslessBitmap bitmap;
    ASSERT_TRUE(swfread::ParseDefineBitsLossless(swf.tags[1], bitmap));
    EXPECT_EQ(bitmap.width, 64);
    EXPECT_EQ(bitmap.height, 48);
}

// Other movie extensions of the format table take the same road with the ".avi" settings.
TEST_F(MovieConverterTest, MovAndWmvEntries) {
    for (const auto& [name, codecs] : std::map<std::string, std::string>{
             {"clip.mov", "-c:v mjpeg"}, {"clip.wmv", "-c:v wmv2"}}) {
        SCOPED_TRACE(name);
        const std::string path = MakeMovie(name, codecs, false);
        ASSERT_EQ(Convert(path), 1);
        swfread::Swf swf = Parse(sources.File("clip.swf"));
        EXPECT_EQ(Codes(swf), FrameTags(DefineBitsJPEG2, 10, 2));
    }
}

// The sound track becomes an event sound that starts with the movie, before any picture.
TEST_F(MovieConverterTest, SoundTrackComesBeforeThePictures) {
    const std::string path =
        MakeMovie("clip.avi", "-map 1:a -map 0:v -c:v mjpeg -c:a adpcm_ms", true);
    avi().soundFlag = 1;
    avi().swfFramesPerImage = 1;
    ASSERT_EQ(Convert(path), 1) << (front.messages.empty() ? "" : front.messages[0]);
    swfread::Swf swf = Parse(sources.File("clip.swf"));
    std::vector<uint16_t> codes = Codes(swf);
    const auto firstOf = [&](uint16_t code) {
        return std::find(codes.begin(), codes.end(), code) - codes.begin();
    };
    EXPECT_LT(firstOf(DefineSound), firstOf(StartSound));
    EXPECT_LT(firstOf(StartSound), firstOf(DefineBitsJPEG2));
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsJPEG2), 10u);
    EXPECT_TRUE(TempFiles().empty()) << "Audio3.wav is deleted after its conversion";

    // The sound's own header: mono, 16-bit, about 1.1 s at its rate.
    const swfread::Tag& sound = *swfread::TagsWithCode(swf.tags, DefineSound).front();
    ASSERT_GE(sound.body.size(), 7u);
    const uint8_t flags = sound.body[2];
    const double rates[] = {5512.5, 11025, 22050, 44100};
    const uint32_t samples = sound.body[3] | sound.body[4] << 8 | sound.body[5] << 16 |
                             static_cast<uint32_t>(sound.body[6]) << 24;
    EXPECT_EQ(flags & 3, 2) << "16-bit mono";
    EXPECT_NEAR(samples / rates[(flags >> 2) & 3], 1.1, 0.1);

    front.messages.clear();
    avi().soundFlag = 0;
    ASSERT_EQ(Convert(path), 1);
    swf = Parse(sources.File("clip.swf"));
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineSound), 0u);
    EXPECT_EQ(swfread::CountTags(swf.tags, StartSound), 0u);
}

// A cancel in the middle of a movie stops between frames: nothing is written, the engine is
// idle with an empty movie, and no frame file is left behind.
TEST_F(MovieConverterTest, CancelLeavesNothingBehind) {
    const std::string path = MakeMovie("clip.avi", "-c:v mpeg4", false);
    opts.performanceMode = PerformanceLeastRam;
    front.onState = [&](const std::string& text) {
        if (text.ends_with("Decomposing...Frame 4")) {
            engine.RequestCancel();
        }
    };
    EXPECT_EQ(Convert(path), 0);
    EXPECT_TRUE(engine.IsIdle());
    EXPECT_FALSE(front.finished);
    EXPECT_FALSE(std::filesystem::exists(sources.File("clip.swf")));
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(front.states.back().ends_with("  Closeing AVI library..."));

    // The next conversion starts from an empty movie.
    front.onState = nullptr;
    ASSERT_EQ(Convert(path), 1);
    EXPECT_EQ(Codes(Parse(sources.File("clip.swf"))), FrameTags(DefineBitsJPEG2, 10, 2));
}

TEST_F(MovieConverterTest, DamagedFilesAreReportedWithoutPictures) {
    const std::string text = sources.File("notes.avi");
    ASSERT_TRUE(testutil::WriteFileBytes(text, {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}));
    EXPECT_EQ(Convert(text), 0);
    EXPECT_EQ(front.messages, std::vector<std::string>{kAviErrBadFormatText});
    swfread::Swf swf = Parse(sources.File("notes.swf"));
    EXPECT_EQ(Codes(swf), (std::vector<uint16_t>{SetBackgroundColor, End}));

    const std::vector<uint8_t> whole =
        testutil::ReadFileBytes(MakeMovie("clip.avi", "-c:v mjpeg", false));
    const std::string cut = sources.File("cut.avi");
    ASSERT_TRUE(testutil::WriteFileBytes(cut, {whole.begin(), whole.begin() + 150}));
    front.messages.clear();
    EXPECT_EQ(Convert(cut), 0);
    EXPECT_EQ(front.messages, std::vector<std::string>{kAviErrBadFormatText});
}
