// Pictures' pixels as a player reads them from the movie: alpha premultiplied, at most 256
// colours through a colour table, and alpha composited over the background for JPEG.
#include "media/rgb_image.h"

#include "engine_fixtures.h"

namespace kestrova::test {

namespace {

using namespace enginetest;

constexpr uint32_t kWidth = 24, kHeight = 16;

// 0xAARRGGBB, not premultiplied: many colours, or 8 colours in blocks with alpha 0 or 255.
uint32_t Source(uint32_t x, uint32_t y, bool few) {
    static const uint8_t kAlphas[7] = {0, 255, 128, 1, 64, 200, 254};
    static const uint32_t kColours[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                         0x00FFFF, 0xFF00FF, 0x808080, 0x000000};
    if (few) {
        return ((x + y) % 5 == 0 ? 0u : 0xFF000000u) | kColours[(x / 4 + y / 4 * 3) % 8];
    }
    return uint32_t{kAlphas[(x + y) % 7]} << 24 | (x * 10) << 16 | (y * 15) << 8 | (250 - x - y);
}

uint32_t Premultiplied(uint32_t argb) {
    const uint32_t a = argb >> 24;
    const auto scale = [a](uint32_t c) { return ((c & 0xFF) * a + 127) / 255; };
    return a << 24 | scale(argb >> 16) << 16 | scale(argb >> 8) << 8 | scale(argb);
}

struct AlphaCase {
    const char* name;
    const char* convert; // ImageMagick's options and output, "%" for the output folder
    bool few;            // 8 colours and alpha 0 or 255, for formats that hold no more
    bool turned;         // stored as seen from the right, a quarter turn from upright
};

class PicturePixels : public EngineTest, public ::testing::WithParamInterface<AlphaCase> {
protected:
    void EncodeAll(int32_t encoding) {
        for (FormatOptions& f : opts.formats) {
            if (FormatKind(f) == KindStaticImage) {
                f.compression = f.smallCompression = encoding;
            }
        }
    }
    // The only bitmap of the movie made of the picture, every picture format lossless.
    swfread::LosslessBitmap Bitmap(const std::string& path) {
        EncodeAll(EncodeLossless);
        List list({path});
        Convert(list);
        swfread::LosslessBitmap bitmap;
        const swfread::Swf swf = Parse(path.substr(0, path.rfind('.')) + ".swf");
        EXPECT_TRUE(swf.tags.size() > 1 && swfread::ParseDefineBitsLossless(swf.tags[1], bitmap));
        return bitmap;
    }
};

TEST_P(PicturePixels, AlphaIsPremultiplied) {
    const AlphaCase& c = GetParam();
    std::string pam = "P7\nWIDTH 24\nHEIGHT 16\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (uint32_t i = 0; i < kWidth * kHeight; ++i) {
        const uint32_t p = Source(i % kWidth, i / kWidth, c.few);
        pam += {char(p >> 16), char(p >> 8), char(p), char(p >> 24)};
    }
    ASSERT_TRUE(testutil::WriteFileBytes(File("a.pam"), {pam.begin(), pam.end()}));
    const std::string convert = c.convert;
    ASSERT_EQ(testutil::RunCommand("cd " + dir.Path() + " && convert a.pam " + convert).exitCode,
              0);
    const swfread::LosslessBitmap bitmap =
        Bitmap(File(convert.substr(convert.find_last_of(" :") + 1)));
    EXPECT_TRUE(bitmap.hasAlpha);
    EXPECT_EQ(bitmap.format, c.few ? 3 : 5);
    const uint32_t width = c.turned ? kHeight : kWidth, height = c.turned ? kWidth : kHeight;
    std::vector<uint32_t> expected;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            expected.push_back(
                Premultiplied(c.turned ? Source(y, kHeight - 1 - x, c.few) : Source(x, y, c.few)));
        }
    }
    EXPECT_EQ(swfread::ArgbPixels(bitmap), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PicturePixels,
    ::testing::Values(AlphaCase{"Png", "png32:a.png", false, false},
                      AlphaCase{"PngPaletteTransparency", "png8:a.png", true, false},
                      AlphaCase{"Tga", "-orient TopLeft -compress RLE a.tga", false, false},
                      AlphaCase{"Tiff", "-define tiff:alpha=associated a.tif", false, false},
                      AlphaCase{"TiffTurned", "-orient RightTop a.tif", false, true},
                      AlphaCase{"Psd", "-compress RLE a.psd", false, false},
                      AlphaCase{"Gif", "a.gif", true, false},
                      AlphaCase{"WebpLossless", "-define webp:lossless=true a.webp", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Up to 256 colours go through a colour table (rows padded to 4 bytes), one more does not.
TEST_F(PicturePixels, ColourTableUpTo256Colours) {
    const struct { int width, height, colours; } cases[] = {{5, 3, 15}, {128, 2, 256}, {129, 2, 0}};
    for (const auto& c : cases) {
        // Pixel (x, y) is (x * 5, y * 7, 100).
        std::string ppm =
            "P6 " + std::to_string(c.width) + " " + std::to_string(c.height) + " 255\n";
        for (int i = 0; i < c.width * c.height; ++i) {
            ppm += {char(i % c.width * 5), char(i / c.width * 7), char(100)};
        }
        ASSERT_TRUE(testutil::WriteFileBytes(File("p.ppm"), {ppm.begin(), ppm.end()}));
        const swfread::LosslessBitmap bitmap =
            Bitmap(Made("p.bmp", "convert " + File("p.ppm") + " -type TrueColor BMP3:"));
        EXPECT_EQ(bitmap.format, c.colours != 0 ? 3 : 5);
        EXPECT_EQ(bitmap.colourTable.size(), size_t{3} * c.colours);
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < static_cast<uint32_t>(c.width * c.height); ++i) {
            expected.push_back(0xFF000064 | (i % c.width * 5 & 0xFF) << 16 | i / c.width * 7 << 8);
        }
        EXPECT_EQ(swfread::ArgbPixels(bitmap), expected) << c.width;
    }
}

// As JPEG, a picture with alpha (left half red at alpha 0x80, right half clear) is composited
// over the background colour.
TEST_F(PicturePixels, JpegShowsTheBackgroundThroughAlpha) {
    ASSERT_EQ(testutil::RunCommand("convert -size 32x16 xc:none -fill '#FF000080' -draw "
                                   "'rectangle 0,0 15,15' png32:" +
                                   File("a.png"))
                  .exitCode,
              0);
    EncodeAll(EncodeJpeg);
    opts.backgroundColor = 0x996633; // #336699
    ConvertOne(File("a.png"));
    const swfread::Swf swf = Parse(File("a.swf"));
    ASSERT_EQ(swf.tags[1].code, DefineBitsJPEG2);
    RgbImage image; // the JPEG data follows the id and an end and start of image
    ASSERT_EQ(image.LoadMemory(swf.tags[1].body.data() + 6, swf.tags[1].body.size() - 6), 0);
    const uint8_t expected[2][3] = {{153, 51, 76}, {0x33, 0x66, 0x99}};
    for (int half = 0; half < 2; ++half) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(image.Pixels()[(8 * 32 + 8 + 16 * half) * 3 + c], expected[half][c], 3);
        }
    }
}

} // namespace

} // namespace kestrova::test
