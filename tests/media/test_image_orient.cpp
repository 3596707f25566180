// Pictures with an orientation tag come out upright: every orientation of a JPEG (EXIF in either
// byte order) and of a TIFF decodes to what ImageMagick shows after -auto-orient, and a damaged
// EXIF block leaves the picture as stored.
#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

namespace {

enum class Exif { None, Little, Big, IfdCut, IfdOutside, BadValue };

struct OrientCase {
    std::string name;
    const char* target; // .jpg gets an EXIF block written in; .tif gets ImageMagick's tag
    int orientation;
    Exif exif = Exif::Little;
};

const char* const kOrientNames[] = {"",           "TopLeft", "TopRight", "BottomRight",
                                    "BottomLeft", "LeftTop", "RightTop", "RightBottom",
                                    "LeftBottom"};

void Put16(std::vector<uint8_t>& out, uint32_t value, bool big) {
    out.push_back(static_cast<uint8_t>(big ? value >> 8 : value));
    out.push_back(static_cast<uint8_t>(big ? value : value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value, bool big) {
    Put16(out, big ? value >> 16 : value & 0xFFFF, big);
    Put16(out, big ? value & 0xFFFF : value >> 16, big);
}

// An APP1 segment with EXIF whose first directory holds the orientation tag alone, damaged as
// the case says.
std::vector<uint8_t> ExifSegment(const OrientCase& c) {
    const bool big = c.exif == Exif::Big;
    std::vector<uint8_t> tiff = {'E', 'x', 'i', 'f', 0, 0};
    tiff.insert(tiff.end(), big ? "MM" : "II", (big ? "MM" : "II") + 2);
    Put16(tiff, 42, big);
    Put32(tiff, c.exif == Exif::IfdOutside ? 0x1000 : 8, big);
    Put16(tiff, 1, big);
    Put16(tiff, 0x0112, big);
    Put16(tiff, 3, big);
    Put32(tiff, 1, big);
    Put16(tiff, c.exif == Exif::BadValue ? 9 : static_cast<uint32_t>(c.orientation), big);
    Put16(tiff, 0, big);
    if (c.exif == Exif::IfdCut) {
        tiff.resize(tiff.size() - 6); // the entry ends before its value
    }
    std::vector<uint8_t> segment = {0xFF, 0xE1};
    Put16(segment, static_cast<uint32_t>(tiff.size() + 2), true);
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    return segment;
}

using Orientation = imagetest::ConvertTest<OrientCase>;

TEST_P(Orientation, DecodesUpright) {
    const OrientCase& c = GetParam();
    testutil::TempDir dir;
    // Six blocks of six different colours: no turn or mirror maps the picture onto itself.
    const imagetest::Picture source = imagetest::Pattern(24, 16, 8);
    const bool jpeg = std::string(c.target).ends_with(".jpg");
    const std::string options = jpeg ? "-quality 100 -sampling-factor 1x1"
                                     : std::string("-orient ") + kOrientNames[c.orientation];
    const std::string path = imagetest::Convert(dir, source, options, c.target);
    ASSERT_FALSE(path.empty());
    if (jpeg && c.exif != Exif::None) {
        std::vector<uint8_t> bytes = testutil::ReadFileBytes(path);
        const std::vector<uint8_t> segment = ExifSegment(c);
        bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
        ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));
    }

    RgbImage image;
    const int code = image.LoadFile(path);
    ASSERT_EQ(code, 0) << ImageErrorText(code);
    // A damaged EXIF block leaves the picture as stored.
    const imagetest::Picture expected =
        c.exif >= Exif::IfdCut ? source : imagetest::ImageMagickRead(dir, path, "-auto-orient");
    ASSERT_FALSE(expected.rgb.empty());
    const int worst = imagetest::MaxDifference(expected, image);
    EXPECT_GE(worst, 0) << "size " << image.Width() << "x" << image.Height();
    EXPECT_LE(worst, jpeg ? 8 : 0);
}

std::vector<OrientCase> Cases() {
    std::vector<OrientCase> cases;
    for (int o = 1; o <= 8; ++o) {
        // Odd orientations in little-endian EXIF, even ones in big-endian.
        const Exif order = o % 2 != 0 ? Exif::Little : Exif::Big;
        cases.push_back({"Jpeg" + std::to_string(o), "o.jpg", o, order});
        cases.push_back({"Tiff" + std::to_string(o), "o.tif", o});
    }
    cases.push_back({"JpegWithoutExif", "o.jpg", 6, Exif::None});
    cases.push_back({"JpegIfdCut", "o.jpg", 6, Exif::IfdCut});
    cases.push_back({"JpegIfdOutside", "o.jpg", 6, Exif::IfdOutside});
    cases.push_back({"JpegValueNine", "o.jpg", 6, Exif::BadValue});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllOrientations, Orientation, ::testing::ValuesIn(Cases()),
                         imagetest::CaseName());

} // namespace

} // namespace kestrova::test
