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
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testutil::ReadFileBytes;
using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;

enum Code : uint16_t {
    ShowFrame = 1,
    DefineShape = 2,
    FreeCharacter = 3,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineSprite = 39,
};

const std::string kCliProgram = KESTROVA_BINARY_DIR "/src/cli/kestrova-cli";

// Every picture format of the options' table that the imaging layer reads.
const char* const kPictureExtensions[] = {"bmp", "jpg", "png", "pcx", "psd", "tga", "tif"};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

long long FileLength(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
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

    // A small uncompressed 24-bit BMP: red left half, blue right half.
    std::string WriteBmp(const std::string& name, int width, int height) {
        int rowBytes = (width * 3 + 3) / 4 * 4;
        std::vector<uint8_t> bmp(54 + static_cast<size_t>(rowBytes) * height, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
            }
        };
        bmp[0] = 'B';
        bmp[1] = 'M';
        put32(2, static_cast<uint32_t>(bmp.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<uint32_t>(width));
        put32(22, static_cast<uint32_t>(height));
        bmp[26] = 1;
        bmp[28] = 24;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &bmp[54 + static_cast<size_t>(y) * rowBytes + x * 3];
                p[x < width / 2 ? 2 : 0] = 0xFF; // stored blue, green, red
            }
        }
        std::string path = dir.File(name);
        EXPECT_TRUE(testutil::WriteFileBytes(path, bmp));
        return path;
    }

    TempDir dir;
    std::string optionsPath = dir.File("kestrova.ini");
};

TEST_F(CliUsage, UnknownOptionIsBadUsageNamingIt) {
    CliRun run = Run({"--bogus", dir.File("a.png")});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "--bogus")) << run.err;
    EXPECT_FALSE(FileExists(dir.File("a.swf")));
}

TEST_F(CliUsage, UnknownFieldOrBadValueIsBadUsageNamingIt) {
    struct Case {
        const char* setting;
        const char* named;
    };
    const Case cases[] = {
        {"frameRat=24", "frameRat"},
        {"frameRate=abc", "abc"},
        {"frameRate=0", "frameRate"},
        {"format.jpg.quality=500", "format.jpg.quality"},
        {"format.xyz.quality=50", "format.xyz.quality"},
        {"format.png.compression=gif", "gif"},
        {"backgroundColor=#12zz56", "backgroundColor"},
        {"frameRate", "frameRate"},
    };
    std::string picture = WriteBmp("a.bmp", 4, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        CliRun run = Run({"--set", c.setting, picture});
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(Contains(run.err, c.named)) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_FALSE(FileExists(dir.File("a.swf"))) << "bad usage must not convert anything";
}

TEST_F(CliUsage, EachSetTakesOneValueSoFilesMayFollowIt) {
    std::string picture = WriteBmp("a.bmp", 4, 4);
    CliRun run = Run({"-q", "--set", "frameRate=24", "--set", "backgroundColor=#336699", picture});
    EXPECT_EQ(run.code, 0) << run.err;
    swfread::Swf swf;
    std::string error;
    ASSERT_TRUE(swfread::ParseSwfFile(dir.File("a.swf"), swf, &error)) << error;
    EXPECT_EQ(swf.header.frameRate8_8 >> 8, 24);
}

TEST_F(CliUsage, PrintOptionsWritesTheOptionsFileLayoutAndConvertsNothing) {
    std::string picture = WriteBmp("a.bmp", 4, 4);
    CliRun run = Run({"--set", "frameRate=24", "--set", "backgroundColor=#336699", "--set",
                      "format.jpg.quality=90", "--print-options", picture});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("[MOVIE_OPS]\r\n", 0), 0u) << run.out;
    EXPECT_TRUE(Contains(run.out, "[ANI-OPS]\r\n24\r\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "\r\n[SYS_OPS]\r\n")) << run.out;
    size_t lines = 0, crlf = 0;
    for (size_t i = 0; i < run.out.size(); ++i) {
        lines += run.out[i] == '\n';
        crlf += run.out[i] == '\n' && i > 0 && run.out[i - 1] == '\r';
    }
    EXPECT_EQ(lines, crlf) << "every line ends with CR LF";

    ConvertOptions back;
    back.ReadOptionsText(run.out);
    EXPECT_EQ(back.frameRate, 24);
    EXPECT_EQ(back.backgroundColor, 0x996633u);
    EXPECT_EQ(back.formats[back.FindFormat(FormatJpg)].quality, 90);
    EXPECT_FALSE(FileExists(dir.File("a.swf")));
    EXPECT_FALSE(FileExists(optionsPath)) << "printing does not save";
}

TEST_F(CliUsage, SaveOptionsWritesTheOptionsFileThatLaterRunsRead) {
    CliRun saved =
        Run({"--set", "frameRate=30", "--set", "format.png.compression=jpeg", "--save-options"});
    EXPECT_EQ(saved.code, 0) << saved.err;
    ConvertOptions fromFile;
    ASSERT_EQ(fromFile.LoadOptionsFile(optionsPath), 1);
    EXPECT_EQ(fromFile.frameRate, 30);
    EXPECT_EQ(fromFile.formats[fromFile.FindFormat(FormatPng)].compression, EncodeJpeg);

    // A later run starts from the saved file; --set without --save-options leaves it alone.
    CliRun printed = Run({"--set", "framesPerImage=3", "--print-options"});
    EXPECT_EQ(printed.code, 0);
    EXPECT_TRUE(Contains(printed.out, "[ANI-OPS]\r\n30\r\n3\r\n")) << printed.out;
    ConvertOptions again;
    ASSERT_EQ(again.LoadOptionsFile(optionsPath), 1);
    EXPECT_EQ(again.framesPerImage, 1);
}

TEST_F(CliUsage, HelpNoFilesAndContradictoryAnswers) {
    CliRun help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "--single")) << help.out;
    EXPECT_TRUE(Contains(help.out, "frameRate")) << "the footer lists the --set names";

    CliRun none = Run({});
    EXPECT_EQ(none.code, 2);
    EXPECT_FALSE(none.err.empty());

    CliRun both = Run({"-y", "-n", WriteBmp("a.bmp", 2, 2)});
    EXPECT_EQ(both.code, 2);
    EXPECT_TRUE(Contains(both.err, "--yes")) << both.err;
    EXPECT_FALSE(FileExists(dir.File("a.swf")));
}

TEST_F(CliUsage, PlainProgressLinesAndOneSummaryLinePerEntry) {
    std::string first = WriteBmp("first.bmp", 6, 4);
    std::string second = WriteBmp("second.bmp", 8, 2);
    std::string missing = dir.File("missing.bmp");
    CliRun run = Run({first, missing, second});
    EXPECT_EQ(run.code, 1) << "one entry failed";

    // Without a terminal: one plain line per change of state, counted in 3 steps per entry.
    EXPECT_TRUE(Contains(run.err, "[0/9] ...")) << run.err;
    EXPECT_TRUE(Contains(run.err, "/9] Creating Movie file...\n")) << run.err;
    EXPECT_TRUE(Contains(run.err, "kestrova-cli: Error During Conversion of file: " + missing))
        << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no bar redrawing without a terminal";

    std::istringstream lines(run.out);
    std::string line;
    std::vector<std::string> summary;
    while (std::getline(lines, line)) {
        summary.push_back(line);
    }
    ASSERT_EQ(summary.size(), 4u) << run.out;
    EXPECT_EQ(summary[0].rfind(first + " -> " + dir.File("first.swf") + "  ", 0), 0u);
    EXPECT_TRUE(summary[0].ends_with(" Bytes")) << summary[0];
    EXPECT_TRUE(Contains(summary[1], missing) && summary[1].ends_with("failed")) << summary[1];
    EXPECT_TRUE(summary[2].ends_with(" Bytes")) << summary[2];
    long long in = FileLength(first) + FileLength(second);
    EXPECT_EQ(summary[3].rfind("Total: " + std::to_string(in / 1000) + " Kb in, ", 0), 0u)
        << summary[3];
    EXPECT_TRUE(summary[3].ends_with(" Kb out")) << summary[3];

    CliRun quiet = Run({"-q", first});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

// ---- The program, checked with ffmpeg ------------------------------------------------------

constexpr int kWidth = 96;
constexpr int kHeight = 72;

// A fixed picture: a two-colour gradient with a rectangle and a circle (125 colours). The
// blurred variant is the photo-like input of the JPEG checks: hard saturated edges lose more
// to 4:2:0 chroma subsampling than any photograph does.
std::string PatternCommand(bool blurred) {
    return "convert -size 96x72 gradient:'#1f3a60'-'#f0a030' -fill '#c03030' "
           "-draw 'rectangle 10,10 40,30' -fill '#e0e0e0' -draw 'circle 60,40 70,52' " +
           std::string(blurred ? "-blur 0x1.5 " : "") + "-depth 8";
}

// Mean squared error between two equal-sized byte buffers, as PSNR in dB.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        sum += d * d;
    }
    double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Index of the first differing byte, or -1 when the buffers are equal.
long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return static_cast<long>(i);
        }
    }
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

class CliProgram : public ::testing::Test {
protected:
    using CommandResult = testutil::CommandResult;

    void SetUp() override {
        if (!testutil::HaveTool("convert") || !testutil::HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ImageMagick convert and ffmpeg are needed";
        }
        ASSERT_TRUE(FileExists(kCliProgram)) << kCliProgram;
        ASSERT_TRUE(dir.Ok());
    }

    bool Sh(const std::string& command) {
        CommandResult result = RunCommand(command + " 2>>" + ShellQuote(dir.File("tools.log")));
        return result.exitCode == 0;
    }

    // Makes the pattern as raw RGB (the reference pixels) and as a PPM to convert from.
    std::vector<uint8_t> MakePattern(bool blurred) {
        std::string ppm = dir.File(blurred ? "soft.ppm" : "sharp.ppm");
        EXPECT_TRUE(Sh(PatternCommand(blurred) + " " + ShellQuote(ppm)));
        return DecodeWithConvert(ppm);
    }

    std::vector<uint8_t> DecodeWithConvert(const std::string& path) {
        std::string rgb = path + ".ref.rgb";
        EXPECT_TRUE(Sh("convert " + ShellQuote(path) + " -depth 8 rgb:" + ShellQuote(rgb)));
        return ReadFileBytes(rgb);
    }

    // One picture of each format from the PPM, "<stem>_<kind>.<ext>" so that every movie
    // written beside its source has a name of its own; plus an uncompressed TGA and a palette
    // PNG. TGA comes from ffmpeg: ImageMagick 6 writes rows top-down under a bottom-left origin
    // flag, which the format's other readers turn over.
    std::vector<std::string> MakeEveryFormat(const std::string& ppm, const std::string& stem) {
        std::string s = dir.File(stem) + "_";
        std::string q = ShellQuote(ppm);
        std::string ffmpeg = "ffmpeg -v error -nostdin -y -i " + q;
        std::vector<std::pair<std::string, std::string>> made = {
            {s + "bmp.bmp", "convert " + q + " " + ShellQuote(s + "bmp.bmp")},
            {s + "jpg.jpg", "convert " + q + " -quality 90 " + ShellQuote(s + "jpg.jpg")},
            {s + "png.png", "convert " + q + " " + ShellQuote("PNG24:" + s + "png.png")},
            {s + "palette.png", "convert " + q + " " + ShellQuote("PNG8:" + s + "palette.png")},
            {s + "pcx.pcx", "convert " + q + " " + ShellQuote(s + "pcx.pcx")},
            {s + "psd.psd", "convert " + q + " " + ShellQuote(s + "psd.psd")},
            {s + "rle.tga", ffmpeg + " " + ShellQuote(s + "rle.tga")},
            {s + "raw.tga", ffmpeg + " -rle 0 " + ShellQuote(s + "raw.tga")},
            {s + "lzw.tif", "convert " + q + " -compress lzw " + ShellQuote(s + "lzw.tif")},
        };
        std::vector<std::string> files;
        for (const auto& [path, command] : made) {
            EXPECT_TRUE(Sh(command)) << command;
            files.push_back(path);
        }
        return files;
    }

    // Runs the program; standard error goes to a file read back into err.
    CommandResult RunProgram(const std::vector<std::string>& args, std::string* err = nullptr) {
        std::string command = ShellQuote(kCliProgram) + " --options " +
                              ShellQuote(dir.File("none.ini")) +
                              " --set tempDirectory=" + ShellQuote(dir.Path() + "/");
        for (const std::string& arg : args) {
            command += " " + ShellQuote(arg);
        }
        std::string errFile = dir.File("cli-stderr.txt");
        CommandResult result = RunCommand(command + " 2>" + ShellQuote(errFile));
        std::vector<uint8_t> bytes = ReadFileBytes(errFile);
        std::string text(bytes.begin(), bytes.end());
        // A sanitized build reports memory errors on stderr (with exit status 1, which some
        // tests expect for other reasons).
        EXPECT_FALSE(Contains(text, "Sanitizer") || Contains(text, "runtime error:")) << text;
        if (err != nullptr) {
            *err = text;
        }
        return result;
    }

    // The first picture ffmpeg finds in a movie, as rgb24.
    std::vector<uint8_t> DecodeMovie(const std::string& swf) {
        std::string rgb = swf + ".rgb";
        EXPECT_TRUE(Sh("ffmpeg -v error -nostdin -y -i " + ShellQuote(swf) +
                       " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(rgb)))
            << swf;
        return ReadFileBytes(rgb);
    }

    static std::vector<std::string> EncodingSettings(const std::string& encoding, int quality) {
        std::vector<std::string> args;
        for (const char* ext : kPictureExtensions) {
            std::string prefix = std::string("format.") + ext + ".";
            // The small-file pair applies above smallFileLimitKb, so both pairs are set.
            for (const char* field : {"compression=", "smallCompression="}) {
                args.insert(args.end(), {"--set", prefix + field + encoding});
            }
            for (const char* field : {"quality=", "smallQuality="}) {
                args.insert(args.end(), {"--set", prefix + field + std::to_string(quality)});
            }
        }
        return args;
    }

    TempDir dir;
};

std::string SwfBeside(const std::string& source) {
    return source.substr(0, source.rfind('.')) + ".swf";
}

TEST_F(CliProgram, LosslessBitmapOfEveryFormatDecodesToTheSourcePixels) {
    std::vector<uint8_t> pattern = MakePattern(false);
    ASSERT_EQ(pattern.size(), size_t{kWidth * kHeight * 3});
    std::vector<std::string> files = MakeEveryFormat(dir.File("sharp.ppm"), "sharp");

    std::vector<std::string> args = EncodingSettings("lossless", 70);
    args.push_back("-q");
    args.insert(args.end(), files.begin(), files.end());
    std::string err;
    CommandResult run = RunProgram(args, &err);
    ASSERT_EQ(run.exitCode, 0) << err << run.output;

    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::string swfPath = SwfBeside(file);
        EXPECT_TRUE(Contains(run.output, file + " -> " + swfPath + "  ")) << run.output;
        // JPEG sources are compared with their decoded pixels, the rest with the pattern.
        std::vector<uint8_t> expected = file.ends_with(".jpg") ? DecodeWithConvert(file) : pattern;

        std::vector<uint8_t> decoded = DecodeMovie(swfPath);
        EXPECT_EQ(decoded.size(), expected.size());
        EXPECT_EQ(FirstDifference(decoded, expected), -1);

        // The stored bitmap itself: one format-5 DefineBitsLossless of 0RGB pixels.
        swfread::Swf swf;
        std::string error;
        ASSERT_TRUE(swfread::ParseSwfFile(swfPath, swf, &error)) << error;
        auto bitmaps = swfread::TagsWithCode(swf.tags, DefineBitsLossless);
        ASSERT_EQ(bitmaps.size(), 1u);
        EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsJPEG2), 0u);
        swfread::LosslessBitmap bitmap;
        ASSERT_TRUE(swfread::ParseDefineBitsLossless(*bitmaps[0], bitmap, &error)) << error;
        EXPECT_EQ(bitmap.format, 5);
        EXPECT_EQ(bitmap.width, kWidth);
        EXPECT_EQ(bitmap.height, kHeight);
        ASSERT_EQ(bitmap.pixels.size(), size_t{kWidth * kHeight * 4});
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {
            EXPECT_EQ(bitmap.pixels[i], 0) << "reserved byte at pixel " << i / 4;
            rgb.insert(rgb.end(), bitmap.pixels.begin() + i + 1, bitmap.pixels.begin() + i + 4);
        }
        EXPECT_EQ(FirstDifference(rgb, expected), -1);
    }
}

TEST_F(CliProgram, JpegBitmapAtQuality70StaysCloseToTheSource) {
    std::vector<uint8_t> pattern = MakePattern(true);
    ASSERT_EQ(pattern.size(), size_t{kWidth * kHeight * 3});
    std::vector<std::string> files = MakeEveryFormat(dir.File("soft.ppm"), "soft");

    std::vector<std::string> args = EncodingSettings("jpeg", 70);
    args.push_back("-q");
    args.insert(args.end(), files.begin(), files.end());
    std::string err;
    CommandResult run = RunProgram(args, &err);
    ASSERT_EQ(run.exitCode, 0) << err << run.output;

    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::string swfPath = SwfBeside(file);
        swfread::Swf swf;
        std::string error;
        ASSERT_TRUE(swfread::ParseSwfFile(swfPath, swf, &error)) << error;
        EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsJPEG2), 1u);
        EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsLossless), 0u);

        std::vector<uint8_t> expected = file.ends_with(".jpg") ? DecodeWithConvert(file) : pattern;
        std::vector<uint8_t> decoded = DecodeMovie(swfPath);
        ASSERT_EQ(decoded.size(), expected.size());
        double psnr = Psnr(decoded, expected);
        EXPECT_GT(psnr, 30.0);
        EXPECT_LT(psnr, 60.0) << "quality 70 cannot be near lossless";
    }
}

TEST_F(CliProgram, BrokenEntriesAreReportedAndTheOthersStillConvert) {
    MakePattern(false);
    std::string ppm = ShellQuote(dir.File("sharp.ppm"));
    std::string good = dir.File("good.png"), goodBmp = dir.File("good.bmp");
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote("PNG24:" + good)));
    ASSERT_TRUE(Sh("convert " + ppm + " " + ShellQuote(goodBmp)));
    std::vector<uint8_t> png = ReadFileBytes(good);
    png.resize(png.size() / 2);
    std::string truncated = dir.File("truncated.png"), text = dir.File("text.png");
    ASSERT_TRUE(testutil::WriteFileBytes(truncated, png));
    const std::string words = "This is a text file, not a picture.\n";
    ASSERT_TRUE(testutil::WriteFileBytes(text, std::vector<uint8_t>(words.begin(), words.end())));
    std::string unknown = dir.File("notes.xyz");
    ASSERT_TRUE(
        testutil::WriteFileBytes(unknown, std::vector<uint8_t>(words.begin(), words.end())));

    std::string err;
    CommandResult run = RunProgram({good, truncated, text, unknown, goodBmp}, &err);
    EXPECT_EQ(run.exitCode, 1);
    for (const std::string& broken : {truncated, text}) {
        EXPECT_TRUE(Contains(err, "kestrova-cli: Error During Conversion of file: " + broken + " "))
            << err;
        EXPECT_TRUE(Contains(run.output, broken + " -> " + SwfBeside(broken) + "  failed\n"))
            << run.output;
    }
    EXPECT_TRUE(Contains(err, "kestrova-cli: Error, Unknown/supported File Format " + unknown))
        << err;
    EXPECT_TRUE(Contains(run.output, unknown + " -> ")) << run.output;

    for (const std::string& file : {good, goodBmp}) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(Contains(err, "file: " + file)) << err;
        swfread::Swf swf;
        std::string error;
        ASSERT_TRUE(swfread::ParseSwfFile(SwfBeside(file), swf, &error)) << error;
        EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsLossless) +
                      swfread::CountTags(swf.tags, DefineBitsJPEG2),
                  1u);
        EXPECT_EQ(DecodeMovie(SwfBeside(file)).size(), size_t{kWidth * kHeight * 3});
        EXPECT_TRUE(Contains(run.output, file + " -> " + SwfBeside(file) + "  ")) << run.output;
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
    CommandResult run = RunProgram(args, &err);
    ASSERT_EQ(run.exitCode, 0) << err << run.output;
    EXPECT_FALSE(FileExists(SwfBeside(files[0])));

    swfread::Swf swf;
    std::string error;
    ASSERT_TRUE(swfread::ParseSwfFile(out + ".swf", swf, &error)) << error;
    EXPECT_EQ(swf.header.frameCount, 6);
    EXPECT_EQ(swf.header.frameSize.xMax, kWidth * 20) << "sized to the largest picture";
    EXPECT_EQ(swf.header.frameSize.yMax, kHeight * 20);
    EXPECT_EQ(swfread::CountTags(swf.tags, ShowFrame), 6u);
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsLossless), 1u); // PNG: lossless by default
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineBitsJPEG2), 2u);
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineShape), 3u);
    EXPECT_EQ(swfread::CountTags(swf.tags, DefineSprite), 3u);
    EXPECT_EQ(swfread::CountTags(swf.tags, PlaceObject2), 3u);
    EXPECT_EQ(swfread::CountTags(swf.tags, RemoveObject2), 3u);
    EXPECT_EQ(swfread::CountTags(swf.tags, FreeCharacter), 9u);

    // Each picture is defined and placed before its own frames.
    std::vector<size_t> framesBeforeBitmap;
    size_t frames = 0;
    for (const swfread::Tag& tag : swf.tags) {
        frames += tag.code == ShowFrame;
        if (tag.code == DefineBitsLossless || tag.code == DefineBitsJPEG2) {
            framesBeforeBitmap.push_back(frames);
        }
    }
    EXPECT_EQ(framesBeforeBitmap, (std::vector<size_t>{0, 2, 4}));

    // Summary: merged entries say so, the last one carries the movie's size.
    EXPECT_TRUE(Contains(run.output, files[0] + " -> " + out + ".swf  (in single movie)\n"))
        << run.output;
    EXPECT_TRUE(Contains(run.output, files[1] + " -> " + out + ".swf  (in single movie)\n"))
        << run.output;
    std::string last = files[2] + " -> " + out + ".swf  ";
    size_t at = run.output.find(last);
    ASSERT_NE(at, std::string::npos) << run.output;
    int bytes = std::atoi(run.output.c_str() + at + last.size());
    EXPECT_GT(bytes, 0);
    EXPECT_TRUE(Contains(run.output, last + std::to_string(bytes) + " Bytes\n"));
    long long in = FileLength(files[0]) + FileLength(files[1]) + FileLength(files[2]);
    EXPECT_TRUE(Contains(run.output, "Total: " + std::to_string(in / 1000) + " Kb in, " +
                                         std::to_string(bytes / 1000) + " Kb out\n"))
        << run.output;
}

} // namespace
