// Decoding every supported picture format into RgbImage pixels, and every kind of broken
// file into its error code with an empty image.
#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrova::test {

namespace {

using imagetest::Picture;

struct DecodeCase {
    const char* name;
    const char* options; // ImageMagick options between the pattern and the output
    const char* target;  // output name, with a format prefix when needed
    bool grey;
    bool jpeg;     // lossy: a larger picture of 8 x 8 blocks and a tolerance
    int tolerance; // largest difference allowed in any channel
};

using ImageDecode = imagetest::ConvertTest<DecodeCase>;

TEST_P(ImageDecode, DecodesToThePattern) {
    const DecodeCase& c = GetParam();
    testutil::TempDir dir;
    // Odd sizes exercise row padding; JPEG gets whole 8 x 8 blocks of one colour.
    const Picture pattern =
        c.jpeg ? imagetest::Pattern(32, 16, 8, c.grey) : imagetest::Pattern(13, 7, 2, c.grey);
    const std::string path = imagetest::Convert(dir, pattern, c.options, c.target);
    ASSERT_FALSE(path.empty()) << "convert could not write " << c.target;

    RgbImage image;
    const int code = image.LoadFile(path);
    ASSERT_EQ(code, 0) << ImageErrorText(code);
    const int difference = imagetest::MaxDifference(pattern, image);
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, ImageDecode,
    ::testing::Values(
        DecodeCase{"BmpRle8", "-type Palette -compress RLE", "bmp3:rle8.bmp", false, false, 0},
        // 5 or 6 bits a channel: 255 may come back as 248.
        DecodeCase{"Bmp16", "-define bmp:subtype=RGB565", "bmp:p16.bmp", false, false, 8},
        DecodeCase{"JpegGrey", "-quality 95 -type Grayscale", "grey.jpg", true, true, 6},
        DecodeCase{"JpegProgressive", "-quality 95 -sampling-factor 1x1 -interlace Plane",
                   "prog.jpg", false, true, 6},
        DecodeCase{"Png16", "-depth 16", "png48:p16.png", false, false, 0},
        // The colour values come back as stored, the alpha in its own plane.
        DecodeCase{"PngAlpha", "-alpha set -channel A -evaluate set 50% +channel",
                   "png32:alpha.png", false, false, 0},
        DecodeCase{"TgaRle", "-orient TopLeft -compress RLE", "rle.tga", false, false, 0},
        // The extended header carries the size; the colours come back unblended.
        DecodeCase{"WebpAlpha", "-quality 95 -alpha set -channel A -evaluate set 50% +channel",
                   "alpha.webp", false, true, 6}),
    imagetest::CaseName());

// ----- Broken files: each gets its own code and leaves the image empty. -----

constexpr size_t kHalf = SIZE_MAX;

struct BrokenCase {
    const char* name;
    const char* target; // a well-formed picture made by ImageMagick ...
    size_t keep;        // ... cut to this many bytes (0: keep all, kHalf: half) ...
    size_t smashAt;     // ... with 16 bytes of 0xEE written here (0: none)
    int code;
    bool hasSignature = true; // else LoadMemory cannot tell the format: empty image, code 0
};

using ImageBroken = imagetest::ConvertTest<BrokenCase>;

TEST_P(ImageBroken, FailsWithItsCode) {
    const BrokenCase& c = GetParam();
    testutil::TempDir dir;
    const std::string path =
        imagetest::Convert(dir, imagetest::Gradient(64, 48), "-quality 90", c.target);
    ASSERT_FALSE(path.empty());
    std::vector<uint8_t> bytes = testutil::ReadFileBytes(path);
    ASSERT_GT(bytes.size(), c.smashAt + 16);
    if (c.keep != 0) {
        ASSERT_TRUE(c.keep == kHalf || c.keep < bytes.size());
        bytes.resize(c.keep == kHalf ? bytes.size() / 2 : c.keep);
    }
    if (c.smashAt != 0) {
        std::fill(bytes.begin() + c.smashAt, bytes.begin() + c.smashAt + 16, 0xEE);
    }
    ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));

    RgbImage image;
    const int code = image.LoadFile(path);
    EXPECT_EQ(code, c.code) << ImageErrorText(code);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Width(), 0u);
    EXPECT_EQ(image.LoadMemory(bytes.data(), bytes.size()), c.hasSignature ? c.code : 0);
    EXPECT_TRUE(image.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, ImageBroken,
    ::testing::Values(BrokenCase{"JpegTruncated", "g.jpg", kHalf, 0, kImageErrBadJpg},
                      BrokenCase{"JpegBadTables", "g.jpg", 0, 20, kImageErrBadJpg},
                      BrokenCase{"PngBadData", "png24:g.png", 0, 200, kImageErrBadPng},
                      BrokenCase{"BmpTruncated", "bmp3:g.bmp", kHalf, 0, kImageErrBadBmp},
                      BrokenCase{"TiffTruncated", "g.tif", kHalf, 0, kImageErrBadTiff},
                      BrokenCase{"PcxTruncated", "g.pcx", kHalf, 0, kImageErrBadPcx},
                      BrokenCase{"TgaTruncated", "g.tga", kHalf, 0, kImageErrBadTga, false},
                      BrokenCase{"WebpTruncated", "g.webp", kHalf, 0, kImageErrFileRead}),
    imagetest::CaseName());

// A missing file is an open error whatever its type; an empty file, or junk whose header
// fields no picture has, takes its extension's reader and is a broken file of that format;
// a failed read empties an image that held a picture.
TEST(ImageBrokenFile, MissingEmptyJunkAndRefilled) {
    RgbImage image;
    EXPECT_EQ(image.LoadFile("/nonexistent/picture.jpg"), kImageErrFileOpen);
    EXPECT_EQ(image.LoadFileAs("/nonexistent/picture.png", 3), kImageErrFileOpen);
    EXPECT_EQ(image.LoadFile("/nonexistent/picture.pax"), kImageErrFileOpen);
    testutil::TempDir dir;
    const std::vector<uint8_t> junk(300, 0x7F); // read as sides of 32639 pixels and more
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int code;
    } cases[] = {
        {"empty.jpg", {}, kImageErrBadJpg},  {"empty.png", {}, kImageErrBadPng},
        {"empty.tif", {}, kImageErrBadTiff}, {"empty.bmp", {}, kImageErrBadBmp},
        {"empty.tga", {}, kImageErrBadTga},  {"junk.bmp", junk, kImageErrBadBmp},
        {"junk.tga", junk, kImageErrBadTga},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(testutil::WriteFileBytes(dir.File(c.name), c.bytes));
        EXPECT_EQ(image.LoadFile(dir.File(c.name)), c.code) << c.name;
    }
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("bad.bmp"), {'B', 'M', 1, 2, 3}));
    ASSERT_EQ(image.Allocate(4, 4), 0);
    EXPECT_EQ(image.LoadFile(dir.File("bad.bmp")), kImageErrBadBmp);
    EXPECT_TRUE(image.IsEmpty());
}

} // namespace

} // namespace kestrova::test
