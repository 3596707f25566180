// Bitmap tags decoded with the test-side reader. (FFmpeg decodes the bitmaps of whole movies in
// the command-line tests.)
#include "swf/swf_bitmaps.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using swftest::ParseOne;
using swftest::TagBytes;
using testutil::TempDir;

Bytes Pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The image data of a DefineBitsJPEG2 tag: everything after the character id.
Bytes JpegData(CSwfTag& tag) {
    swfread::Tag t = ParseOne(tag);
    EXPECT_EQ(t.code, 21);
    return t.body.size() < 2 ? Bytes() : Bytes(t.body.begin() + 2, t.body.end());
}

swfread::LosslessBitmap ParseLossless(CSwfTag& tag) {
    swfread::LosslessBitmap bitmap;
    std::string error;
    EXPECT_TRUE(swfread::ParseDefineBitsLossless(ParseOne(tag), bitmap, &error)) << error;
    return bitmap;
}

const Bytes kEoiSoi = {0xFF, 0xD9, 0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

// ---- DefineBitsJPEG2 -----------------------------------------------------------------------

TEST(SwfJpeg2, InMemoryStreamIsFramedByMarkers) {
    CSwfMovie movie;
    Bytes jpeg = Pattern(1000, 1);
    CSwfDefineBitsJPEG2 tag(jpeg.data(), 1000);
    Bytes bytes = TagBytes(tag);
    // 2 + 4 + 1000 + 2 = 1008 bytes: the long header (63 in the length bits, then u32 1008).
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0x7F, 0x05, 0xF0, 0x03, 0x00, 0x00}));
    swfread::Tag parsed = ParseOne(tag);
    EXPECT_TRUE(parsed.longHeader);
    ASSERT_EQ(parsed.length, 1008u);
    EXPECT_EQ(parsed.body[0] | parsed.body[1] << 8, 1);
    EXPECT_EQ(JpegData(tag), Concat({kEoiSoi, jpeg, kEoi}));
}

// The file is read at write time, so a changed file is picked up; paths of three characters
// or fewer mean no file, and overlong paths are cut.
TEST(SwfJpeg2, FileIsReadWhenWritten) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    std::string path = dir.File("picture.jpg");
    Bytes first = Pattern(3000, 3);
    ASSERT_TRUE(testutil::WriteFileBytes(path, first));
    CSwfDefineBitsJPEG2 tag(nullptr, 1, path.c_str());
    EXPECT_EQ(JpegData(tag), Concat({kEoiSoi, first, kEoi}));
    Bytes second = Pattern(70000, 4);
    ASSERT_TRUE(testutil::WriteFileBytes(path, second));
    EXPECT_EQ(JpegData(tag), Concat({kEoiSoi, second, kEoi}));
    // A file that cannot be opened leaves only the markers.
    CSwfDefineBitsJPEG2 missing(nullptr, 1, dir.File("missing.jpg").c_str());
    EXPECT_EQ(JpegData(missing), Concat({kEoiSoi, kEoi}));

    Bytes jpeg = Pattern(10, 2);
    CSwfDefineBitsJPEG2 threeCharacters(jpeg.data(), 10, "a.j");
    EXPECT_EQ(JpegData(threeCharacters), Concat({kEoiSoi, jpeg, kEoi}));
    CSwfDefineBitsJPEG2 none(jpeg.data(), 10);
    EXPECT_STREQ(none.Path(), " ");
    std::string longPath(2000, 'x');
    CSwfDefineBitsJPEG2 overlong(nullptr, 1, longPath.c_str());
    EXPECT_EQ(strlen(overlong.Path()), 1499u);
}

// ---- Other JPEG tags -----------------------------------------------------------------------

TEST(SwfJpegLibraryTags, TablesDefineBitsAndJpeg3Bodies) {
    CSwfMovie movie;
    Bytes tables = Pattern(20, 5);
    CSwfJPEGTables jpegTables(tables.data(), 20);
    swfread::Tag t = ParseOne(jpegTables);
    EXPECT_EQ(t.code, 8);
    EXPECT_EQ(t.body, tables);
    EXPECT_EQ(jpegTables.GetId(), 0);

    Bytes image = Pattern(30, 6);
    CSwfDefineBits bits(image.data(), 30);
    t = ParseOne(bits);
    EXPECT_EQ(t.code, 6);
    EXPECT_EQ(t.body, Concat({{0x01, 0x00}, image}));

    Bytes alpha = Pattern(12, 7);
    CSwfDefineBitsJPEG3 jpeg3(image.data(), 30, alpha.data(), 12);
    t = ParseOne(jpeg3);
    EXPECT_EQ(t.code, 35);
    // id 2, alpha offset 30 + 6 = 36, then the framed JPEG and the alpha data.
    EXPECT_EQ(t.body, Concat({{0x02, 0x00, 36, 0, 0, 0}, kEoiSoi, image, kEoi, alpha}));
}

// ---- DefineBitsLossless ----------------------------------------------------------------------

TEST(SwfLossless, TwoByTwo32BitPixels) {
    CSwfMovie movie;
    Bytes pixels = Pattern(16, 8);
    CSwfDefineBitsLossless tag(5, 2, 2, 0, nullptr, pixels.data());
    ASSERT_FALSE(tag.HasFailed());
    swfread::Tag t = ParseOne(tag);
    EXPECT_EQ(t.code, 20);
    // id, format, width, height: 7 bytes, no colour-table byte; then a zlib stream (which the
    // reader inflates and checks).
    ASSERT_GT(t.body.size(), 9u);
    EXPECT_EQ(Bytes(t.body.begin(), t.body.begin() + 7), (Bytes{1, 0, 5, 2, 0, 2, 0}));
    swfread::LosslessBitmap bitmap = ParseLossless(tag);
    EXPECT_EQ(bitmap.pixels, pixels);
    EXPECT_EQ(bitmap.zlibData.size(), tag.CompressedLength());
}

TEST(SwfLossless, ColourMappedWithFullTable) {
    Bytes table = Pattern(256 * 3, 9);
    Bytes pixels = Pattern(8, 10); // 3 x 2 pixels, rows padded to 4 bytes
    CSwfDefineBitsLossless tag(3, 3, 2, 256, table.data(), pixels.data());
    swfread::Tag t = ParseOne(tag);
    EXPECT_EQ(t.body[7], 255); // 256 colours are written as 255
    swfread::LosslessBitmap bitmap = ParseLossless(tag);
    EXPECT_EQ(bitmap.colourTableSize, 256u);
    EXPECT_EQ(bitmap.colourTable, table);
    EXPECT_EQ(bitmap.pixels, pixels);

    // The alpha form: tag 36 and four bytes per table entry.
    Bytes rgbaTable = Pattern(2 * 4, 11);
    CSwfDefineBitsLossless2 alpha(3, 3, 2, 2, rgbaTable.data(), pixels.data());
    t = ParseOne(alpha);
    EXPECT_EQ(t.code, 36);
    EXPECT_EQ(t.body[7], 1);
    bitmap = ParseLossless(alpha);
    EXPECT_TRUE(bitmap.hasAlpha);
    EXPECT_EQ(bitmap.colourTable, rgbaTable);
}

TEST(SwfLossless, FifteenBitRowsArePadded) {
    Bytes pixels = Pattern(3 * 8, 12); // 3 x 3 pixels of 2 bytes: rows of 6 padded to 8
    CSwfDefineBitsLossless tag(4, 3, 3, 0, nullptr, pixels.data());
    swfread::LosslessBitmap bitmap = ParseLossless(tag);
    EXPECT_EQ(bitmap.format, 4);
    EXPECT_EQ(bitmap.pixels, pixels);
}

TEST(SwfLossless, UnbuildableBitmapsFailAndWriteNothing) {
    CSwfMovie movie;
    Bytes pixel(4, 0);
    auto* tooWide = new CSwfDefineBitsLossless(5, 70000, 1, 0, nullptr, pixel.data());
    EXPECT_TRUE(tooWide->HasFailed());
    EXPECT_NE(std::string(tooWide->FailureText()).find("65535"), std::string::npos);
    EXPECT_TRUE(TagBytes(*tooWide).empty());
    CSwfDefineBitsLossless2 tooHigh(5, 1, 65536, 0, nullptr, pixel.data());
    EXPECT_TRUE(tooHigh.HasFailed());
    CSwfDefineBitsLossless noTable(3, 1, 1, 0, nullptr, pixel.data());
    EXPECT_TRUE(noTable.HasFailed());
    CSwfDefineBitsLossless badFormat(6, 1, 1, 0, nullptr, pixel.data());
    EXPECT_TRUE(badFormat.HasFailed());
    CSwfDefineBitsLossless largest(5, 65535, 0, 0, nullptr, pixel.data());
    EXPECT_FALSE(largest.HasFailed());

    // The movie refuses to write a file holding a failed tag and says why.
    movie.AddTag(tooWide);
    EXPECT_EQ(movie.FailureText(), tooWide->FailureText());
    TempDir dir;
    EXPECT_EQ(movie.WriteFile(dir.File("m.swf").c_str(), 2000, 2000, 12), 0);
}

} // namespace
