#include "test_image_pictures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace kestrova::test {

namespace imagetest {

Picture Pattern(uint32_t width, uint32_t height, uint32_t block, bool grey) {
    static const uint8_t kColours[8][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},
                                           {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                                           {0, 255, 255}, {255, 0, 255}};
    static const uint8_t kGreys[5] = {0, 64, 128, 192, 255};
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t index = x / block + 3 * (y / block);
            uint8_t* p = &picture.rgb[(size_t{y} * width + x) * 3];
            if (grey) {
                std::memset(p, kGreys[index % 5], 3);
            } else {
                std::memcpy(p, kColours[index % 8], 3);
            }
        }
    }
    return picture;
}

Picture Gradient(uint32_t width, uint32_t height) {
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &picture.rgb[(size_t{y} * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
            p[2] = static_cast<uint8_t>(128 + 100 * std::sin((x + y) / 9.0));
        }
    }
    return picture;
}

std::string Convert(const testutil::TempDir& dir, const Picture& picture,
                    const std::string& options, const std::string& target) {
    const std::string ppm = dir.File("pattern.ppm");
    std::string header =
        "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), picture.rgb.begin(), picture.rgb.end());
    if (!testutil::WriteFileBytes(ppm, bytes)) {
        return "";
    }
    const std::string name = target.substr(target.find(':') + 1); // npos + 1 is 0
    const std::string path = dir.File(name);
    const std::string command =
        "convert " + testutil::ShellQuote(ppm) + " " + options + " " +
        testutil::ShellQuote(target.substr(0, target.size() - name.size()) + path) + " 2>&1";
    return testutil::RunCommand(command).exitCode == 0 ? path : "";
}

Picture ImageMagickRead(const testutil::TempDir& dir, const std::string& path,
                        const std::string& options) {
    const std::string ppm = dir.File("reference.ppm");
    Picture picture;
    if (testutil::RunCommand("convert " + testutil::ShellQuote(path) + " " + options +
                             " -depth 8 " + testutil::ShellQuote("ppm:" + ppm))
            .exitCode != 0) {
        return picture;
    }
    // A binary PPM with 8-bit samples, as ImageMagick writes it.
    const std::vector<uint8_t> bytes = testutil::ReadFileBytes(ppm);
    std::istringstream header(std::string(bytes.begin(), bytes.end()));
    std::string magic;
    int maxValue = 0;
    header >> magic >> picture.width >> picture.height >> maxValue;
    const size_t size = size_t{picture.width} * picture.height * 3;
    const auto start = static_cast<size_t>(header.tellg()) + 1;
    if (magic == "P6" && maxValue == 255 && bytes.size() >= start + size) {
        picture.rgb.assign(bytes.begin() + start, bytes.begin() + start + size);
    }
    return picture;
}

int MaxDifference(const Picture& expected, RgbImage& image) {
    const uint8_t* rgb = image.Lock();
    int worst =
        rgb == nullptr || image.Width() != expected.width || image.Height() != expected.height ? -1
                                                                                               : 0;
    for (size_t i = 0; worst >= 0 && i < expected.rgb.size(); ++i) {
        worst = std::max(worst, std::abs(int{expected.rgb[i]} - int{rgb[i]}));
    }
    image.Unlock();
    return worst;
}

double Psnr(const Picture& expected, const uint8_t* rgb) {
    double sum = 0;
    for (size_t i = 0; i < expected.rgb.size(); ++i) {
        const double d = static_cast<double>(expected.rgb[i]) - static_cast<double>(rgb[i]);
        sum += d * d;
    }
    if (sum == 0) {
        return 1000;
    }
    return 10 * std::log10(255.0 * 255.0 * double(expected.rgb.size()) / sum);
}

} // namespace imagetest

} // namespace kestrova::test
