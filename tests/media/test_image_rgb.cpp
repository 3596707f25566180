// RgbImage's own operations: allocation and copies, resampling, JPEG writing, error texts.
#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kestrova::test {

namespace {

void Fill(RgbImage& image, const imagetest::Picture& picture) {
    ASSERT_EQ(image.Allocate(picture.width, picture.height), 0);
    std::memcpy(image.Lock(), picture.rgb.data(), picture.rgb.size());
    image.Unlock();
}

bool HasMarker(const std::vector<uint8_t>& jpeg, uint8_t marker) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) {
            return true;
        }
    }
    return false;
}

// Writes the image with a buffer of the codec's bound; empty on failure.
std::vector<uint8_t> EncodeJpeg(RgbImage& image, int quality) {
    std::vector<uint8_t> buffer(ISJpegBufferSize(image.Width(), image.Height()));
    const int written =
        image.WriteJpegToMemory(buffer.data(), static_cast<uint32_t>(buffer.size()), quality);
    buffer.resize(written > 5 ? static_cast<size_t>(written) : 0);
    return buffer;
}

TEST(RgbImageResize, ShrinkingAveragesAndKeepsOrientation) {
    // Left half black, right half white, top row of the right half red.
    imagetest::Picture picture{8, 4, std::vector<uint8_t>(8 * 4 * 3, 0)};
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 4; x < 8; ++x) {
            uint8_t* p = &picture.rgb[(y * 8 + x) * 3];
            p[0] = 255;
            p[1] = p[2] = y == 0 ? 0 : 255;
        }
    }
    RgbImage image;
    Fill(image, picture);
    RgbImage whole;
    ASSERT_EQ(whole.CopyFrom(image), 0);
    ASSERT_EQ(image.Resize(2, 1), 0);
    const uint8_t* p = image.Lock();
    EXPECT_LE(p[0], 2); // left: black
    EXPECT_GE(p[3], 253);
    EXPECT_NEAR(p[4], 191, 3); // right: three white rows and one red row averaged
    // A single pixel averages everything: half black, the other half mostly white.
    ASSERT_EQ(whole.Resize(1, 1), 0);
    EXPECT_NEAR(whole.Lock()[0], 128, 3);
    EXPECT_NEAR(whole.Lock()[1], 96, 3);
}

// A transparent picture's alpha plane goes through copies and resampling with its pixels: the
// left half clear, the right half opaque.
TEST(RgbImageResize, AlphaIsCopiedAndResampledWithThePixels) {
    testutil::TempDir dir;
    const std::string png = dir.File("a.png");
    ASSERT_EQ(testutil::RunCommand("convert -size 8x4 xc:none -fill red -draw 'rectangle 4,0 7,3' "
                                   "PNG32:" +
                                   png)
                  .exitCode,
              0);
    RgbImage image, copy;
    ASSERT_EQ(image.LoadFile(png), 0);
    ASSERT_EQ(copy.CopyFrom(image), 0);
    ASSERT_TRUE(image.HasAlpha() && copy.HasAlpha());
    EXPECT_TRUE(std::equal(image.Alpha(), image.Alpha() + 32, copy.Alpha()));
    ASSERT_EQ(copy.Resize(2, 1), 0);
    ASSERT_TRUE(copy.HasAlpha());
    EXPECT_LE(copy.Alpha()[0], 2);
    EXPECT_GE(copy.Alpha()[1], 253);
}

TEST(RgbImageJpeg, WritesBaselineYCbCrAtTheQualityGiven) {
    const imagetest::Picture gradient = imagetest::Gradient(160, 120);
    RgbImage image;
    Fill(image, gradient);
    const std::vector<uint8_t> q70 = EncodeJpeg(image, 70);
    const std::vector<uint8_t> q20 = EncodeJpeg(image, 20);
    ASSERT_FALSE(q70.empty());
    ASSERT_FALSE(q20.empty());
    EXPECT_LT(q20.size(), q70.size());
    EXPECT_TRUE(HasMarker(q70, 0xC0));  // SOF0: baseline
    EXPECT_FALSE(HasMarker(q70, 0xC2)); // not progressive

    RgbImage decoded;
    ASSERT_EQ(decoded.LoadMemory(q70.data(), q70.size()), 0);
    ASSERT_EQ(decoded.Width(), 160u);
    EXPECT_GT(imagetest::Psnr(gradient, decoded.Lock()), 30.0);
    // Out-of-range qualities are clamped, not refused.
    EXPECT_FALSE(EncodeJpeg(image, 0).empty());
    EXPECT_FALSE(EncodeJpeg(image, 150).empty());
}

TEST(RgbImageJpeg, BufferBelowTheBoundGivesTheSameBytesOrTooSmall) {
    RgbImage image;
    Fill(image, imagetest::Gradient(64, 48));
    const std::vector<uint8_t> reference = EncodeJpeg(image, 80);
    ASSERT_FALSE(reference.empty());

    std::vector<uint8_t> exact(reference.size());
    EXPECT_EQ(image.WriteJpegToMemory(exact.data(), static_cast<uint32_t>(exact.size()), 80),
              static_cast<int>(reference.size()));
    EXPECT_EQ(exact, reference);

    std::vector<uint8_t> small(reference.size() - 1, 0xAB);
    EXPECT_EQ(image.WriteJpegToMemory(small.data(), static_cast<uint32_t>(small.size()), 80), 0);
    EXPECT_EQ(ISGetLastError(), kImageErrOutputTooSmall);
    EXPECT_EQ(small, std::vector<uint8_t>(reference.size() - 1, 0xAB)); // untouched
}

} // namespace

} // namespace kestrova::test
