// Bit writer, records and tag headers, checked byte by byte.
#include "swf/swf_stream.h"

#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

namespace kestrova::test {

namespace {

using swftest::Bytes;
using swftest::StreamBytes;

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

// A value outside its field marks the stream failed, and the failure travels with the bytes
// into the stream they are appended to.
TEST(SwfBits, ValuesThatDoNotFitTheirFieldFailTheStream) {
    const std::tuple<bool, int64_t, uint32_t, bool> cases[] = {
        {false, 3, 2, true},   {false, 4, 2, false}, {false, 0xFFFFFFFF, 32, true},
        {false, 0, 33, false}, {true, -2, 2, true},  {true, -3, 2, false},
        {true, 1, 2, true},    {true, 2, 2, false},  {true, INT32_MIN, 32, true},
        {true, 0, 0, true},    {true, 1, 0, false},
    };
    for (auto [isSigned, value, bits, fits] : cases) {
        CSwfStream s, outer;
        isSigned ? s.WriteSignedBits(static_cast<int32_t>(value), bits)
                 : s.WriteBits(static_cast<uint32_t>(value), bits);
        s.Align();
        outer.AppendStream(s);
        EXPECT_EQ(outer.Failed(), !fits) << value << " in " << bits;
    }
}

TEST(SwfStream, ReferencedBlocksKeepTheirPlace) {
    static const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    testutil::TempDir dir;
    const Bytes content = swftest::Pattern(3 << 20); // larger than one copy chunk
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
    EXPECT_EQ(StreamBytes(out),
              swftest::Join({{0x02, 0x01, 0x01, 0xAA, 0xBB, 0xCC, 0x02}, content}));
    CSwfStream gone;
    gone.AppendFileBlock(dir.File("missing"), 10);
    FILE* f = swftest::FileWith({});
    EXPECT_EQ(gone.WriteTo(f), 0);
    fclose(f);
}

template <typename Write> Bytes Written(Write write) {
    CSwfStream s;
    write(s);
    return s.Bytes();
}

template <typename Record> Bytes Of(const Record& record) {
    return Written([&](CSwfStream& s) { record.Write(s); });
}

// Tag headers and records, each written alone.
TEST(SwfRecords, ByteForByte) {
    using Cx = CSwfCxformWithAlpha::Terms;
    using M = CSwfMatrix::Terms;
    const std::pair<Bytes, Bytes> cases[] = {
        {Written([](CSwfStream& s) { s.WriteTagHeader(12, 62); }), {0x3E, 0x03}},
        {Written([](CSwfStream& s) { s.WriteTagHeader(12, 63); }), {0x3F, 0x03, 63, 0, 0, 0}},
        // (0, 11000, 0, 8000) in the least width, 15 bits.
        {Of(CSwfRect(0, 0, 11000, 8000)), {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}},
        {Of(CSwfMatrix{}), {0x02, 0x00}},
        {Of(CSwfMatrix{.scale = M{1, 1}, .compact = true}), {0x00}},
        // Scale 1.0 in 18 bits, no rotation, translation (-20, 40) in 7 bits.
        {Of(CSwfMatrix{.scale = M{65536, 65536}, .translateX = -20, .translateY = 40}),
         {0xC9, 0x00, 0x00, 0x40, 0x00, 0x07, 0xD8, 0xA0}},
        // Rotation only, 2 and -5 in 4 bits (the width of the larger), no translation.
        {Of(CSwfMatrix{.rotate = M{2, -5}}), {0x48, 0x56, 0x10}},
        {Written([](CSwfStream& s) { CSwfRGBA::FromBgr(0x7FFF8040u).Write(s, true); }),
         {0x40, 0x80, 0xFF, 0xFF}},
        {Written([](CSwfStream& s) {
             CSwfRGBA{1, 2, 3, 4}.Write(s, false);
         }),
         {1, 2, 3}},
        // Multiply terms only: 0 1, 10 bits, 256 x3.
        {Of(CSwfCxform{.mult = CSwfCxform::Terms{256, 256, 256}}), {0x69, 0x00, 0x40, 0x10, 0x00}},
        // Both groups in one width, set by the add term -255: 9 bits.
        {Of(CSwfCxformWithAlpha{.mult = Cx{1, 1, 1, 1}, .add = Cx{0, 0, 0, -255}}),
         {0xE4, 0x02, 0x01, 0x00, 0x80, 0x40, 0x00, 0x00, 0x04, 0x04}},
        {Written([](CSwfStream& s) { WriteString(s, "ab"); }), {'a', 'b', 0}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].first, cases[i].second) << i;
    }
    // Never below 15 bits; wider fields from 16384 twips either way.
    EXPECT_EQ(std::tuple(CSwfRect(0, 0, 20, 20).NBits(), CSwfRect(-32767, 0, 0, 0).NBits(),
                         CSwfRect(0, 0, 65535, 2).NBits()),
              std::tuple(15u, 16u, 17u));
}

} // namespace

} // namespace kestrova::test
