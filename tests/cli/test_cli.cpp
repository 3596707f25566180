// The command line: usage errors, --set, the options file switches and the summary through
// RunCli in this process, and whole conversions with the kestrova-cli program whose movies are
// checked with ffmpeg (the bitmap decodes to the source's pixels) and the test-side SWF reader.
#include "cli/cli_app.h"
#include "engine/convert_options.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using std::filesystem::exists;
using testutil::ReadFileBytes;
using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;

// Tag codes: ShowFrame, DefineShape, FreeCharacter, DefineBitsLossless, DefineBitsJPEG2,
// PlaceObject2, RemoveObject2, DefineSprite.
enum Code : uint16_t { kFrame = 1, kShape, kFree, kLossless = 20, kJpeg2, kPlace2 = 26 };
constexpr uint16_t kRemove2 = 28, kSprite = 39;

const std::string kCliProgram = KESTROVA_BINARY_DIR "/src/cli/kestrova-cli";

using testutil::Contains;

swfread::Swf ReadSwf(const std::string& path) {
    swfread::Swf swf;
    std::string error;
    EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << path << ": " << error;
    return swf;
}

std::string SwfBeside(const std::string& source) {
    return source.substr(0, source.rfind('.')) + ".swf";
}

// ---- RunCli in this process ------------------------------------------------------------------

struct CliRun {
    int code = -1;
    std::string out, err;
};

class CliUsage : public ::testing::Test {
protected:
    // Runs RunCli with string streams. Every run reads its own options file (missing until a
    // test saves it, which means defaults), never the user's.
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
        tga[2] = 2; // uncompressed true colour
        tga[12] = static_cast<uint8_t>(width);
        tga[13] = static_cast<uint8_t>(width >> 8);
        tga[14] = static_cast<uint8_t>(height);
        tga[16] = 24;
        std::string path = dir.File(name);
        EXPECT_TRUE(testutil::WriteFileBytes(path, tga));
        return path;
    }

    TempDir dir;
    std::string optionsPath = dir.File("kestrova.ini");
};

TEST_F(CliUsage, BadUsageExitsWithTwoNamingTheOptionOrField) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--set", "frameRat=24"}, "frameRat"},
        {{"--set", "frameRate=abc"}, "abc"},
        {{"--set", "frameRate=0"}, "frameRate"},
        {{"--set", "format.jpg.quality=500"}, "format.jpg.quality"},
        {{"--set", "format.xyz.quality=50"}, "format.xyz.quality"},
        {{"--set", "format.png.compression=gif"}, "gif"},
        {{"--set", "backgroundColor=#12zz56"}, "backgroundColor"},
        {{"--set", "frameRate"}, "frameRate"},
        {{"-y", "-n"}, "--yes"}, // contradictory answers
        {{"--jobs", "0"}, "--jobs 0"},
        {{"-j", "65"}, "--jobs 65"},
    };
    std::string picture = WritePicture("a.tga", 4, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = c.args;
        args.push_back(picture);
        CliRun run = Run(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(Contains(run.err, c.named)) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_FALSE(exists(dir.File("a.swf"))) << "bad usage must not convert anything";
    EXPECT_EQ(Run({}).code, 2); // no files
    CliRun help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "frameRate")) << "the footer lists the --set names";
}

TEST_F(CliUsage, SaveOptionsWritesTheFileLaterRunsReadAndPrintOptionsOnlyPrints) {
    // -o sets the mode of this run only; the saved file keeps the window's choice.
    CliRun saved = Run({"--set", "frameRate=30", "--set", "format.png.compression=jpeg", "--html",
                        "--ruffle-url", "https://cdn.example/ruffle", "--save-options", "-o",
                        dir.File("unused.swf")});
    EXPECT_EQ(saved.code, 0) << saved.err;
    ConvertOptions fromFile;
    ASSERT_EQ(fromFile.LoadOptionsFile(optionsPath), 1);
    EXPECT_EQ(fromFile.frameRate, 30);
    EXPECT_EQ(fromFile.outputMode, OutputIndividual);
    EXPECT_EQ(fromFile.formats[fromFile.FindFormat(FormatPng)].compression, EncodeJpeg);
    EXPECT_EQ(fromFile.writeHtmlPage, 1);
    EXPECT_EQ(fromFile.ruffleUrl, "https://cdn.example/ruffle");

    // A later run starts from the saved file; printing converts nothing and saves nothing.
    std::string picture = WritePicture("a.tga", 4, 4);
    CliRun run = Run({"--set", "framesPerImage=3", "--set", "backgroundColor=#336699",
                      "--print-options", picture});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("[MOVIE_OPS]\r\n", 0), 0u) << run.out;
    EXPECT_TRUE(Contains(run.out, "[ANI-OPS]\r\n30\r\n3\r\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "\r\n[SYS_OPS]\r\n")) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'),
              std::count(run.out.begin(), run.out.end(), '\r'))
        << "every line ends with CR LF";
    ConvertOptions back;
    back.ReadOptionsText(run.out);
    EXPECT_EQ(back.backgroundColor, 0x996633u);
    EXPECT_FALSE(exists(dir.File("a.swf")));
    ASSERT_EQ(fromFile.LoadOptionsFile(optionsPath), 1);
    EXPECT_EQ(fromFile.framesPerImage, 1);

    // The saved page settings apply: a page loading Ruffle from the address, no copy.
    EXPECT_EQ(Run({"-q", picture}).code, 0);
    EXPECT_TRUE(Contains(testutil::ReadFileText(dir.File("a.html")),
                         "<script src=\"https://cdn.example/ruffle/ruffle.js\">"));
    EXPECT_FALSE(exists(dir.File("ruffle")));
}

TEST_F(CliUsage, PlainProgressLinesAndOneSummaryLinePerEntry) {
    std::string first = WritePicture("first.tga", 6, 4);
    std::string second = WritePicture("second.tga", 8, 2);
    std::string missing = dir.File("missing.tga");
    CliRun run = Run({first, missing, second});
    EXPECT_EQ(run.code, 1) << "one entry failed";

    // Without a terminal: one plain line per change of state, counted in 3 steps per entry.
    EXPECT_TRUE(Contains(run.err, "[0/9] ...")) << run.err;
    EXPECT_TRUE(Contains(run.err, "/9] Creating Movie file...\n")) << run.err;
    EXPECT_TRUE(Contains(run.err, "kestrova-cli: Error During Conversion of file: " + missing))
        << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no bar redrawing without a terminal";
    auto in = std::filesystem::file_size(first) + std::filesystem::file_size(second);
    std::string firstLine = first + " -> " + dir.File("first.swf") + "  ";
    EXPECT_TRUE(run.out.starts_with(firstLine)) << run.out;
    EXPECT_TRUE(Contains(run.out, missing + " -> " + SwfBeside(missing) + "  failed\n" + second))
        << run.out;
    EXPECT_TRUE(Contains(run.out, " Bytes\nTotal: " + std::to_string(in / 1000) + " Kb in, "))
        << run.out;
    EXPECT_TRUE(run.out.ends_with(" Kb out\n")) << run.out;

    // Each --set takes one value, so files may follow it.
    CliRun quiet = Run({"-q", "--set", "frameRate=24", first});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
    EXPECT_EQ(ReadSwf(dir.File("first.swf")).header.frameRate8_8 >> 8, 24);
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

// Hostile inputs: each row names its files in the test folder ("@" stands for the folder),
// the exit status, a fragment of standard error, and files that must then hold a given text
// ("" for absent, "*" for present).
TEST_F(CliUsage, HostileInputsAreRefusedClearlyAndLoseNoFile) {
    std::filesystem::create_directories(dir.File("my.dir"));
    std::filesystem::create_directories(dir.File("out.d"));
    std::filesystem::create_directories(dir.File("d.bmp"));
    WritePicture("my.dir/picture", 4, 4);
    WritePicture("keep.swf", 4, 4);
    WritePicture("a.tga", 4, 4);
    WritePicture("a.bmp", 4, 4);
    WritePicture("m.tga", 4, 4);
    WritePicture("wide.tga", 3300, 1); // wider than one shape edge can reach
    std::vector<uint8_t> junk(100);
    for (size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<uint8_t>(i * 97 + 13);
    }
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("x.tga"), junk));
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("x.swf"), {'o', 'l', 'd'}));
    ASSERT_EQ(mkfifo(dir.File("f.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("z.wav"));
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
        // Without an extension the format is unknown; nothing is written beside the folder.
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
        {{"@/z.wav", "/dev/zero"}, 1, "/dev/zero is a device", {{"z.swf", ""}}},
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
            if (text == "*") {
                EXPECT_FALSE(got.empty()) << name;
            } else {
                EXPECT_EQ(got, text) << name;
            }
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
    EXPECT_EQ(ReadSwf(dir.File("m.swf")).header.frameRate8_8 >> 8, 12);
}

// ---- The program, checked with ffmpeg ------------------------------------------------------

constexpr int kWidth = 96;
constexpr int kHeight = 72;

class CliProgram : public ::testing::Test {
protected:
    using CommandResult = testutil::CommandResult;

    void SetUp() override {
        if (!testutil::HaveTool("convert") || !testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ImageMagick convert and ffmpeg are needed";
        }
        ASSERT_TRUE(exists(kCliProgram)) << kCliProgram;
    }

    bool Sh(const std::string& command) {
        return RunCommand(command + " 2>>" + ShellQuote(dir.File("tools.log"))).exitCode == 0;
    }

    // A fixed picture as a PPM to convert from: a two-colour gradient with a rectangle and a
    // circle (125 colours). The blurred variant is the photo-like input of the JPEG checks:
    // hard saturated edges lose more to 4:2:0 chroma subsampling than any photograph does.
    // Returns its pixels as raw RGB.
    std::vector<uint8_t> MakePattern(bool blurred) {
        std::string ppm = dir.File(blurred ? "soft.ppm" : "sharp.ppm");
        EXPECT_TRUE(Sh("convert -size 96x72 gradient:'#1f3a60'-'#f0a030' -fill '#c03030' "
                       "-draw 'rectangle 10,10 40,30' -fill '#e0e0e0' -draw 'circle 60,40 70,52' " +
                       std::string(blurred ? "-blur 0x1.5 " : "") + "-depth 8 " + ShellQuote(ppm)));
        return DecodeWithConvert(ppm);
    }

    std::vector<uint8_t> DecodeWithConvert(const std::string& path) {
        std::string rgb = path + ".ref.rgb";
        EXPECT_TRUE(Sh("convert " + ShellQuote(path) + " -depth 8 rgb:" + ShellQuote(rgb)));
        return ReadFileBytes(rgb);
    }

    // The shell command running the program on args, with no options file and the test folder
    // as the temporary directory.
    std::string ProgramCommand(const std::vector<std::string>& args) {
        std::string command = ShellQuote(kCliProgram) + " --options " +
                              ShellQuote(dir.File("none.ini")) +
                              " --set tempDirectory=" + ShellQuote(dir.Path() + "/");
        for (const std::string& arg : args) {
            command += " " + ShellQuote(arg);
        }
        return command;
    }

    // Runs the program; standard error goes to a file read back into err.
    CommandResult RunProgram(const std::vector<std::string>& args, std::string& err,
                             const std::string& shellPrefix = "") {
        std::string errFile = dir.File("cli-stderr.txt");
        CommandResult result =
            RunCommand(shellPrefix + ProgramCommand(args) + " 2>" + ShellQuote(errFile));
        err = testutil::ReadFileText(errFile);
        // A sanitized build reports memory errors on stderr (with exit status 1, which some
        // tests expect for other reasons).
        EXPECT_FALSE(Contains(err, "Sanitizer") || Contains(err, "runtime error:")) << err;
        return result;
    }

    // What a failed or stopped run may not leave in the test folder: the private temporary
    // folder, or the movie it was writing.
    std::vector<std::string> Leftovers(const std::string& movie) {
        std::vector<std::string> names;
        for (const auto& file : std::filesystem::directory_iterator(dir.Path())) {
            const std::string name = file.path().filename().string();
            if (name.find("kestrova-") != std::string::npos || name == movie) {
                names.push_back(name);
            }
        }
        return names;
    }

    // The pixels a movie of file must show: JPEG and GIF (fewer colours) sources are compared
    // with their own decoded pixels, the others with the pattern.
    std::vector<uint8_t> SourcePixels(const std::string& file,
                                      const std::vector<uint8_t>& pattern) {
        return file.ends_with(".jpg") || file.ends_with(".gif") ? DecodeWithConvert(file) : pattern;
    }

    // The first picture ffmpeg finds in a movie, as rgb24.
    std::vector<uint8_t> DecodeMovie(const std::string& swf) {
        std::string rgb = swf + ".rgb";
        EXPECT_TRUE(Sh("ffmpeg -v error -nostdin -y -i " + ShellQuote(swf) +
                       " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(rgb)))
            << swf;
        return ReadFileBytes(rgb);
    }

    // One picture of each format from the pattern, "<stem>_<kind>.<ext>" so that every movie
    // written beside its source has a name of its own (plus an uncompressed TGA and a palette
    // PNG), converted with one encoding at quality 70. TGA comes from ffmpeg: ImageMagick 6
    // writes rows top-down under a bottom-left origin flag, which other readers turn over.
    std::vector<std::string> ConvertEveryFormat(const std::string& encoding, bool blurred) {
        std::string stem = blurred ? "soft" : "sharp";
        std::string s = dir.File(stem) + "_";
        std::string q = ShellQuote(dir.File(stem + ".ppm"));
        std::string ffmpeg = "ffmpeg -v error -nostdin -y -i " + q;
        const std::pair<std::string, std::string> made[] = {
            {s + "bmp.bmp", "convert " + q + " " + ShellQuote(s + "bmp.bmp")},
            {s + "jpg.jpg", "convert " + q + " -quality 90 " + ShellQuote(s + "jpg.jpg")},
            {s + "png.png", "convert " + q + " " + ShellQuote("PNG24:" + s + "png.png")},
            {s + "palette.png", "convert " + q + " " + ShellQuote("PNG8:" + s + "palette.png")},
            {s + "pcx.pcx", "convert " + q + " " + ShellQuote(s + "pcx.pcx")},
            {s + "psd.psd", "convert " + q + " " + ShellQuote(s + "psd.psd")},
            {s + "rle.tga", ffmpeg + " " + ShellQuote(s + "rle.tga")},
            {s + "raw.tga", ffmpeg + " -rle 0 " + ShellQuote(s + "raw.tga")},
            {s + "lzw.tif", "convert " + q + " -compress lzw " + ShellQuote(s + "lzw.tif")},
            {s + "gif.gif", "convert " + q + " " + ShellQuote(s + "gif.gif")},
            {s + "webp.webp",
             "convert " + q + " -define webp:lossless=true " + ShellQuote(s + "webp.webp")},
        };
        std::vector<std::string> args = {"-q"};
        for (const char* ext : {"bmp", "jpg", "png", "pcx", "psd", "tga", "tif"}) {
            // Files below smallFileLimitKb take the small-file pair, so both pairs are set.
            for (const char* field : {"compression=", "smallCompression="}) {
                args.insert(args.end(),
                            {"--set", "format." + std::string(ext) + "." + field + encoding});
            }
            for (const char* field : {"quality=70", "smallQuality=70"}) {
                args.insert(args.end(), {"--set", "format." + std::string(ext) + "." + field});
            }
        }
        std::vector<std::string> files;
        for (const auto& [path, command] : made) {
            EXPECT_TRUE(Sh(command)) << command;
            files.push_back(path);
            args.push_back(path);
        }
        std::string err;
        CommandResult run = RunProgram(args, err);
        EXPECT_EQ(run.exitCode, 0) << err << run.output;
        return files;
    }

    TempDir dir;
};

TEST_F(CliProgram, LosslessBitmapOfEveryFormatDecodesToTheSourcePixels) {
    std::vector<uint8_t> pattern = MakePattern(false);
    ASSERT_EQ(pattern.size(), size_t{kWidth * kHeight * 3});
    for (const std::string& file : ConvertEveryFormat("lossless", false)) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(DecodeMovie(SwfBeside(file)) == SourcePixels(file, pattern));

        swfread::Swf swf = ReadSwf(SwfBeside(file));
        EXPECT_EQ(swfread::CountTags(swf.tags, kLossless), 1u);
        EXPECT_EQ(swfread::CountTags(swf.tags, kJpeg2), 0u);
    }
}

TEST_F(CliProgram, JpegBitmapAtQuality70StaysCloseToTheSource) {
    std::vector<uint8_t> pattern = MakePattern(true);
    for (const std::string& file : ConvertEveryFormat("jpeg", true)) {
        SCOPED_TRACE(file);
        swfread::Swf swf = ReadSwf(SwfBeside(file));
        EXPECT_EQ(swfread::CountTags(swf.tags, kJpeg2), 1u);
        EXPECT_EQ(swfread::CountTags(swf.tags, kLossless), 0u);
        std::vector<uint8_t> expected = SourcePixels(file, pattern);
        std::vector<uint8_t> decoded = DecodeMovie(SwfBeside(file));
        ASSERT_EQ(decoded.size(), expected.size());
        double sum = 0;
        for (size_t i = 0; i < decoded.size(); ++i) {
            sum += (decoded[i] - expected[i]) * (decoded[i] - expected[i]);
        }
        double psnr = 10.0 * std::log10(255.0 * 255.0 * decoded.size() / std::max(sum, 1.0));
        EXPECT_GT(psnr, 30.0);
        EXPECT_LT(psnr, 60.0) << "quality 70 cannot be near lossless";
    }
}

TEST_F(CliProgram, BrokenEntriesAreReportedAndTheOthersStillConvert) {
    MakePattern(false);
    std::string ppm = ShellQuote(dir.File("sharp.ppm"));
    std::string good = dir.File("good.png"), goodBmp = dir.File("other.bmp");
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote("PNG24:" + good)));
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote(goodBmp)));
    std::vector<uint8_t> png = ReadFileBytes(good);
    png.resize(png.size() / 2);
    std::string truncated = dir.File("truncated.png"), text = dir.File("text.png");
    std::string unknown = dir.File("notes.xyz");
    ASSERT_TRUE(testutil::WriteFileBytes(truncated, png));
    const std::string words = "This is a text file, not a picture.\n";
    for (const std::string& path : {text, unknown}) {
        ASSERT_TRUE(testutil::WriteFileBytes(path, {words.begin(), words.end()}));
    }

    std::string err;
    CommandResult run = RunProgram({good, truncated, text, unknown, goodBmp}, err);
    EXPECT_EQ(run.exitCode, 1);
    for (const std::string& broken : {truncated, text}) {
        EXPECT_TRUE(Contains(err, "kestrova-cli: Error During Conversion of file: " + broken + " "))
            << err;
        EXPECT_TRUE(Contains(run.output, broken + " -> " + SwfBeside(broken) + "  failed\n"))
            << run.output;
    }
    EXPECT_TRUE(Contains(err, "kestrova-cli: Error, Unknown/supported File Format " + unknown))
        << err;
    for (const std::string& file : {good, goodBmp}) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(Contains(err, "file: " + file)) << err;
        EXPECT_EQ(DecodeMovie(SwfBeside(file)).size(), size_t{kWidth * kHeight * 3});
        EXPECT_TRUE(Contains(run.output, file + " -> " + SwfBeside(file) + "  ")) << run.output;
    }
}

// A file-size limit fails the entry like a full disk: no partial movie, no temporary folder.
TEST_F(CliProgram, AFileSizeLimitFailsTheEntryAndLeavesNothingBehind) {
    std::string noise = dir.File("noise.bmp");
    ASSERT_TRUE(Sh("convert -size 200x200 xc: +noise Random " + ShellQuote(noise)));
    std::string err;
    EXPECT_EQ(RunProgram({"-q", noise}, err, "ulimit -f 16; ").exitCode, 1) << err;
    EXPECT_EQ(Leftovers("noise.swf"), std::vector<std::string>{});
}

// Ctrl+C, kill and a closed terminal cancel a running conversion: exit 1, and neither the
// private temporary folder nor a partial movie is left. The signal is sent once the temporary
// folder exists, while three workers take the first of two movies' thousand frames out.
TEST_F(CliProgram, StopSignalsCancelAndLeaveNothingBehind) {
    std::string movie = dir.File("long.avi"), copy = dir.File("copy.avi");
    ASSERT_TRUE(Sh("ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=320x240:rate=25 -t 40 "
                   "-c:v mjpeg " +
                   ShellQuote(movie) + " && cp " + ShellQuote(movie) + " " + ShellQuote(copy)));
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const std::string command =
            "exec " +
            ProgramCommand({"-q", "--jobs", "3", "-o", dir.File("long.swf"), movie, copy}) +
            " 2>/dev/null";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        while (Leftovers("long.swf").empty() && waitpid(child, nullptr, WNOHANG) == 0) {
            sched_yield();
        }
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(Leftovers("long.swf"), std::vector<std::string>{});
    }
}

// The movie containers people have convert through the ".avi" entry, every frame taken.
TEST_F(CliProgram, MovieContainersConvertEveryFrame) {
    const std::pair<const char*, const char*> clips[] = {
        {"h264.mp4", "-c:v libx264 -pix_fmt yuv420p"},
        {"mpeg4.M4V", "-c:v mpeg4"},
        {"mjpeg.mkv", "-c:v mjpeg"},
        {"vp8.webm", "-c:v libvpx"},
        {"spark.flv", "-c:v flv"},
        {"mpeg1.mpg", "-c:v mpeg1video"},
        {"mpeg2.mpeg", "-c:v mpeg2video"},
        {"phone.3gp", "-c:v mpeg4"},
        {"quicktime.mov", "-c:v mjpeg"},
        {"msmpeg4.asf", "-c:v msmpeg4"},
    };
    std::vector<std::string> args = {"-q"};
    for (auto [name, codec] : clips) {
        const std::string path = dir.File(std::string("clip_") + name);
        ASSERT_TRUE(Sh("ffmpeg -v error -nostdin -y -f lavfi -i testsrc=s=64x48:r=25 -frames:v 4 " +
                       std::string(codec) + " " + ShellQuote(path)))
            << name;
        args.push_back(path);
    }
    std::string err;
    CommandResult run = RunProgram(args, err);
    EXPECT_EQ(run.exitCode, 0) << err << run.output;
    for (size_t i = 1; i < args.size(); ++i) {
        swfread::Swf swf = ReadSwf(SwfBeside(args[i]));
        EXPECT_EQ(swf.header.frameCount, 4) << args[i];
        EXPECT_EQ(swfread::CountTags(swf.tags, kJpeg2), 4u) << args[i];
    }
}

TEST_F(CliProgram, SingleMovieHoldsEveryPictureInTurn) {
    MakePattern(false);
    std::string ppm = ShellQuote(dir.File("sharp.ppm"));
    std::vector<std::string> files = {dir.File("one.png"), dir.File("two.bmp"),
                                      dir.File("three.jpg")};
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote("PNG24:" + files[0])));
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote(files[1])));
    ASSERT_TRUE(Sh("convert " + ppm + " -resize 50% " + ShellQuote(files[2])));

    std::string out = dir.File("all"); // the save path fix-up appends ".swf"
    std::vector<std::string> args = {"-q", "-o", out, "--set", "framesPerImage=2"};
    args.insert(args.end(), files.begin(), files.end());
    std::string err;
    CommandResult run = RunProgram(args, err);
    ASSERT_EQ(run.exitCode, 0) << err << run.output;
    EXPECT_FALSE(exists(SwfBeside(files[0])));

    swfread::Swf swf = ReadSwf(out + ".swf");
    EXPECT_EQ(swf.header.frameCount, 6);
    EXPECT_EQ(swf.header.frameSize.xMax, kWidth * 20) << "sized to the largest picture";
    EXPECT_EQ(swf.header.frameSize.yMax, kHeight * 20);
    // PNG is lossless by default, BMP and JPEG are not.
    const std::pair<uint16_t, size_t> counts[] = {{kFrame, 6},   {kLossless, 1}, {kJpeg2, 2},
                                                  {kShape, 3},   {kSprite, 3},   {kPlace2, 3},
                                                  {kRemove2, 3}, {kFree, 9}};
    for (auto [code, count] : counts) {
        EXPECT_EQ(swfread::CountTags(swf.tags, code), count) << "tag " << code;
    }
    // Each picture is defined and placed before its own frames.
    std::vector<size_t> framesBeforeBitmap;
    size_t frames = 0;
    for (const swfread::Tag& tag : swf.tags) {
        frames += tag.code == kFrame;
        if (tag.code == kLossless || tag.code == kJpeg2) {
            framesBeforeBitmap.push_back(frames);
        }
    }
    EXPECT_EQ(framesBeforeBitmap, (std::vector<size_t>{0, 2, 4}));

    // Summary: merged entries say so, the last one carries the movie's size.
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(Contains(run.output, files[i] + " -> " + out + ".swf  (in single movie)\n"))
            << run.output;
    }
    std::string last = files[2] + " -> " + out + ".swf  ";
    size_t at = run.output.find(last);
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_GT(std::stoi(run.output.substr(at + last.size())), 0) << run.output;
    EXPECT_TRUE(Contains(run.output, " Bytes\nTotal: ")) << run.output;
    EXPECT_TRUE(run.output.ends_with(" Kb out\n")) << run.output;
}

} // namespace
