// Our PSD and WBMP readers against ImageMagick: every kind of file it writes decodes to the
// pixels ImageMagick itself reads from it, and a file cut short is an error, not a picture.
#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace kestrova::test {

namespace {

struct ReaderCase {
    const char* name;
    const char* options; // ImageMagick options for writing the file
    const char* target;
    int mode = -1;  // else the PSD colour mode byte is overwritten with this
    size_t cut = 0; // bytes cut off the end: the read must then fail
    // ImageMagick 6 reads no indexed PSD back: a picture of 8 colours is written, and the
    // reader must give it back as it was.
    bool againstSource = false;
};

using PsdWbmpReader = imagetest::ConvertTest<ReaderCase>;

TEST_P(PsdWbmpReader, ReadsWhatImageMagickReads) {
    const ReaderCase& c = GetParam();
    testutil::TempDir dir;
    // Wider than 127 pixels: the WBMP width takes two bytes.
    const imagetest::Picture source =
        c.againstSource ? imagetest::Pattern(150, 20, 8) : imagetest::Gradient(150, 20);
    const std::string path = imagetest::Convert(dir, source, c.options, c.target);
    ASSERT_FALSE(path.empty());
    std::vector<uint8_t> bytes = testutil::ReadFileBytes(path);
    if (c.mode >= 0) {
        bytes[25] = static_cast<uint8_t>(c.mode);
    }
    bytes.resize(bytes.size() - c.cut);
    ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));

    RgbImage image;
    const int code = image.LoadFile(path);
    if (c.cut != 0) {
        EXPECT_EQ(code, kImageErrFileRead);
        EXPECT_TRUE(image.IsEmpty());
        return;
    }
    ASSERT_EQ(code, 0) << ImageErrorText(code);
    if (c.againstSource) {
        EXPECT_EQ(imagetest::MaxDifference(source, image), 0);
        return;
    }
    const imagetest::Picture expected = imagetest::ImageMagickRead(dir, path + "[0]", "");
    ASSERT_FALSE(expected.rgb.empty());
    const int worst = imagetest::MaxDifference(expected, image);
    EXPECT_GE(worst, 0);
    EXPECT_LE(worst, 1);
}

constexpr int kDuotone = 8;

INSTANTIATE_TEST_SUITE_P(
    AllVariants, PsdWbmpReader,
    ::testing::Values(
        ReaderCase{"PsdRgb16Rle", "-depth 16 -compress RLE", "rle16.psd"},
        ReaderCase{"PsdGreyRle", "-colorspace Gray -compress RLE", "grey.psd"},
        ReaderCase{"PsdCmykRle", "-colorspace CMYK -compress RLE", "cmyk.psd"},
        ReaderCase{"PsdPaletteRle", "-type Palette -compress RLE", "pal.psd", -1, 0, true},
        ReaderCase{"PsdBitmapRaw", "-type Bilevel -depth 1", "bits.psd"},
        ReaderCase{"PsdDuotone", "-colorspace Gray -compress RLE", "duo.psd", kDuotone},
        ReaderCase{"PsdRleCut", "-compress RLE", "cutrle.psd", -1, 10},
        ReaderCase{"Wbmp", "-monochrome", "a.wbmp"}),
    imagetest::CaseName());

} // namespace

} // namespace kestrova::test
