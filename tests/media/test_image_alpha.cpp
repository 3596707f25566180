// Transparency kept by the readers and laid out for lossless bitmaps (premultiplied, through a
// colour table when there are at most 256 colours), checked as a player reads the pixels.
#include "media/lossless_pixels.h"
#include "media/rgb_image.h"
#include "support/swf_reader.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kWidth = 24, kHeight = 16;

// 0xAARRGGBB, not premultiplied: many colours, or 8 colours in 4 x 4 blocks with alpha 0 or 255.
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

// The source written as an RGBA PAM and turned by ImageMagick into the target.
std::string ConvertRgba(const testutil::TempDir& dir, bool few, const std::string& options,
                        const std::string& target) {
    std::string pam = "P7\nWIDTH " + std::to_string(kWidth) + "\nHEIGHT " +
                      std::to_string(kHeight) +
                      "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t p = Source(x, y, few);
            pam += {char(p >> 16), char(p >> 8), char(p), char(p >> 24)};
        }
    }
    const std::string in = dir.File("source.pam");
    testutil::WriteFileBytes(in, std::vector<uint8_t>(pam.begin(), pam.end()));
    const std::string out = dir.File(target.substr(target.find(':') + 1));
    const std::string command =
        "convert " + testutil::ShellQuote(in) + " " + options + " " +
        testutil::ShellQuote(target.find(':') == std::string::npos
                                 ? out
                                 : target.substr(0, target.find(':') + 1) + out);
    return testutil::RunCommand(command + " 2>&1").exitCode == 0 ? out : "";
}

// What a player reads from the laid-out pixels.
std::vector<uint32_t> PlayerPixels(const LosslessPixels& p, uint32_t width, uint32_t height) {
    swfread::LosslessBitmap bitmap;
    bitmap.hasAlpha = p.alpha;
    bitmap.format = p.colours != 0 ? 3 : 5;
    bitmap.width = static_cast<uint16_t>(width);
    bitmap.height = static_cast<uint16_t>(height);
    bitmap.colourTableSize = p.colours;
    bitmap.colourTable.assign(p.block.get(), p.block.get() + p.TableBytes());
    bitmap.pixels.assign(p.block.get() + p.TableBytes(), p.block.get() + p.length);
    return swfread::ArgbPixels(bitmap);
}

struct AlphaCase {
    const char* name;
    const char* options;
    const char* target;
    bool few;    // 8 colours and binary alpha (for formats that store no more)
    bool turned; // stored as seen from the right: a quarter turn clockwise puts it upright
};

using AlphaRead = imagetest::ConvertTest<AlphaCase>;

TEST_P(AlphaRead, GivesPremultipliedLosslessPixels) {
    const AlphaCase& c = GetParam();
    testutil::TempDir dir;
    const std::string path = ConvertRgba(dir, c.few, c.options, c.target);
    ASSERT_FALSE(path.empty());
    RgbImage image;
    ASSERT_EQ(image.LoadFile(path), 0);
    ASSERT_TRUE(image.HasAlpha());
    const uint32_t width = c.turned ? kHeight : kWidth, height = c.turned ? kWidth : kHeight;
    ASSERT_EQ(image.Width(), width);
    const LosslessPixels pixels = TakeLosslessPixels(image);
    ASSERT_TRUE(pixels.block);
    EXPECT_TRUE(pixels.alpha);
    EXPECT_EQ(pixels.colours, c.few ? 9u : 0u); // 8 colours and the clear one
    std::vector<uint32_t> expected;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = c.turned ? Source(y, kHeight - 1 - x, c.few) : Source(x, y, c.few);
            expected.push_back(Premultiplied(p));
        }
    }
    EXPECT_EQ(PlayerPixels(pixels, width, height), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AlphaRead,
    ::testing::Values(
        AlphaCase{"Png", "", "png32:a.png", false, false},
        AlphaCase{"PngPaletteTransparency", "", "png8:p.png", true, false},
        AlphaCase{"Tga", "-orient TopLeft -compress RLE", "a.tga", false, false},
        AlphaCase{"Tiff", "-compress LZW", "a.tif", false, false},
        AlphaCase{"TiffPremultiplied", "-define tiff:alpha=associated", "p.tif", false, false},
        AlphaCase{"TiffTurned", "-orient RightTop", "t.tif", false, true},
        AlphaCase{"Psd", "-compress RLE", "a.psd", false, false},
        AlphaCase{"Gif", "", "a.gif", true, false},
        AlphaCase{"WebpLossless", "-define webp:lossless=true", "a.webp", false, false}),
    imagetest::CaseName());

// A picture's alpha composited over a colour: a clear pixel takes the colour, an opaque one
// keeps its own, the rest blend; the alpha plane is gone.
TEST(AlphaComposite, BlendsOverTheBackground) {
    if (!testutil::HaveTool("convert")) {
        GTEST_SKIP() << "ImageMagick convert not found";
    }
    testutil::TempDir dir;
    RgbImage image;
    ASSERT_EQ(image.LoadFile(ConvertRgba(dir, false, "", "png32:a.png")), 0);
    image.CompositeOver(0x336699);
    EXPECT_FALSE(image.HasAlpha());
    for (uint32_t i = 0; i < kWidth * kHeight; ++i) {
        const uint32_t p = Source(i % kWidth, i / kWidth, false), a = p >> 24;
        for (uint32_t c = 0; c < 3; ++c) {
            const uint32_t shift = 16 - 8 * c;
            const uint32_t blend =
                ((p >> shift & 0xFF) * a + (0x336699 >> shift & 0xFF) * (255 - a) + 127) / 255;
            ASSERT_EQ(image.Pixels()[i * 3 + c], blend) << i;
        }
    }
}

// Up to 256 colours go through a colour table, rows padded to 4 bytes with zeros; one more
// colour gives 4-byte pixels.
TEST(LosslessPalette, TableUpTo256Colours) {
    for (const uint32_t colours : {1u, 256u, 257u}) {
        const uint32_t width = 5, height = (colours + width - 1) / width;
        RgbImage image;
        ASSERT_EQ(image.Allocate(width, height), 0);
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < width * height; ++i) {
            const uint32_t colour = i < colours ? i : 0; // red = i % 256, green = i / 256
            image.Lock()[i * 3] = static_cast<uint8_t>(colour);
            image.Lock()[i * 3 + 1] = static_cast<uint8_t>(colour >> 8);
            expected.push_back(0xFF000000 | (colour & 0xFF) << 16 | (colour >> 8) << 8);
        }
        const LosslessPixels pixels = TakeLosslessPixels(image);
        ASSERT_TRUE(pixels.block);
        EXPECT_TRUE(image.IsEmpty());
        EXPECT_FALSE(pixels.alpha);
        EXPECT_EQ(pixels.colours, colours <= 256 ? colours : 0);
        EXPECT_EQ(pixels.length,
                  colours <= 256 ? colours * 3 + 8 * height : width * height * 4 + 1);
        EXPECT_EQ(PlayerPixels(pixels, width, height), expected) << colours;
        for (uint32_t y = 0; y < height && colours <= 256; ++y) {
            const uint8_t* row = pixels.block.get() + pixels.TableBytes() + y * 8;
            EXPECT_EQ(row[5] | row[6] | row[7], 0) << "padding of row " << y;
        }
    }
}

} // namespace
