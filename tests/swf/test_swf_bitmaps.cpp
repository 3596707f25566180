// Bitmap tags decoded with the test-side reader. (FFmpeg decodes the bitmaps of whole movies in
// the command-line tests.)
#include "swf/swf_bitmaps.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

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
    const std::tuple<std::shared_ptr<CSwfTag>, int, Bytes> cases[] = {
        {std::make_shared<CSwfDefineBitsJPEG2>(2, image.data(), 1000), 21,
         Join({{0x02, 0x00}, kEoiSoi, image, kEoi})},
        {std::make_shared<CSwfDefineBitsJPEG2>(fromFile), 21,
         Join({{0x03, 0x00}, kEoiSoi, file, kEoi})},
        {std::make_shared<CSwfDefineBitsJPEG2>(4, dir.File("missing.jpg")), 21,
         Join({{0x04, 0x00}, kEoiSoi, kEoi})},
        {std::make_shared<CSwfDefineBitsJPEG2>(5, "p.j"), 21, Join({{0x05, 0x00}, kEoiSoi, kEoi})},
        {std::make_shared<CSwfJPEGTables>(alpha.data(), 12), 8, alpha},
        {std::make_shared<CSwfDefineBits>(6, image.data(), 30), 6,
         Join({{0x06, 0x00}, Bytes(image.begin(), image.begin() + 30)})},
        // The alpha data's offset: 30 + 6 bytes of markers.
        {std::make_shared<CSwfDefineBitsJPEG3>(7, image.data(), 30, alpha.data(), 12), 35,
         Join({{0x07, 0x00, 36, 0, 0, 0},
               kEoiSoi,
               Bytes(image.begin(), image.begin() + 30),
               kEoi,
               alpha})},
    };
    for (const auto& [tag, code, body] : cases) {
        swfread::Tag t = ParseOne(*tag);
        EXPECT_EQ(t.code, code);
        EXPECT_EQ(t.body, body);
    }
    // 1008 bytes of body: the long header form.
    const Bytes first = swftest::TagBytes(*std::get<0>(cases[0]));
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 6), (Bytes{0x7F, 0x05, 0xF0, 0x03, 0, 0}));
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
        SCOPED_TRACE(static_cast<int>(c.pixels.format));
        c.pixels.colourTable = c.table.data();
        c.pixels.pixels = c.rows.data();
        CSwfLosslessResult made = MakeDefineBitsLossless(1, c.pixels);
        ASSERT_TRUE(made.tag) << made.error;
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
        {{.format = 3, .width = 1, .height = 1, .colourTableSize = 257},
         "colour table of 1 to 256"},
        {{.format = 6, .width = 1, .height = 1}, "(3, 4 or 5 expected)"},
        {{.width = 65535, .height = 0}, nullptr},
    };
    for (auto [pixels, error] : cases) {
        pixels.pixels = pixel.data();
        CSwfLosslessResult made = MakeDefineBitsLossless(1, pixels);
        EXPECT_EQ(made.tag == nullptr, error != nullptr);
        if (error != nullptr) {
            EXPECT_NE(std::string(made.error).find(error), std::string::npos) << made.error;
        }
    }
}

} // namespace
