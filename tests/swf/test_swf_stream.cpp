// Bit writer, records and tag headers, checked byte by byte.
#include "swf/swf_stream.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using swftest::StreamBytes;

TEST(SwfBits, WidthsOfUnsignedAndSignedFields) {
    EXPECT_EQ(BitsFor(0, 0), 0u);
    EXPECT_EQ(BitsFor(0, 1), 1u);
    EXPECT_EQ(BitsFor(1, 0), 1u);
    EXPECT_EQ(BitsFor(3, 0), 2u);
    EXPECT_EQ(BitsFor(4, 0), 3u);
    EXPECT_EQ(BitsFor(0xFFFFFFFFu, 0), 32u);
    EXPECT_EQ(MaxAbs(-7, 3, 0, 5), 7u);
    EXPECT_EQ(MaxAbs(INT32_MIN, 0, 0, 0), 0x80000000u);
    EXPECT_EQ(SignedBits(0, 0), 1u);
    EXPECT_EQ(SignedBits(400, 0), 10u);
    EXPECT_EQ(SignedBits(-400, 1), 10u);
}

TEST(SwfBits, PacksMostSignificantBitFirst) {
    CSwfStream s;
    s.WriteBits(5, 3);
    s.WriteBits(1, 1);
    s.Align();
    EXPECT_EQ(s.Bytes(), (Bytes{0xB0}));

    CSwfStream t;
    t.WriteU16(0x1234);
    EXPECT_EQ(t.Bytes(), (Bytes{0x34, 0x12}));

    // Fields that straddle bytes and a 32-bit field.
    CSwfStream u;
    u.WriteBits(0x3, 2);
    u.WriteBits(0xDEADBEEF, 32);
    u.WriteBits(0x3, 2);
    u.Align();
    EXPECT_EQ(u.Bytes(), (Bytes{0xF7, 0xAB, 0x6F, 0xBB, 0xF0}));
    EXPECT_FALSE(u.Failed());
}

TEST(SwfBits, ValuesThatDoNotFitTheirFieldFailTheStream) {
    struct Case {
        bool isSigned;
        int64_t value;
        uint32_t bits;
        bool fits;
    };
    const Case cases[] = {
        {false, 3, 2, true},   {false, 4, 2, false}, {false, 0xFFFFFFFF, 32, true},
        {false, 0, 33, false}, {true, -2, 2, true},  {true, -3, 2, false},
        {true, 1, 2, true},    {true, 2, 2, false},  {true, INT32_MIN, 32, true},
        {true, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " in " + std::to_string(c.bits));
        CSwfStream s;
        if (c.isSigned) {
            s.WriteSignedBits(static_cast<int32_t>(c.value), c.bits);
        } else {
            s.WriteBits(static_cast<uint32_t>(c.value), c.bits);
        }
        EXPECT_EQ(s.Failed(), !c.fits);
        // The failure travels with the bytes into the stream they are appended to.
        CSwfStream outer;
        s.Align();
        outer.AppendStream(s);
        EXPECT_EQ(outer.Failed(), !c.fits);
    }
}

TEST(SwfBits, BytesAfterAnUnalignedFieldStraddle) {
    CSwfStream s;
    s.WriteBits(1, 1);
    s.WriteU8(0xFF);
    EXPECT_EQ(s.Bytes(), (Bytes{0xFF}));
    EXPECT_EQ(s.Length(), 1u); // the partial byte is not counted
    s.Align();
    EXPECT_EQ(s.Bytes(), (Bytes{0xFF, 0x80}));
}

TEST(SwfStream, ReferencedBlocksKeepTheirPlaceAcrossAppends) {
    static const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    CSwfStream body;
    body.WriteU8(1);
    body.AppendBlock(payload, 3);
    body.WriteU8(2);
    EXPECT_EQ(body.Length(), 5u);

    CSwfStream out;
    out.WriteU16(0x0102);
    out.AppendStream(body);
    EXPECT_EQ(body.Length(), 2u) << "blocks move out of the source, bytes stay";
    EXPECT_EQ(out.Length(), 7u);
    EXPECT_EQ(StreamBytes(out), (Bytes{0x02, 0x01, 0x01, 0xAA, 0xBB, 0xCC, 0x02}));
    EXPECT_EQ(out.Length(), 4u) << "a written stream has consumed its blocks";
}

TEST(SwfStream, FileBlocksAreCopiedAndMissingFilesReported) {
    testutil::TempDir dir;
    const std::string path = dir.File("block");
    Bytes content(3 << 20);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    }
    ASSERT_TRUE(testutil::WriteFileBytes(path, content));

    CSwfStream s;
    s.WriteU8(9);
    s.AppendFileBlock(path.c_str(), static_cast<uint32_t>(content.size()));
    s.WriteU8(8);
    Bytes written = StreamBytes(s);
    ASSERT_EQ(written.size(), content.size() + 2);
    EXPECT_EQ(written.front(), 9);
    EXPECT_EQ(written.back(), 8);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), written.begin() + 1));

    CSwfStream gone;
    gone.AppendFileBlock(dir.File("missing").c_str(), 10);
    FILE* f = tmpfile();
    EXPECT_EQ(gone.WriteTo(f), 0);
    fclose(f);
}

TEST(SwfStream, TagHeaderFormDependsOnlyOnBodyLength) {
    CSwfStream shortForm;
    shortForm.WriteTagHeader(12, 62);
    EXPECT_EQ(shortForm.Bytes(), (Bytes{0x3E, 0x03}));

    CSwfStream longForm;
    longForm.WriteTagHeader(12, 63);
    EXPECT_EQ(longForm.Bytes(), (Bytes{0x3F, 0x03, 63, 0, 0, 0}));

    CSwfStream end;
    end.WriteTagHeader(0, 0);
    EXPECT_EQ(end.Bytes(), (Bytes{0, 0}));
}

TEST(SwfRecords, MatrixFieldsAndWidths) {
    CSwfMatrix identity(false, 0, 0, false, 0, 0, 0, 0);
    CSwfStream s;
    identity.Write(s);
    EXPECT_EQ(s.Bytes(), (Bytes{0x02, 0x00}));

    CSwfMatrix empty(true, 65536, 65536, false, 0, 0, 10, 10);
    empty.SetEmpty();
    CSwfStream e;
    empty.Write(e);
    EXPECT_EQ(e.Bytes(), (Bytes{0x00}));

    // Scale 1.0 (65536 needs 18 bits), translate (-20, 40): 7 bits.
    CSwfMatrix m(true, 65536, 65536, false, 0, 0, -20, 40);
    EXPECT_EQ(m.nScaleBits, 18u);
    EXPECT_EQ(m.nTranslateBits, 7u);
    EXPECT_EQ(m.nRotateBits, 1u) << "computed even when the pair is unused";
    CSwfStream t;
    m.Write(t);
    // 1 + 5 + 36 + 1 + 5 + 14 = 62 bits -> 8 bytes
    EXPECT_EQ(t.Length(), 8u);
    EXPECT_EQ(t.Bytes()[0], 0xC9); // 1 10010 01 (first two bits of 65536 = 01...)
}

// Red in the low byte, alpha in the top byte (RGB colours are checked in the tags).
TEST(SwfRecords, RgbaColourPutsAlphaLast) {
    CSwfStream s;
    CSwfRGBA(0x7FFF8040u, true).Write(s);
    EXPECT_EQ(s.Bytes(), (Bytes{0x40, 0x80, 0xFF, 0x7F}));
}

TEST(SwfRecords, ColourTransformsSizeBitsOverBothGroups) {
    // Only multiply terms are written, but the add term 300 sets the width (10 bits).
    CSwfCxform c(true, false, 300, 0, 0, 256, 256, 256);
    EXPECT_EQ(c.nBits, 10u);
    CSwfStream s;
    c.Write(s);
    // 0 1 1010 | 256 x3 in 10 bits = 36 bits -> 5 bytes
    ASSERT_EQ(s.Length(), 5u);
    EXPECT_EQ(s.Bytes()[0], 0x69); // 0 1 1010 01...

    CSwfCxformWithAlpha a(true, true, 0, 0, 0, -255, 256, 256, 256, 128);
    EXPECT_EQ(a.nBits, 10u);
    CSwfStream t;
    a.Write(t);
    EXPECT_EQ(t.Length(), (6u + 8 * 10 + 7) / 8);
    EXPECT_EQ(t.Bytes()[0] >> 6, 3);
}

TEST(SwfRecords, StringsAreTerminatedUnlessAsked) {
    CSwfStream s;
    CSwfString("ab").Write(s);
    CSwfString("c", false).Write(s);
    EXPECT_EQ(s.Bytes(), (Bytes{'a', 'b', 0, 'c'}));
}

} // namespace
