// The command line: usage errors, the options file switches, the summary and hostile inputs
// through RunCli in this process; whole conversions with the kestrova-cli program, whose
// bitmaps ffmpeg decodes to the source's pixels.
#include "cli/cli_app.h"
#include "engine/convert_options.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>

namespace kestrova::test {

namespace {

using std::filesystem::exists;
using testutil::Contains;
using testutil::ShellQuote;

const std::string kCliProgram = KESTROVA_BINARY_DIR "/src/cli/kestrova-cli";

std::string SwfBeside(const std::string& source) {
    return source.substr(0, source.rfind('.')) + ".swf";
}

int FrameRate(const std::string& movie) {
    swfread::Swf swf;
    EXPECT_TRUE(swfread::ParseSwfFile(movie, swf)) << movie;
    return swf.header.frameRate8_8 >> 8;
}

struct CliRun {
    int code = -1;
    std::string out, err;
};

class CliUsage : public ::testing::Test {
protected:
    // RunCli with string streams, on an options file of the test's own (missing: defaults).
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"kestrova-cli", "--options", optionsPath});
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::ostringstream out, err;
        CliRun run;
        run.code = RunCli(static_cast<int>(args.size()), argv.data(), out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    // A small uncompressed 24-bit TGA, grey all over.
    std::string WritePicture(const std::string& name, int width, int height) {
        std::vector<uint8_t> tga(18 + width * height * 3, 0x80);
        std::fill(tga.begin(), tga.begin() + 18, 0);
        tga[2] = 2;
        tga[12] = static_cast<uint8_t>(width);
        tga[13] = static_cast<uint8_t>(width >> 8);
        tga[14] = static_cast<uint8_t>(height);
        tga[16] = 24;
        EXPECT_TRUE(testutil::WriteFileBytes(dir.File(name), tga));
        return dir.File(name);
    }

    testutil::TempDir dir;
    std::string optionsPath = dir.File("kestrova.ini");
};

TEST_F(CliUsage, BadUsageExitsWithTwoNamingTheOptionOrField) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--set", "frameRat=24"}, "frameRat"},
        {{"--set", "frameRate=0"}, "frameRate"},
        {{"--set", "frameRate"}, "frameRate"},
        {{"-y", "-n"}, "--yes"},
        {{"--jobs", "0"}, "--jobs 0"},
        {{"-j", "65"}, "--jobs 65"},
    };
    std::string picture = WritePicture("a.tga", 4, 4);
    for (const auto& [given, named] : cases) {
        std::vector<std::string> args = given;
        args.push_back(picture);
        CliRun run = Run(args);
        EXPECT_EQ(run.code, 2) << named;
        EXPECT_TRUE(Contains(run.err, named)) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_FALSE(exists(dir.File("a.swf")));
    EXPECT_EQ(Run({}).code, 2);
}

TEST_F(CliUsage, SaveOptionsWritesTheFileAndPrintOptionsOnlyPrints) {
    // -o sets the mode of this run only; the saved file keeps the window's choice.
    CliRun saved = Run({"--set", "frameRate=30", "--html", "--ruffle-url",
                        "https://cdn.example/ruffle", "--save-options", "-o", dir.File("x.swf")});
    EXPECT_EQ(saved.code, 0) << saved.err;
    ConvertOptions fromFile;
    ASSERT_EQ(fromFile.LoadOptionsFile(optionsPath), 1);
    EXPECT_EQ(fromFile.frameRate, 30);
    EXPECT_EQ(fromFile.outputMode, OutputIndividual);
    EXPECT_EQ(fromFile.ruffleUrl, "https://cdn.example/ruffle");

    std::string picture = WritePicture("a.tga", 4, 4);
    CliRun printed = Run({"--set", "framesPerImage=3", "--print-options", picture});
    EXPECT_EQ(printed.code, 0) << printed.err;
    EXPECT_TRUE(Contains(printed.out, "[ANI-OPS]\r\n30\r\n3\r\n")) << printed.out;
    EXPECT_FALSE(exists(dir.File("a.swf")));

    // A later run starts from the saved file: its rate, and a page loading Ruffle from there.
    EXPECT_EQ(Run({"-q", picture}).code, 0);
    EXPECT_EQ(FrameRate(dir.File("a.swf")), 30);
    EXPECT_TRUE(Contains(testutil::ReadFileText(dir.File("a.html")),
                         "<script src=\"https://cdn.example/ruffle/ruffle.js\">"));
}

TEST_F(CliUsage, PlainProgressLinesAndOneSummaryLinePerEntry) {
    std::string first = WritePicture("first.tga", 6, 4);
    std::string missing = dir.File("missing.tga");
    CliRun run = Run({first, missing});
    EXPECT_EQ(run.code, 1) << "one entry failed";
    // Without a terminal: one plain line per change of state, counted in 3 steps per entry.
    EXPECT_TRUE(Contains(run.err, "[0/6] ...")) << run.err;
    EXPECT_TRUE(Contains(run.err, "/6] Creating Movie file...\n")) << run.err;
    EXPECT_TRUE(Contains(run.err, "kestrova-cli: Error During Conversion of file: " + missing));
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_TRUE(run.out.starts_with(first + " -> " + dir.File("first.swf") + "  ")) << run.out;
    EXPECT_TRUE(Contains(run.out, " Bytes\n" + missing + " -> " + SwfBeside(missing) +
                                      "  failed\nTotal: 0 Kb in, "))
        << run.out;
    EXPECT_TRUE(run.out.ends_with(" Kb out\n")) << run.out;
}

// Several workers change nothing the user sees: the same progress lines, messages and summary,
// in list order, with failing entries among the good ones.
TEST_F(CliUsage, SeveralWorkersReportLikeOne) {
    std::vector<std::string> files;
    for (int i = 0; i < 7; ++i) {
        files.push_back(WritePicture("p" + std::to_string(i) + ".tga", 3 + i, 2));
    }
    files[2] = dir.File("missing.tga");
    ASSERT_TRUE(testutil::WriteFileBytes(files[4], {'n', 'o', 't', ' ', 'a', ' ', 't', 'g', 'a'}));
    files.insert(files.begin(), "--jobs");
    files.insert(files.begin() + 1, "1");
    CliRun one = Run(files);
    files[1] = "4";
    CliRun four = Run(files);
    EXPECT_EQ(four.code, 1);
    EXPECT_EQ(four.err, one.err);
    EXPECT_EQ(four.out, one.out);
    EXPECT_TRUE(Contains(four.out, "p6.swf  ")) << four.out;
}

// Each row names its files in the test folder ("@" stands for the folder), the exit status, a
// fragment of standard error, and files that must then hold a text ("" absent, "*" present).
TEST_F(CliUsage, HostileInputsAreRefusedClearlyAndLoseNoFile) {
    for (const char* folder : {"my.dir", "out.d", "d.bmp"}) {
        std::filesystem::create_directories(dir.File(folder));
    }
    for (const char* name : {"my.dir/picture", "keep.swf", "a.tga", "a.bmp", "m.tga"}) {
        WritePicture(name, 4, 4);
    }
    WritePicture("wide.tga", 3300, 1); // wider than one shape edge can reach
    std::vector<uint8_t> junk(100);
    for (size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<uint8_t>(i * 97 + 13);
    }
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("x.tga"), junk));
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("x.swf"), {'o', 'l', 'd'}));
    ASSERT_EQ(mkfifo(dir.File("f.wav").c_str(), 0600), 0);
    const std::string keepText = testutil::ReadFileText(dir.File("keep.swf"));

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string fragment;
        std::vector<std::pair<std::string, std::string>> files;
    };
    const Case cases[] = {
        {{"@/x.tga"}, 1, "Error During Conversion of file: @/x.tga", {{"x.swf", "old"}}},
        {{"@/keep.swf"}, 1, "which is the file itself", {{"keep.swf", keepText}}},
        {{"@/my.dir/picture"},
         1,
         "Unknown/supported File Format @/my.dir/picture",
         {{"my.swf", ""}}},
        {{"-o", "@/out.d/m", "@/m.tga"}, 0, "", {{"out.d/m.swf", "*"}, {"out.swf", ""}}},
        {{"@/a.tga", "@/a.bmp"},
         1,
         "@/a.tga and @/a.bmp would both be written to @/a.swf",
         {{"a.swf", "*"}}},
        {{"@/d.bmp"}, 1, "@/d.bmp is a folder, not a regular file", {{"d.swf", ""}}},
        {{"@/f.wav"}, 1, "@/f.wav is a pipe", {{"f.swf", ""}}},
        {{"/dev/zero"}, 1, "/dev/zero is a device", {}},
        {{"--set", "framesPerImage=2000000000", "@/m.tga"}, 2, "framesPerImage", {{"m.swf", ""}}},
        {{"@/wide.tga"}, 0, "", {{"wide.swf", "*"}}},
    };
    auto expand = [&](std::string text) {
        for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
            text.replace(at, 1, dir.Path());
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            args.push_back(expand(arg));
        }
        CliRun run = Run(args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_TRUE(Contains(run.err, expand(c.fragment))) << run.err;
        for (const auto& [name, text] : c.files) {
            const std::string got = testutil::ReadFileText(dir.File(name));
            EXPECT_TRUE(text == "*" ? !got.empty() : got == text) << name;
        }
    }

    // A number out of range in the options file takes its default, with a warning.
    ConvertOptions saved;
    saved.frameRate = 0;
    ASSERT_EQ(saved.SaveOptionsFile(optionsPath), 1);
    CliRun run = Run({"-q", dir.File("m.tga")});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(
        Contains(run.err, "kestrova-cli: warning: options file " + optionsPath +
                              ": bad value \"0\" for frameRate (expected 1..120); using 12\n"))
        << run.err;
    EXPECT_EQ(FrameRate(dir.File("m.swf")), 12);
}

// ---- The program, checked with ffmpeg ------------------------------------------------------

class CliProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("convert") || !testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ImageMagick convert and ffmpeg are needed";
        }
    }
    bool Sh(const std::string& command) {
        return testutil::RunCommand(command + " 2>>" + ShellQuote(dir.File("tools.log")))
                   .exitCode == 0;
    }
    std::vector<uint8_t> Rgb(const std::string& path) {
        EXPECT_TRUE(
            Sh("convert " + ShellQuote(path) + " -depth 8 rgb:" + ShellQuote(path + ".rgb")));
        return testutil::ReadFileBytes(path + ".rgb");
    }
    // The first picture ffmpeg finds in a movie, as rgb24.
    std::vector<uint8_t> DecodeMovie(const std::string& swf) {
        EXPECT_TRUE(Sh("ffmpeg -v error -nostdin -y -i " + ShellQuote(swf) +
                       " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(swf + ".rgb")));
        return testutil::ReadFileBytes(swf + ".rgb");
    }
    // The program on args, with no options file and the test folder as the temporary one.
    std::string Command(const std::vector<std::string>& args) {
        std::string command = ShellQuote(kCliProgram) + " --options " +
                              ShellQuote(dir.File("none.ini")) +
                              " --set tempDirectory=" + ShellQuote(dir.Path() + "/");
        for (const std::string& arg : args) {
            command += " " + ShellQuote(arg);
        }
        return command;
    }
    testutil::TempDir dir;
};

// One picture of each format, converted lossless (the movie shows the source's pixels) and as
// JPEG at quality 70 from a blurred, photo-like picture (close, but not near lossless). JPEG
// and GIF sources are compared with their own decoded pixels. TGA comes from ffmpeg:
// ImageMagick 6 writes rows top-down under a bottom-left origin flag.
TEST_F(CliProgram, EveryFormatDecodesToTheSourcePixels) {
    for (const char* encoding : {"lossless", "jpeg"}) {
        const bool jpeg = encoding == std::string("jpeg");
        const std::string ppm = dir.File(std::string(encoding) + ".ppm"), q = ShellQuote(ppm);
        ASSERT_TRUE(Sh("convert -size 96x72 gradient:'#1f3a60'-'#f0a030' -fill '#c03030' -draw "
                       "'rectangle 10,10 40,30' " +
                       std::string(jpeg ? "-blur 0x1.5 " : "") + "-depth 8 " + q));
        const std::vector<uint8_t> pattern = Rgb(ppm);
        std::vector<std::string> args = {"-q"};
        for (const char* ext : {"bmp", "jpg", "png", "pcx", "psd", "tga", "tif"}) {
            for (const char* field : {".compression=", ".smallCompression="}) {
                args.insert(args.end(), {"--set", std::string("format.") + ext + field + encoding});
            }
            args.insert(args.end(), {"--set", std::string("format.") + ext + ".quality=70"});
        }
        const size_t firstFile = args.size();
        const std::pair<const char*, const char*> made[] = {
            {"bmp.bmp", "convert # %"},
            {"jpg.jpg", "convert # -quality 90 %"},
            {"png.png", "convert # PNG24:%"},
            {"palette.png", "convert # PNG8:%"},
            {"pcx.pcx", "convert # %"},
            {"psd.psd", "convert # %"},
            {"lzw.tif", "convert # -compress lzw %"},
            {"gif.gif", "convert # %"},
            {"rle.tga", "ffmpeg -v error -nostdin -y -i # %"},
            {"webp.webp", "convert # -define webp:lossless=true %"},
        };
        for (auto [name, pattern_command] : made) {
            const std::string path = dir.File(std::string(encoding) + "_" + name);
            std::string command = pattern_command;
            command.replace(command.find('#'), 1, q);
            command.replace(command.find('%'), 1, ShellQuote(path));
            ASSERT_TRUE(Sh(command)) << command;
            args.push_back(path);
        }
        ASSERT_TRUE(Sh(Command(args)));
        for (size_t i = firstFile; i < args.size(); ++i) {
            const std::string& file = args[i];
            SCOPED_TRACE(file);
            const std::vector<uint8_t> expected =
                file.ends_with(".jpg") || file.ends_with(".gif") ? Rgb(file) : pattern;
            const std::vector<uint8_t> decoded = DecodeMovie(SwfBeside(file));
            ASSERT_EQ(decoded.size(), expected.size());
            double sum = 0;
            for (size_t k = 0; k < decoded.size(); ++k) {
                sum += (decoded[k] - expected[k]) * (decoded[k] - expected[k]);
            }
            const double psnr =
                10 * std::log10(255.0 * 255.0 * decoded.size() / std::max(sum, 1.0));
            if (!jpeg) {
                EXPECT_EQ(sum, 0);
            } else {
                EXPECT_GT(psnr, 30.0);
                EXPECT_LT(psnr, 60.0) << "quality 70 cannot be near lossless";
            }
        }
    }
}

// A picture, a WAV file and a picture in one movie: the tags come in the driver's order and
// FFmpeg's SWF demuxer gives the uncompressed samples back exactly (its first audio stream is
// the stream head, which carries no data).
TEST_F(CliProgram, SoundBetweenPicturesKeepsTheDriverOrderAndItsSamples) {
    ASSERT_TRUE(Sh("convert -size 40x30 gradient:red-blue " + ShellQuote(dir.File("a.png"))));
    ASSERT_TRUE(Sh("convert -size 40x30 xc:green " + ShellQuote(dir.File("b.bmp"))));
    ASSERT_TRUE(Sh("ffmpeg -v error -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*(200+900*t)*t)|"
                   "0.4*sin(2*PI*(300+600*t)*t):s=22050:d=1' -c:a pcm_s16le " +
                   ShellQuote(dir.File("tone.wav"))));
    ASSERT_TRUE(Sh(Command({"-q", "-o", dir.File("mixed"), "--set", "optimizePlayback=0", "--set",
                            "format.wav.compression=6", dir.File("a.png"), dir.File("tone.wav"),
                            dir.File("b.bmp")}) +
                   " >/dev/null"));
    swfread::Swf swf;
    ASSERT_TRUE(swfread::ParseSwfFile(dir.File("mixed.swf"), swf));
    std::vector<uint16_t> codes;
    for (const swfread::Tag& t : swf.tags) {
        codes.push_back(t.code);
    }
    // background; picture, frame, removal; stream head, sound, start, removal; picture,
    // frame, removal; end.
    EXPECT_EQ(codes, (std::vector<uint16_t>{9, 20, 2, 39, 26, 1, 28, 18, 14, 15, 28, 21, 2, 39, 26,
                                            1, 28, 0}));
    EXPECT_EQ(swf.header.frameCount, 2);
    ASSERT_TRUE(Sh("ffmpeg -v error -y -i " + ShellQuote(dir.File("tone.wav")) + " -f s16le " +
                   ShellQuote(dir.File("tone.raw"))));
    ASSERT_TRUE(Sh("ffmpeg -v error -y -i " + ShellQuote(dir.File("mixed.swf")) +
                   " -map 0:a:1 -f s16le -ac 2 " + ShellQuote(dir.File("decoded.raw"))));
    const std::vector<uint8_t> source = testutil::ReadFileBytes(dir.File("tone.raw"));
    EXPECT_EQ(source.size(), 22050u * 4);
    EXPECT_TRUE(testutil::ReadFileBytes(dir.File("decoded.raw")) == source);
}

} // namespace

} // namespace kestrova::test
