// "Original JPEG": kestrova-cli keeps a JPEG file's own data (less its application segments and
// comments) when a player can show it as it is, and writes every other JPEG anew as a baseline
// JPEG; the movie's bitmap is read back with the test-side SWF reader and TurboJPEG.
#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrova::test {

namespace {

using testutil::ShellQuote;

struct KeepCase {
    const char* name;
    const char* make; // shell command from src.ppm to the case's .jpg ($OUT)
    bool kept;
};

const KeepCase kCases[] = {
    {"baseline", "cjpeg -quality 85 src.ppm > $OUT", true},
    {"grayscale", "cjpeg -grayscale src.ppm > $OUT", true},
    {"comment", "cjpeg src.ppm | wrjpgcom -comment 'a comment' > $OUT", true},
    {"progressive", "cjpeg -progressive src.ppm > $OUT", false},
    {"arithmetic", "cjpeg -arithmetic src.ppm > $OUT", false},
    {"rgb", "cjpeg -rgb src.ppm > $OUT", false},
    {"cmyk", "convert src.ppm -colorspace CMYK $OUT", false},
    // An EXIF block asking for a quarter turn, put right after the start of image.
    {"oriented",
     "cjpeg src.ppm > base.jpg && { head -c 2 base.jpg; printf '\\377\\341\\000\\042Exif\\000\\000"
     "II*\\000\\010\\000\\000\\000\\001\\000\\022\\001\\003\\000\\001\\000\\000\\000\\006\\000"
     "\\000\\000\\000\\000\\000\\000'; tail -c +3 base.jpg; } > $OUT",
     false},
};

// The file less the application segments and comments among its headers (before the scan).
std::vector<uint8_t> WithoutAppSegments(std::vector<uint8_t> file) {
    for (size_t at = 2; at + 4 <= file.size() && file[at + 1] != 0xDA;) {
        const size_t end = at + 2 + (size_t{file[at + 2]} << 8 | file[at + 3]);
        const uint8_t marker = file[at + 1];
        if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            file.erase(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(end));
        } else {
            at = end;
        }
    }
    return file;
}

TEST(OriginalJpeg, KeptWhenAPlayerCanShowItElseWrittenAnewAsBaseline) {
    for (const char* tool : {"cjpeg", "wrjpgcom", "convert"}) {
        if (!testutil::HaveTool(tool)) {
            GTEST_SKIP() << tool << " is needed";
        }
    }
    testutil::TempDir dir;
    const std::string cd = "cd " + ShellQuote(dir.Path()) + " && ";
    ASSERT_EQ(
        testutil::RunCommand(cd + "convert -size 48x32 plasma:fractal -seed 3 src.ppm").exitCode,
        0);
    std::string command = ShellQuote(KESTROVA_BINARY_DIR "/src/cli/kestrova-cli") + " -q" +
                          " --options " + ShellQuote(dir.File("none.ini")) +
                          " --set tempDirectory=" + ShellQuote(dir.Path() + "/") +
                          " --set format.jpg.compression=original";
    for (const KeepCase& c : kCases) {
        std::string make = c.make;
        make.replace(make.find("$OUT"), 4, std::string(c.name) + ".jpg");
        ASSERT_EQ(testutil::RunCommand(cd + make).exitCode, 0) << make;
        command += " " + ShellQuote(dir.File(std::string(c.name) + ".jpg"));
    }
    ASSERT_EQ(testutil::RunCommand(command + " 2>&1").exitCode, 0) << command;

    tjhandle decoder = tjInitDecompress();
    for (const KeepCase& c : kCases) {
        SCOPED_TRACE(c.name);
        swfread::Swf swf;
        ASSERT_TRUE(swfread::ParseSwfFile(dir.File(std::string(c.name) + ".swf"), swf));
        ASSERT_EQ(swfread::CountTags(swf.tags, 21), 1u);
        const auto bitmap = std::find_if(swf.tags.begin(), swf.tags.end(),
                                         [](const swfread::Tag& tag) { return tag.code == 21; });
        // The id, the FF D9 FF D8 lead, the JPEG data, a closing FF D9.
        const std::vector<uint8_t>& body = bitmap->body;
        ASSERT_GT(body.size(), 8u);
        const std::vector<uint8_t> data(body.begin() + 6, body.end() - 2);
        const std::vector<uint8_t> file =
            testutil::ReadFileBytes(dir.File(std::string(c.name) + ".jpg"));
        EXPECT_EQ(data == WithoutAppSegments(file), c.kept);
        int width = 0, height = 0, sub = 0, colorspace = 0;
        ASSERT_EQ(tjDecompressHeader3(decoder, data.data(), data.size(), &width, &height, &sub,
                                      &colorspace),
                  0);
        EXPECT_EQ(std::string(c.name) == "oriented" ? height : width, 48);
        std::vector<uint8_t> pixels(size_t(width) * height * 3);
        EXPECT_EQ(tjDecompress2(decoder, data.data(), data.size(), pixels.data(), width, 0, height,
                                TJPF_RGB, 0),
                  0);
        if (!c.kept) {
            // Baseline frame, Huffman tables present: what every player reads.
            const std::string text(data.begin(), data.end());
            EXPECT_NE(text.find("\xFF\xC0"), std::string::npos);
            EXPECT_EQ(text.find("\xFF\xC2"), std::string::npos);
        }
    }
    tjDestroy(decoder);
}

} // namespace

} // namespace kestrova::test
