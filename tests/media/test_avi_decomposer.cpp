// Taking movies apart: small movies in many containers and codecs are made with ffmpeg, and a
// recording engine checks the pictures, sound files, frame tags, status texts and questions
// the decomposer produces.
#include "media/avi_decomposer.h"
#include "media/rgb_image.h"

#include "pcm_wav_check.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/error.h>
}

using testutil::ReadFileBytes;
using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;

namespace {

// The colour of every test movie's pictures (red, green, blue).
constexpr int kRed = 0x30, kGreen = 0x60, kBlue = 0xC0;

// Movies made once for the whole suite.
class Movies {
public:
    static Movies& Get() {
        static Movies movies;
        return movies;
    }
    // Path of a movie made from the ffmpeg arguments (inputs and output options, without the
    // output file), or "" when ffmpeg cannot make it.
    std::string Make(const std::string& name, const std::string& args) {
        auto found = made.find(name);
        if (found != made.end()) {
            return found->second;
        }
        std::string path = dir.File(name);
        int rc = RunCommand("ffmpeg -nostdin -v error -y " + args + " " + ShellQuote(path) +
                            " >/dev/null 2>&1")
                     .exitCode;
        return made[name] = rc == 0 ? path : "";
    }

private:
    TempDir dir;
    std::map<std::string, std::string> made;
};

// 11 pictures of 64 x 48 at 10 per second, in the test colour.
std::string Video(double seconds = 1.1, const std::string& size = "64x48") {
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%02X%02X%02X", kRed, kGreen, kBlue);
    return "-f lavfi -t " + std::to_string(seconds) + " -i color=c=" + colour + ":s=" + size +
           ":r=10 ";
}
std::string Sine(double seconds = 1.1) {
    return "-f lavfi -t " + std::to_string(seconds) + " -i sine=frequency=440:sample_rate=22050 ";
}

struct Call {
    std::string what;
    std::string path;
    int id = 0;
};

// An engine that keeps its own picture store and records every call.
class RecordingEngine : public IMovieEngine, public IMovieWindow {
public:
    struct Picture {
        std::string path;
        bool isFile = false;
        std::vector<uint8_t> data;
        int width = 0, height = 0, byteCount = 0;
    };

    int MakeFrameFile(const std::string& path) override {
        pictures[nextId] = Picture{path, true, {}, 0, 0, 0};
        return nextId++;
    }
    uint8_t* MakeFrameBuffer(size_t capacity, int* id) override {
        *id = nextId;
        Picture& p = pictures[nextId++];
        p.data.resize(capacity);
        return p.data.data();
    }
    void SetFrameInfo(int id, int width, int height, int byteCount) override {
        pictures[id].width = width;
        pictures[id].height = height;
        pictures[id].byteCount = byteCount;
    }
    void DropFrame(int id) override { pictures.erase(id); }
    int ToLossless(int id) override {
        calls.push_back({"lossless", "", id});
        return losslessFails ? -1 : id;
    }
    int AddFrameImage(const std::string& framePath, int id) override {
        calls.push_back({"image", framePath, id});
        auto found = pictures.find(id);
        if (found != pictures.end()) {
            Picture& p = found->second;
            // A file picture is read now, as the movie writer will read it.
            JpegBytes.push_back(
                p.isFile ? ReadFileBytes(p.path)
                         : std::vector<uint8_t>(p.data.begin(), p.data.begin() + p.byteCount));
            sizes.emplace_back(p.width, p.height);
        }
        return imageFails ? 0 : 1;
    }
    int AddSound(const std::string& wavPath) override {
        calls.push_back({"sound", wavPath, 0});
        sounds.push_back(ReadFileBytes(wavPath));
        return 1;
    }
    void AddShowFrame() override { calls.push_back({"showframe", "", 0}); }
    void RemoveImage(uint16_t depth) override { calls.push_back({"remove", "", depth}); }
    void FreeImageCharacters() override { calls.push_back({"free", "", 0}); }
    bool IsCancelRequested() override { return cancel; }

    void ShowState(const char* text) override { states.emplace_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(caption + ": " + text);
        return answerYes;
    }

    int Count(const std::string& what) const {
        int n = 0;
        for (const Call& c : calls) {
            n += c.what == what;
        }
        return n;
    }

    std::map<int, Picture> pictures;
    int nextId = 1;
    std::vector<Call> calls;
    std::vector<std::vector<uint8_t>> JpegBytes;
    std::vector<std::pair<int, int>> sizes;
    std::vector<std::vector<uint8_t>> sounds;
    std::vector<std::string> states, messages, questions;
    bool losslessFails = false, imageFails = false, answerYes = true, cancel = false;
};

class AviDecomposerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        ASSERT_TRUE(temp.Ok());
    }
    std::string Movie(const std::string& name, const std::string& args) {
        std::string path = Movies::Get().Make(name, args);
        if (path.empty()) {
            ADD_FAILURE() << "ffmpeg could not make " << name;
        }
        return path;
    }
    // Opens and decomposes; the Decompose result, or -1 when Open failed.
    int Run(const std::string& path) {
        if (!decomposer.Open(&engine, path, temp.Path() + "/")) {
            return -1;
        }
        return decomposer.Decompose(&engine, &settings);
    }
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(temp.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempDir temp;
    RecordingEngine engine;
    DecomposeSettings settings;
    AviDecomposer decomposer;
};

// Checks that the pictures are JPEGs of the size whose pixels average the test colour.
void ExpectPictures(const RecordingEngine& engine, int width, int height, int tolerance) {
    for (size_t i = 0; i < engine.JpegBytes.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i + 1));
        const std::vector<uint8_t>& jpeg = engine.JpegBytes[i];
        ASSERT_GE(jpeg.size(), 4u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        EXPECT_EQ(engine.sizes[i], std::make_pair(width, height));
        RgbImage image;
        ASSERT_EQ(image.LoadMemory(jpeg.data(), jpeg.size()), 0);
        ASSERT_EQ(image.Width(), static_cast<uint32_t>(width));
        ASSERT_EQ(image.Height(), static_cast<uint32_t>(height));
        const uint8_t* p = image.Lock();
        long sum[3] = {0, 0, 0};
        const size_t count = static_cast<size_t>(width) * height;
        for (size_t k = 0; k < count; ++k) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += p[3 * k + c];
            }
        }
        image.Unlock();
        EXPECT_NEAR(sum[0] / static_cast<long>(count), kRed, tolerance);
        EXPECT_NEAR(sum[1] / static_cast<long>(count), kGreen, tolerance);
        EXPECT_NEAR(sum[2] / static_cast<long>(count), kBlue, tolerance);
    }
}

// The call sequence of n taken frames with f ShowFrames each, optionally after one sound.
std::vector<std::string> ExpectedCalls(int frames, int showFrames, bool sound) {
    std::vector<std::string> calls;
    if (sound) {
        calls.push_back("sound");
    }
    for (int i = 0; i < frames; ++i) {
        calls.push_back("image");
        for (int k = 0; k < showFrames; ++k) {
            calls.push_back("showframe");
        }
        calls.push_back("remove");
    }
    return calls;
}
std::vector<std::string> CallNames(const RecordingEngine& engine) {
    std::vector<std::string> names;
    for (const Call& c : engine.calls) {
        names.push_back(c.what);
    }
    return names;
}

// The sound file: 16-bit PCM of the given layout and length, a 440 Hz sine at ffmpeg's default
// level (1/8 of full scale).
void ExpectPcmWav(const std::vector<uint8_t>& wav, int channels, int rate, double seconds) {
    const std::vector<int16_t> samples = mediatest::CheckPcmWav(wav, channels, rate);
    EXPECT_NEAR(static_cast<double>(samples.size()) / channels, seconds * rate, 0.1 * rate);
    int peak = 0;
    for (size_t i = 0; i < samples.size() && i < 2000; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    EXPECT_GT(peak, 2000);
    EXPECT_LT(peak, 6000);
}

} // namespace

// Every video codec, sound codec and container a movie file commonly holds: 11 pictures give
// 11, the first included, each a JPEG of the movie's size and colour; a sound stream,
// wherever it lies in the file, arrives as one 16-bit PCM WAV before the first picture, and
// the file is gone afterwards.
TEST_F(AviDecomposerTest, EachCodecAndContainer) {
    struct Case {
        const char* name;
        std::string args;
        int pictures, tolerance;
        int channels = 0, rate = 22050; // sound: 0 channels for none
        double seconds = 1.1;
    };
    const std::string av = Video() + Sine() + "-map 0:v -map 1:a -c:v mjpeg ";
    const Case cases[] = {
        {"mjpeg.avi", Video() + "-c:v mjpeg", 11, 6},
        {"one_picture.avi", Video(0.1) + "-c:v mjpeg", 1, 6},
        {"cinepak.avi", Video() + "-c:v cinepak", 11, 12},
        {"h264.avi", Video() + "-c:v libx264 -pix_fmt yuv420p", 11, 6},
        {"pcm_after.avi", av + "-c:a pcm_s16le", 11, 6, 1},
        {"adpcm.avi", av + "-c:a adpcm_ms", 11, 6, 1},
        {"mp3.avi", av + "-c:a libmp3lame", 11, 6, 1},
        {"clip.wmv", Video() + Sine() + "-c:v wmv2 -c:a wmav2", 11, 8, 1},
        {"stereo.wma", "-f lavfi -t 1 -i sine=frequency=440:sample_rate=44100 -ac 2 -c:a wmav2", 0,
         0, 2, 44100, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Movie(c.name, c.args);
        if (path.empty()) {
            continue;
        }
        engine = RecordingEngine();
        settings.maxRam = true;
        ASSERT_EQ(Run(path), 1);
        EXPECT_EQ(CallNames(engine), ExpectedCalls(c.pictures, 1, c.channels > 0));
        ExpectPictures(engine, 64, 48, c.tolerance);
        EXPECT_TRUE(engine.messages.empty());
        if (c.channels > 0) {
            ASSERT_EQ(engine.sounds.size(), 1u);
            EXPECT_EQ(engine.calls[0].path, temp.Path() + "/Audio3.wav");
            ExpectPcmWav(engine.sounds[0], c.channels, c.rate, c.seconds);
            EXPECT_FALSE(std::filesystem::exists(temp.File("Audio3.wav")));
        }
    }
}

// Least-RAM mode writes one new JPEG file per frame, owner-only, and hands the store the file;
// a name already taken (a planted link among them) is passed over, never written through.
// (The engine's tests check that maximum-RAM mode writes none and that both modes give the
// same movie.)
TEST_F(AviDecomposerTest, LeastRamWritesOneNewFileAFrame) {
    std::string path = Movie("mpeg4.avi", Video() + "-c:v mpeg4");
    const std::string victim = temp.File("victim");
    ASSERT_TRUE(testutil::WriteFileBytes(victim, {'k', 'e', 'e', 'p'}));
    std::filesystem::create_symlink(victim, temp.File("frame1.jpg"));
    settings.maxRam = false;
    ASSERT_EQ(Run(path), 1);
    ASSERT_EQ(engine.pictures.size(), 11u);
    int n = 1;
    for (auto& [id, p] : engine.pictures) {
        ++n;
        EXPECT_TRUE(p.isFile);
        EXPECT_EQ(p.path, temp.File("frame" + std::to_string(n) + ".jpg"));
        EXPECT_EQ(p.byteCount, static_cast<int>(std::filesystem::file_size(p.path)));
        EXPECT_EQ(std::filesystem::status(p.path).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_EQ(TempFiles().size(), 13u);
    EXPECT_EQ(ReadFileBytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

// A failing frame asks whether to go on: Yes goes on with the next frames, No stops the
// movie and closes the file.
TEST_F(AviDecomposerTest, FailingFramesAskWhetherToContinue) {
    const std::string question = "Error converting frame in AVI Movie, Continue Conversion?";
    std::string path = Movie("mjpeg.avi", Video() + "-c:v mjpeg");
    settings.maxRam = true;

    engine.imageFails = true;
    engine.answerYes = true;
    ASSERT_EQ(Run(path), 1);
    EXPECT_EQ(engine.questions.size(), 11u);
    EXPECT_EQ(engine.questions[0], "Error2: " + question);
    EXPECT_EQ(engine.Count("showframe"), 11);

    engine = RecordingEngine();
    engine.imageFails = true;
    engine.answerYes = false;
    EXPECT_EQ(Run(path), 0);
    EXPECT_EQ(CallNames(engine), std::vector<std::string>{"image"});
    EXPECT_TRUE(engine.states.back().ends_with("  Closeing AVI library..."));
}

TEST_F(AviDecomposerTest, BrokenFilesGiveTheirTexts) {
    EXPECT_EQ(Run(temp.File("missing.avi")), -1);
    EXPECT_EQ(engine.messages, std::vector<std::string>{kAviErrFileOpenText});

    std::vector<uint8_t> whole = ReadFileBytes(Movie("mjpeg.avi", Video() + "-c:v mjpeg"));
    ASSERT_GT(whole.size(), 2000u);
    const std::string header = temp.File("header.avi");
    ASSERT_TRUE(testutil::WriteFileBytes(header, {whole.begin(), whole.begin() + 100}));
    engine.messages.clear();
    EXPECT_EQ(Run(header), -1);
    EXPECT_EQ(engine.messages, std::vector<std::string>{kAviErrBadFormatText});

    // Cut inside the last pictures: what is there is taken, the damaged rest skipped.
    const std::string cut = temp.File("cut.avi");
    ASSERT_TRUE(testutil::WriteFileBytes(cut, {whole.begin(), whole.end() - 700}));
    engine = RecordingEngine();
    settings.maxRam = true;
    EXPECT_EQ(Run(cut), 1);
    EXPECT_GE(engine.Count("image"), 5);
    EXPECT_LT(engine.Count("image"), 10);
}
