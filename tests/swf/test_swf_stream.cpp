// Bit writer, records and tag headers, checked byte by byte.
#include "swf/swf_stream.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

namespace {

using swftest::Bytes;
using swftest::StreamBytes;

template <typename Record> Bytes RecordBytes(const Record& record) {
    CSwfStream s;
    record.Write(s);
    return s.Bytes();
}

TEST(SwfBits, PacksMostSignificantBitFirstAcrossBytes) {
    CSwfStream s;
    s.WriteBits(5, 3);
    s.WriteBits(1, 1);
    s.Align();
    s.WriteU16(0x1234);
    s.WriteBits(0x3, 2);
    s.WriteBits(0xDEADBEEF, 32);
    s.WriteBits(0x3, 2);
    EXPECT_EQ(s.Length(), 7u) << "a partial byte is not counted";
    s.Align();
    s.WriteU32(0x01020304);
    EXPECT_EQ(s.Bytes(), (Bytes{0xB0, 0x34, 0x12, 0xF7, 0xAB, 0x6F, 0xBB, 0xF0, 4, 3, 2, 1}));
    EXPECT_FALSE(s.Failed());
}

TEST(SwfBits, ValuesThatDoNotFitTheirFieldFailTheStream) {
    struct Case {
        bool isSigned;
        int64_t value;
        uint32_t bits;
        bool fits;
    } cases[] = {
        {false, 3, 2, true},   {false, 4, 2, false}, {false, 0xFFFFFFFF, 32, true},
        {false, 0, 33, false}, {true, -2, 2, true},  {true, -3, 2, false},
        {true, 1, 2, true},    {true, 2, 2, false},  {true, INT32_MIN, 32, true},
        {true, 0, 0, true},    {true, 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " in " + std::to_string(c.bits));
        CSwfStream s;
        if (c.isSigned) {
            s.WriteSignedBits(static_cast<int32_t>(c.value), c.bits);
        } else {
            s.WriteBits(static_cast<uint32_t>(c.value), c.bits);
        }
        // The failure travels with the bytes into the stream they are appended to.
        CSwfStream outer;
        s.Align();
        outer.AppendStream(s);
        EXPECT_EQ(outer.Failed(), !c.fits);
    }
}

TEST(SwfStream, ReferencedBlocksKeepTheirPlace) {
    static const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    testutil::TempDir dir;
    Bytes content(3 << 20); // larger than one copy chunk
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    }
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("block"), content));
    CSwfStream body;
    body.WriteU8(1);
    body.AppendBlock(payload, 3);
    body.WriteU8(2);
    body.AppendFileBlock(dir.File("block"), static_cast<uint32_t>(content.size()));
    CSwfStream out;
    out.WriteU16(0x0102);
    out.AppendStream(body);
    EXPECT_EQ(out.Length(), 7u + content.size());
    Bytes expected = {0x02, 0x01, 0x01, 0xAA, 0xBB, 0xCC, 0x02};
    expected.insert(expected.end(), content.begin(), content.end());
    EXPECT_EQ(StreamBytes(out), expected);

    CSwfStream gone;
    gone.AppendFileBlock(dir.File("missing"), 10);
    FILE* f = tmpfile();
    EXPECT_EQ(gone.WriteTo(f), 0);
    fclose(f);
}

TEST(SwfStream, TagHeaderIsLongFromSixtyThreeBytes) {
    const std::pair<uint32_t, Bytes> cases[] = {
        {0, {0x00, 0x03}}, {62, {0x3E, 0x03}}, {63, {0x3F, 0x03, 63, 0, 0, 0}}};
    for (const auto& [length, bytes] : cases) {
        CSwfStream s;
        s.WriteTagHeader(12, length);
        EXPECT_EQ(s.Bytes(), bytes) << length;
    }
}

TEST(SwfRecords, RectsTakeAtLeastFifteenBits) {
    // (0, 11000, 0, 8000) in 15-bit fields; wider fields from 16384 twips either way.
    EXPECT_EQ(RecordBytes(CSwfRect(0, 0, 11000, 8000)),
              (Bytes{0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}));
    EXPECT_EQ(CSwfRect(0, 0, 16383, 0).NBits(), 15u);
    EXPECT_EQ(CSwfRect(-32767, 0, 0, 0).NBits(), 16u);
    EXPECT_EQ(CSwfRect(0, 0, 65535, 2).NBits(), 17u);
}

TEST(SwfRecords, MatrixGroupsAreSizedByTheirLargestTerm) {
    const std::pair<CSwfMatrix, Bytes> cases[] = {
        {CSwfMatrix{}, {0x02, 0x00}},
        {CSwfMatrix{.scale = CSwfMatrix::Terms{1, 1}, .compact = true}, {0x00}},
        // Scale 1.0 in 18 bits, no rotation, translation (-20, 40) in 7 bits.
        {CSwfMatrix{.scale = CSwfMatrix::Terms{65536, 65536}, .translateX = -20, .translateY = 40},
         {0xC9, 0x00, 0x00, 0x40, 0x00, 0x07, 0xD8, 0xA0}},
        // Rotation only, -3 and 2 in 3 bits, no translation.
        {CSwfMatrix{.rotate = CSwfMatrix::Terms{-3, 2}}, {0x47, 0x50, 0x40}},
    };
    for (const auto& [matrix, bytes] : cases) {
        EXPECT_EQ(RecordBytes(matrix), bytes);
    }
}

TEST(SwfRecords, ColoursAndColourTransforms) {
    CSwfStream s;
    CSwfRGBA::FromBgr(0x7FFF8040u).Write(s, true);
    CSwfRGBA{1, 2, 3, 4}.Write(s, false);
    EXPECT_EQ(s.Bytes(), (Bytes{0x40, 0x80, 0xFF, 0xFF, 1, 2, 3}));
    // Multiply terms only: 0 1, 10 bits, 256 x3.
    EXPECT_EQ(RecordBytes(CSwfCxform{.mult = CSwfCxform::Terms{256, 256, 256}}),
              (Bytes{0x69, 0x00, 0x40, 0x10, 0x00}));
    // Both groups in one width, set by the add term -255: 9 bits.
    EXPECT_EQ(RecordBytes(CSwfCxformWithAlpha{.mult = CSwfCxformWithAlpha::Terms{1, 1, 1, 1},
                                              .add = CSwfCxformWithAlpha::Terms{0, 0, 0, -255}}),
              (Bytes{0xE4, 0x02, 0x01, 0x00, 0x80, 0x40, 0x00, 0x00, 0x04, 0x04}));
    CSwfStream text;
    WriteString(text, "ab");
    EXPECT_EQ(text.Bytes(), (Bytes{'a', 'b', 0}));
}

} // namespace
