// Test pictures for the imaging tests: a known pattern of solid colour blocks, written as a
// PPM and converted by ImageMagick into the format under test.
#pragma once

#include "media/rgb_image.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

namespace imagetest {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* At(uint32_t x, uint32_t y) const { return &rgb[(size_t{y} * width + x) * 3]; }
};

// Blocks of `block` x `block` pixels in eight saturated colours (or five greys), laid out so
// that neighbouring blocks always differ and the picture is not left-right symmetric.
Picture Pattern(uint32_t width, uint32_t height, uint32_t block, bool grey = false);
// A smooth colour gradient, the kind of content JPEG is made for.
Picture Gradient(uint32_t width, uint32_t height);

// Writes the picture as a PPM in dir and runs `convert <ppm> <options> <target>`, where
// target may carry an ImageMagick format prefix ("bmp3:"). Returns the file's path (target
// without the prefix), or "" when convert failed.
std::string Convert(const testutil::TempDir& dir, const Picture& picture,
                    const std::string& options, const std::string& target);

// Largest difference of any channel of any pixel of the decoded image; -1 when the sizes
// differ.
int MaxDifference(const Picture& expected, RgbImage& image);
// Peak signal-to-noise ratio in dB over all channels (1000 for identical pictures).
double Psnr(const Picture& expected, const uint8_t* rgb);

// What ImageMagick reads from the file at path (as `convert <path> <options>`), as 8-bit RGB;
// no pixels when convert fails.
Picture ImageMagickRead(const testutil::TempDir& dir, const std::string& path,
                        const std::string& options);

// A test over named cases that needs ImageMagick: skipped where convert is not installed.
template <class Case> class ConvertTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("convert")) {
            GTEST_SKIP() << "ImageMagick convert not found";
        }
    }
};

// Names each instantiated case after its `name`.
struct CaseName {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

} // namespace imagetest

} // namespace kestrova::test
