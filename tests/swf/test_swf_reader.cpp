// The test-side reader on hand-assembled bytes, so that it is checked independently of the
// writer whose output it decodes elsewhere.
#include "support/swf_reader.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// RECT (0, 11000, 0, 8000) in 15-bit fields.
const Bytes kFrameRect = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};

Bytes EmptyMovie() {
    Bytes file = {'F', 'W', 'S', 5, 23, 0, 0, 0};
    file.insert(file.end(), kFrameRect.begin(), kFrameRect.end());
    file.insert(file.end(), {0x00, 0x0C, 0x02, 0x00, 0x00, 0x00});
    return file;
}

TEST(SwfReader, HeaderAndEndTag) {
    swfread::Swf swf;
    std::string error;
    ASSERT_TRUE(swfread::ParseSwf(EmptyMovie(), swf, &error)) << error;
    const swfread::Header& h = swf.header;
    EXPECT_EQ(std::tuple(h.version, h.fileLength, h.frameRate8_8 >> 8, h.frameCount, h.headerSize),
              std::tuple(5, 23u, 12, 2, 21u));
    EXPECT_EQ(std::tuple(h.frameSize.nBits, h.frameSize.xMax, h.frameSize.yMax),
              std::tuple(15u, 11000, 8000));
    ASSERT_EQ(swf.tags.size(), 1u);
    EXPECT_EQ(swf.tags[0].code, 0);
    EXPECT_EQ(swf.tags[0].offset, 21u);
}

TEST(SwfReader, RejectsInconsistentFiles) {
    swfread::Swf swf;
    Bytes wrongLength = EmptyMovie();
    wrongLength[4] = 24;
    EXPECT_FALSE(swfread::ParseSwf(wrongLength, swf));
    Bytes noEnd = EmptyMovie();
    noEnd.resize(21);
    noEnd[4] = 21;
    EXPECT_FALSE(swfread::ParseSwf(noEnd, swf));
    // A tag whose length runs past the end of the data.
    Bytes tags = {0x05, 0x00, 0xAA, 0x00, 0x00};
    std::vector<swfread::Tag> parsed;
    EXPECT_FALSE(swfread::ParseTags(tags.data(), tags.size(), parsed));
}

TEST(SwfReader, ShapeRecordsAndLongHeaders) {
    Bytes body = {0x01, 0x00};
    body.insert(body.end(), kFrameRect.begin(), kFrameRect.end());
    body.insert(body.end(), {0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x10});
    // move to (-5, 7) with fill style 0 = 1; curve (1, -1, 2, -2) in 3 bits; end.
    body.insert(body.end(), {0x0C, 0x96, 0xF8, 0x4F, 0x58, 0x00});
    Bytes data = {0xBF, 0x00, static_cast<uint8_t>(body.size()), 0, 0, 0}; // code 2, long form
    data.insert(data.end(), body.begin(), body.end());
    data.insert(data.end(), {0x00, 0x00});
    std::vector<swfread::Tag> tags;
    std::string error;
    ASSERT_TRUE(swfread::ParseTags(data.data(), data.size(), tags, &error)) << error;
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_TRUE(tags[0].longHeader);
    swfread::Shape shape;
    ASSERT_TRUE(swfread::ParseDefineShape(tags[0], shape, &error)) << error;
    EXPECT_EQ(shape.fillStyles[0].colour, (swfread::Rgba{0xFF, 0, 0, 255}));
    ASSERT_EQ(shape.records.size(), 3u);
    EXPECT_EQ(shape.records[0].moveX, -5);
    EXPECT_EQ(shape.records[0].moveY, 7);
    EXPECT_EQ(shape.records[0].fillStyle0, 1u);
    EXPECT_EQ(shape.records[1].numBits, 3u);
    EXPECT_EQ(shape.records[1].controlDy, -1);
    EXPECT_EQ(shape.records[1].anchorDy, -2);
    EXPECT_EQ(shape.records[2].kind, swfread::ShapeRecord::Kind::End);
}

} // namespace
