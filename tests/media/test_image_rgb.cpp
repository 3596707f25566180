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

TEST(RgbImageMemory, AllocateCopyAndClear) {
    RgbImage image;
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Lock(), nullptr);
    EXPECT_EQ(image.LockCount(), 0);

    ASSERT_EQ(image.Allocate(3, 2), 0);
    uint8_t* pixels = image.Lock();
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 18), std::vector<uint8_t>(18, 0));
    pixels[17] = 42;
    image.Lock();
    EXPECT_EQ(image.LockCount(), 2);

    RgbImage copy;
    ASSERT_EQ(copy.CopyFrom(image), 0);
    EXPECT_EQ(copy.Width(), 3u);
    EXPECT_EQ(copy.Lock()[17], 42);
    EXPECT_NE(copy.Lock(), image.Lock());

    EXPECT_EQ(image.Clear(), 0);
    EXPECT_EQ(image.LockCount(), 0);
    EXPECT_EQ(image.Width(), 0u);
    EXPECT_EQ(copy.CopyFrom(image), 1); // nothing to copy: the copy is cleared
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(RgbImageMemory, ImpossibleAllocationsLeaveTheImageEmpty) {
    RgbImage image;
    ASSERT_EQ(image.Allocate(2, 2), 0);
    EXPECT_EQ(image.Allocate(0, 5), kImageErrBadParam);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Allocate(65535, 65535), kImageErrNoMemory); // beyond the pixel limit
    EXPECT_TRUE(image.IsEmpty());
}

TEST(RgbImageResize, SolidColourStaysExactWhenShrinkingAndGrowing) {
    RgbImage image;
    imagetest::Picture solid{8, 8, {}};
    for (int i = 0; i < 64; ++i) {
        solid.rgb.insert(solid.rgb.end(), {200, 100, 30});
    }
    Fill(image, solid);
    for (auto [w, h] : {std::pair{3u, 5u}, std::pair{1u, 1u}, std::pair{17u, 9u}}) {
        ASSERT_EQ(image.Resize(w, h), 0);
        ASSERT_EQ(image.Width(), w);
        ASSERT_EQ(image.Height(), h);
        const uint8_t* p = image.Lock();
        for (uint32_t i = 0; i < w * h; ++i) {
            ASSERT_NEAR(p[i * 3], 200, 1) << w << "x" << h;
            ASSERT_NEAR(p[i * 3 + 1], 100, 1);
            ASSERT_NEAR(p[i * 3 + 2], 30, 1);
        }
        image.Unlock();
    }
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

// A decoded picture's buffer may end right before memory that cannot be read: the resampler
// must not read past its last row, whatever the sizes.
TEST(RgbImageResize, ReadsNothingPastThePicture) {
    const long page = sysconf(_SC_PAGESIZE);
    for (auto [w, h, newW, newH] : {std::array{16u, 2u, 6u, 1u}, std::array{641u, 481u, 300u, 200u},
                                    std::array{1u, 40u, 1u, 20u}, std::array{3u, 3u, 9u, 9u}}) {
        const size_t size = size_t{w} * h * 3;
        const size_t mapped = (size / page + 2) * page;
        void* block =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(block, MAP_FAILED);
        uint8_t* guard = static_cast<uint8_t*>(block) + mapped - page;
        ASSERT_EQ(mprotect(guard, page, PROT_NONE), 0);
        std::memset(guard - size, 90, size);
        std::vector<uint8_t> out(size_t{newW} * newH * 3);
        EXPECT_EQ(ISResizeImage(guard - size, w, h, out.data(), newW, newH), 0) << w << "x" << h;
        EXPECT_EQ(*std::min_element(out.begin(), out.end()), 90);
        EXPECT_EQ(*std::max_element(out.begin(), out.end()), 90);
        munmap(block, mapped);
    }
}

TEST(RgbImageResize, NeedsPixelsAndASize) {
    RgbImage image;
    EXPECT_EQ(image.Resize(4, 4), kImageErrBadParam);
    ASSERT_EQ(image.Allocate(2, 2), 0);
    EXPECT_EQ(image.Resize(0, 4), kImageErrBadParam);
    EXPECT_EQ(image.Width(), 2u); // unchanged
    EXPECT_FALSE(image.IsEmpty());
}

TEST(RgbImageJpeg, TinyPicturesEncodeAndDecode) {
    for (uint32_t side : {1u, 2u}) {
        RgbImage image;
        imagetest::Picture picture{side, side, {}};
        for (uint32_t i = 0; i < side * side; ++i) {
            picture.rgb.insert(picture.rgb.end(), {30, 160, 220});
        }
        Fill(image, picture);
        const std::vector<uint8_t> jpeg = EncodeJpeg(image, 90);
        ASSERT_FALSE(jpeg.empty()) << side;
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
        EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);

        RgbImage decoded;
        ASSERT_EQ(decoded.LoadMemory(jpeg.data(), jpeg.size()), 0);
        EXPECT_LE(
            imagetest::MaxDifference(picture, decoded.Lock(), decoded.Width(), decoded.Height()),
            4);
    }
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

TEST(RgbImageJpeg, EmptyImageOrNoBufferIsABadParameter) {
    RgbImage image;
    uint8_t buffer[4096];
    EXPECT_EQ(image.WriteJpegToMemory(buffer, sizeof buffer, 80), kImageErrBadParam);
    ASSERT_EQ(image.Allocate(4, 4), 0);
    EXPECT_EQ(image.WriteJpegToMemory(nullptr, 4096, 80), kImageErrBadParam);
    EXPECT_EQ(image.WriteJpegToMemory(buffer, 0, 80), kImageErrBadParam);
    EXPECT_EQ(image.LockCount(), 0); // every path unlocks
}

TEST(RgbImageJpeg, FileDestinationWritesAReadableFile) {
    testutil::TempDir dir;
    const imagetest::Picture gradient = imagetest::Gradient(40, 30);
    const std::string path = dir.File("frame.jpg");
    ISDest* dest = ISOpenFileDest(path);
    ASSERT_NE(dest, nullptr);
    const size_t written = ISWriteJPG(dest, gradient.rgb.data(), 40, 30, 75);
    ISCloseDest(dest);
    ASSERT_GT(written, 0u);
    EXPECT_EQ(testutil::ReadFileBytes(path).size(), written);
    RgbImage image;
    ASSERT_EQ(image.LoadFile(path), 0);
    EXPECT_GT(imagetest::Psnr(gradient, image.Lock()), 30.0);

    dest = ISOpenFileDest(dir.File("missing-folder/frame.jpg"));
    EXPECT_EQ(ISWriteJPG(dest, gradient.rgb.data(), 40, 30, 75), 0u);
    EXPECT_EQ(ISGetLastError(), kImageErrFileOpen);
    ISCloseDest(dest);
}

TEST(ImageErrorTexts, KnownCodesHaveTheirTextsOthersANumber) {
    EXPECT_EQ(ImageErrorText(0), "no err");
    EXPECT_EQ(ImageErrorText(16), "internal PNG lib behavior - contact smaller animals s.w.");
    EXPECT_EQ(ImageErrorText(36), "LZW de/compression is not permitted");
    EXPECT_EQ(ImageErrorText(6), "the file is not a BMP picture or is damaged");
    EXPECT_EQ(ImageErrorText(32), "the file is not a TGA picture or is damaged");
    for (int code : {8, 12, 33, 34, 39, 1000}) {
        EXPECT_EQ(ImageErrorText(code), "Error #" + std::to_string(code) + "!");
    }
    EXPECT_EQ(ImageErrorText(-1), "Error #4294967295!");
}

} // namespace
