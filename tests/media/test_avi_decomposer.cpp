// Taking movies apart: small movies in many containers and codecs are made with ffmpeg, and a
// recording engine checks the pictures, the sound file, the frame tags and the questions the
// decomposer produces.
#include "media/avi_decomposer.h"
#include "media/rgb_image.h"

#include "pcm_wav_check.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace kestrova::test {

namespace {

using testutil::ReadFileBytes;

// Pictures of 64 x 48 at 10 a second in one colour (0x3060C0), and a 440 Hz sine.
std::string Video(double seconds = 1.1) {
    return "-f lavfi -t " + std::to_string(seconds) + " -i color=c=0x3060C0:s=64x48:r=10 ";
}
const std::string kSine = "-f lavfi -t 1.1 -i sine=frequency=440:sample_rate=22050 ";
const std::string kSound = Video() + kSine + "-map 0:v -map 1:a -c:v mjpeg ";

// An engine with its own picture store that records every call.
class RecordingEngine : public IMovieEngine, public IMovieWindow {
public:
    struct Picture {
        std::string path; // a file picture; else data
        std::vector<uint8_t> data;
        int width = 0, height = 0, byteCount = 0;
    };
    int MakeFrameFile(const std::string& path) override {
        pictures[nextId].path = path;
        return nextId++;
    }
    uint8_t* MakeFrameBuffer(size_t capacity, int* id) override {
        *id = nextId;
        pictures[nextId++].data.resize(capacity);
        return pictures[*id].data.data();
    }
    void SetFrameInfo(int id, int width, int height, int byteCount) override {
        pictures[id].width = width;
        pictures[id].height = height;
        pictures[id].byteCount = byteCount;
    }
    void DropFrame(int id) override { pictures.erase(id); }
    int ToLossless(int id) override { return id; }
    int AddFrameImage(const std::string&, int id) override {
        calls.push_back("image");
        Picture& p = pictures[id];
        // A file picture is read now, as the movie writer will read it.
        jpegs.push_back(p.path.empty()
                            ? std::vector<uint8_t>(p.data.begin(), p.data.begin() + p.byteCount)
                            : ReadFileBytes(p.path));
        EXPECT_EQ(std::pair(p.width, p.height), std::pair(64, 48));
        return imageFails ? 0 : 1;
    }
    int AddSound(const std::string& wavPath) override {
        calls.push_back("sound " + std::filesystem::path(wavPath).filename().string());
        sound = ReadFileBytes(wavPath);
        return 1;
    }
    void AddShowFrame() override { calls.push_back("frame"); }
    void RemoveImage(uint16_t depth) override {
        calls.push_back("remove " + std::to_string(depth));
    }
    void FreeImageCharacters() override { calls.push_back("free"); }
    bool IsCancelRequested() override { return false; }
    void ShowState(const char* text) override { states.emplace_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(caption + ": " + text);
        return answerYes;
    }

    std::map<int, Picture> pictures;
    int nextId = 1;
    std::vector<std::string> calls, states, messages, questions;
    std::vector<std::vector<uint8_t>> jpegs;
    std::vector<uint8_t> sound;
    bool imageFails = false, answerYes = true;
};

class AviDecomposerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
    }
    std::string Movie(const std::string& name, const std::string& args) {
        const std::string path = movies.File(name);
        if (!std::filesystem::exists(path)) {
            EXPECT_EQ(testutil::RunCommand("ffmpeg -nostdin -v error -y " + args + " " +
                                           testutil::ShellQuote(path) + " >/dev/null 2>&1")
                          .exitCode,
                      0)
                << name;
        }
        return path;
    }
    // Opens and decomposes into a fresh engine; the Decompose result, or -1 when Open failed.
    int Run(const std::string& path, bool maxRam = true) {
        engine = RecordingEngine();
        settings.maxRam = maxRam;
        if (!decomposer.Open(&engine, path, temp.Path() + "/")) {
            return -1;
        }
        return decomposer.Decompose(&engine, &settings);
    }

    testutil::TempDir movies, temp;
    RecordingEngine engine;
    DecomposeSettings settings;
    AviDecomposer decomposer;
};

// Every picture comes, the first included, as a JPEG of the movie's colour, one frame tag and
// one removal each; a sound stream, wherever it lies in the file, arrives first as one 16-bit
// PCM WAV of its layout and length, and the file is gone afterwards.
TEST_F(AviDecomposerTest, EachCodecAndContainer) {
    const struct {
        const char* name;
        std::string args;
        int pictures, tolerance, channels = 0, rate = 22050;
    } cases[] = {
        {"mjpeg.avi", Video() + "-c:v mjpeg", 11, 6},
        {"one_picture.avi", Video(0.1) + "-c:v mjpeg", 1, 6},
        {"cinepak.avi", Video() + "-c:v cinepak", 11, 12},
        {"h264.avi", Video() + "-c:v libx264 -pix_fmt yuv420p", 11, 6},
        {"pcm_after.avi", kSound + "-c:a pcm_s16le", 11, 6, 1},
        {"adpcm.avi", kSound + "-c:a adpcm_ms", 11, 6, 1},
        {"mp3.avi", kSound + "-c:a libmp3lame", 11, 6, 1},
        {"clip.wmv", Video() + kSine + "-c:v wmv2 -c:a wmav2", 11, 8, 1},
        {"stereo.wma", "-f lavfi -t 1.1 -i sine=sample_rate=44100 -ac 2 -c:a wmav2", 0, 0, 2,
         44100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Run(Movie(c.name, c.args)), 1);
        std::vector<std::string> expected;
        if (c.channels > 0) {
            expected.push_back("sound Audio3.wav");
        }
        for (int i = 0; i < c.pictures; ++i) {
            expected.insert(expected.end(), {"image", "frame", "remove 1"});
        }
        EXPECT_EQ(engine.calls, expected);
        EXPECT_TRUE(engine.messages.empty());
        for (const std::vector<uint8_t>& jpeg : engine.jpegs) {
            RgbImage image;
            ASSERT_EQ(image.LoadMemory(jpeg.data(), jpeg.size()), 0);
            ASSERT_EQ(std::pair(image.Width(), image.Height()), std::pair(64u, 48u));
            long sum[3] = {0, 0, 0};
            const uint8_t* pixels = image.Lock();
            for (size_t k = 0; k < 64 * 48 * 3; ++k) {
                sum[k % 3] += pixels[k];
            }
            image.Unlock();
            EXPECT_NEAR(sum[0] / (64 * 48), 0x30, c.tolerance);
            EXPECT_NEAR(sum[1] / (64 * 48), 0x60, c.tolerance);
            EXPECT_NEAR(sum[2] / (64 * 48), 0xC0, c.tolerance);
        }
        if (c.channels > 0) {
            // ffmpeg's sine is at 1/8 of full scale.
            const std::vector<int16_t> samples =
                mediatest::CheckPcmWav(engine.sound, c.channels, c.rate);
            EXPECT_NEAR(double(samples.size()) / c.channels, 1.1 * c.rate, 0.1 * c.rate);
            int peak = 0;
            for (size_t i = 0; i < samples.size() && i < 2000; ++i) {
                peak = std::max(peak, std::abs(int{samples[i]}));
            }
            EXPECT_GT(peak, 2000);
            EXPECT_LT(peak, 6000);
            EXPECT_FALSE(std::filesystem::exists(temp.File("Audio3.wav")));
        }
    }
}

// Least-RAM mode writes one new owner-only JPEG file per frame and hands the store the file; a
// name already taken (a planted link among them) is passed over, never written through.
TEST_F(AviDecomposerTest, LeastRamWritesOneNewFileAFrame) {
    const std::string victim = temp.File("victim");
    ASSERT_TRUE(testutil::WriteFileBytes(victim, {'k', 'e', 'e', 'p'}));
    std::filesystem::create_symlink(victim, temp.File("frame1.jpg"));
    ASSERT_EQ(Run(Movie("mpeg4.avi", Video() + "-c:v mpeg4"), false), 1);
    ASSERT_EQ(engine.pictures.size(), 11u);
    int n = 1;
    for (auto& [id, p] : engine.pictures) {
        EXPECT_EQ(p.path, temp.File("frame" + std::to_string(++n) + ".jpg"));
        EXPECT_EQ(p.byteCount, static_cast<int>(std::filesystem::file_size(p.path)));
        EXPECT_EQ(std::filesystem::status(p.path).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_EQ(ReadFileBytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

// A failing frame asks whether to go on: Yes goes on with the next frames, No stops the movie
// and closes the file.
TEST_F(AviDecomposerTest, FailingFramesAskWhetherToContinue) {
    const std::string path = Movie("mjpeg.avi", Video() + "-c:v mjpeg");
    for (bool yes : {true, false}) {
        engine = RecordingEngine();
        engine.imageFails = true;
        engine.answerYes = yes;
        settings.maxRam = true;
        ASSERT_TRUE(decomposer.Open(&engine, path, temp.Path() + "/"));
        EXPECT_EQ(decomposer.Decompose(&engine, &settings), yes ? 1 : 0);
        EXPECT_EQ(engine.questions.size(), yes ? 11u : 1u);
        EXPECT_EQ(engine.questions[0],
                  "Error2: Error converting frame in AVI Movie, Continue Conversion?");
        EXPECT_EQ(engine.calls.size(), yes ? 33u : 1u);
        EXPECT_TRUE(engine.states.back().ends_with("  Closeing AVI library..."));
    }
}

TEST_F(AviDecomposerTest, BrokenFilesGiveTheirTexts) {
    EXPECT_EQ(Run(temp.File("missing.avi")), -1);
    EXPECT_EQ(engine.messages, std::vector<std::string>{kAviErrFileOpenText});
    std::vector<uint8_t> whole = ReadFileBytes(Movie("mjpeg.avi", Video() + "-c:v mjpeg"));
    ASSERT_GT(whole.size(), 2000u);
    ASSERT_TRUE(
        testutil::WriteFileBytes(temp.File("header.avi"), {whole.begin(), whole.begin() + 100}));
    EXPECT_EQ(Run(temp.File("header.avi")), -1);
    EXPECT_EQ(engine.messages, std::vector<std::string>{kAviErrBadFormatText});
    // Cut inside the last pictures: what is there is taken, the damaged rest skipped.
    ASSERT_TRUE(testutil::WriteFileBytes(temp.File("cut.avi"), {whole.begin(), whole.end() - 700}));
    EXPECT_EQ(Run(temp.File("cut.avi")), 1);
    const auto images = std::count(engine.calls.begin(), engine.calls.end(), "image");
    EXPECT_GE(images, 5);
    EXPECT_LT(images, 10);
}

} // namespace

} // namespace kestrova::test
