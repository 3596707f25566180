// Bitmap tags, decoded with the test-side reader.
#include "swf/swf_bitmaps.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

namespace kestrova::test {

namespace {

using swftest::Bytes;
using swftest::Join;
using swftest::ParseOne;
using swftest::Pattern;

const Bytes kEoiSoi = {0xFF, 0xD9, 0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

// The JPEG tags: the file form is read when the movie is written (a changed file is picked
// up, a missing one leaves the markers; three characters or fewer are no path).
TEST(SwfJpegTags, BodiesByteForByte) {
    testutil::TempDir dir;
    const Bytes image = Pattern(1000, 1), alpha = Pattern(12, 7), file = Pattern(3000, 3);
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("p.jpg"), Pattern(10, 9)));
    CSwfDefineBitsJPEG2 fromFile(3, dir.File("p.jpg"));
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("p.jpg"), file));
    const Bytes part(image.begin(), image.begin() + 30);
    const std::pair<swfread::Tag, std::pair<int, Bytes>> cases[] = {
        {ParseOne(CSwfDefineBitsJPEG2(2, image.data(), 1000)),
         {21, Join({{0x02, 0x00}, kEoiSoi, image, kEoi})}},
        {ParseOne(fromFile), {21, Join({{0x03, 0x00}, kEoiSoi, file, kEoi})}},
        {ParseOne(CSwfDefineBitsJPEG2(4, dir.File("missing.jpg"))),
         {21, Join({{4, 0}, kEoiSoi, kEoi})}},
        {ParseOne(CSwfDefineBitsJPEG2(5, "p.j")), {21, Join({{0x05, 0x00}, kEoiSoi, kEoi})}},
        {ParseOne(CSwfJPEGTables(alpha.data(), 12)), {8, alpha}},
        {ParseOne(CSwfDefineBits(6, image.data(), 30)), {6, Join({{0x06, 0x00}, part})}},
        // The alpha data's offset: 30 + 6 bytes of markers.
        {ParseOne(CSwfDefineBitsJPEG3(7, image.data(), 30, alpha.data(), 12)),
         {35, Join({{0x07, 0x00, 36, 0, 0, 0}, kEoiSoi, part, kEoi, alpha})}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(std::pair(int{cases[i].first.code}, cases[i].first.body), cases[i].second) << i;
    }
}

// The colour table (RGB, or RGBA with alpha) and the padded rows are compressed together; the
// reader inflates them and checks that nothing is left over.
TEST(SwfLossless, TablesAndRowsAreCompressedTogether) {
    const Bytes rgb = Pattern(256 * 3, 9), rgba = Pattern(2 * 4, 11);
    struct Case {
        CSwfLosslessPixels pixels;
        Bytes table, rows;
        Bytes head; // id, format, width, height and, for format 3, the table size less one
    } cases[] = {
        {{.format = 5, .width = 2, .height = 2}, {}, Pattern(16, 8), {1, 0, 5, 2, 0, 2, 0}},
        {{.format = 4, .width = 3, .height = 3}, {}, Pattern(24, 12), {1, 0, 4, 3, 0, 3, 0}},
        {{.format = 3, .width = 3, .height = 2, .colourTableSize = 256},
         rgb,
         Pattern(8, 10),
         {1, 0, 3, 3, 0, 2, 0, 255}},
        {{.format = 3, .width = 3, .height = 2, .withAlpha = true, .colourTableSize = 2},
         rgba,
         Pattern(8, 10),
         {1, 0, 3, 3, 0, 2, 0, 1}},
    };
    for (Case& c : cases) {
        c.pixels.colourTable = c.table.data();
        c.pixels.pixels = c.rows.data();
        CSwfLosslessResult made = MakeDefineBitsLossless(1, c.pixels);
        ASSERT_TRUE(made.tag) << made.error << int{c.pixels.format};
        swfread::Tag t = ParseOne(*made.tag);
        EXPECT_EQ(t.code, c.pixels.withAlpha ? 36 : 20);
        EXPECT_EQ(Bytes(t.body.begin(), t.body.begin() + c.head.size()), c.head);
        swfread::LosslessBitmap bitmap;
        std::string error;
        ASSERT_TRUE(swfread::ParseDefineBitsLossless(t, bitmap, &error)) << error;
        EXPECT_EQ(bitmap.colourTable, c.table);
        EXPECT_EQ(bitmap.pixels, c.rows);
        EXPECT_EQ(bitmap.zlibData.size(), made.tag->CompressedLength());
    }
}

TEST(SwfLossless, BitmapsThatCannotBeMadeSayWhy) {
    const Bytes pixel(4, 0);
    const std::pair<CSwfLosslessPixels, const char*> cases[] = {
        {{.width = 70000, .height = 1}, "at most 65535 x 65535"},
        {{.width = 1, .height = 65536, .withAlpha = true}, "at most 65535 x 65535"},
        {{.format = 3, .width = 1, .height = 1}, "colour table of 1 to 256"},
        {{.format = 3, .width = 1, .height = 1, .colourTableSize = 257}, "table of 1 to 256"},
        {{.format = 6, .width = 1, .height = 1}, "(3, 4 or 5 expected)"},
        {{.width = 65535, .height = 0}, ""},
    };
    for (auto [pixels, error] : cases) {
        pixels.pixels = pixel.data();
        CSwfLosslessResult made = MakeDefineBitsLossless(1, pixels);
        EXPECT_EQ(made.tag == nullptr, error[0] != '\0');
        EXPECT_NE(std::string(made.error ? made.error : "").find(error), std::string::npos);
    }
}

} // namespace

} // namespace kestrova::test
