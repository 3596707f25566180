// Control tags, actions and shapes, byte for byte or decoded with the test-side reader.
#include "swf/swf_shapes.h"

#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kestrova::test {

namespace {

using swfread::Rgba;
using swftest::Bytes;
using swftest::ParseOne;
using swftest::TagBytes;
using Point = CSwfStyleChangeRecord::Point;

swfread::Shape ParseShape(const CSwfTag& tag) {
    swfread::Shape shape;
    std::string error;
    EXPECT_TRUE(swfread::ParseDefineShape(ParseOne(tag), shape, &error)) << error;
    return shape;
}

TEST(SwfControlTags, ByteForByte) {
    using Cx = CSwfCxformWithAlpha::Terms;
    const std::pair<Bytes, Bytes> cases[] = {
        // The background is RGB: a colour's alpha is never written.
        {TagBytes(CSwfSetBackgroundColor({0x40, 0x80, 0xFF, 0x7F})),
         {0x43, 0x02, 0x40, 0x80, 0xFF}},
        {TagBytes(CSwfRemoveObject(7, 3)), {0x44, 0x01, 0x07, 0x00, 0x03, 0x00}},
        {TagBytes(CSwfRemoveObject2(0x0102)), {0x02, 0x07, 0x02, 0x01}},
        {TagBytes(CSwfProtect()), {0x00, 0x06}},
        {TagBytes(CSwfFreeCharacter(0x0203)), {0xC2, 0x00, 0x03, 0x02}},
        {TagBytes(CSwfFrameLabel("intro")), {0xC6, 0x0A, 'i', 'n', 't', 'r', 'o', 0x00}},
        // PlaceObject always has a matrix.
        {TagBytes(CSwfPlaceObject(5, 2)), {0x05, 0x01, 0x05, 0x00, 0x02, 0x00, 0x00}},
        // The engine's placement: character, one-byte identity matrix, ratio 0 (flags 0x16).
        {TagBytes(CSwfPlaceObject2(
             {.depth = 1, .characterId = 9, .matrix = CSwfMatrix{.compact = true}, .ratio = 0})),
         {0x88, 0x06, 0x16, 0x01, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00}},
        {TagBytes(CSwfPlaceObject2({.depth = 3, .move = true})), {0x83, 0x06, 0x01, 0x03, 0x00}},
        // Every part, in the field order of the format.
        {TagBytes(CSwfPlaceObject2({.depth = 3,
                                    .characterId = 4,
                                    .move = true,
                                    .matrix = CSwfMatrix{.rotate = CSwfMatrix::Terms{-100, 100}},
                                    .cxform = CSwfCxformWithAlpha{.mult = Cx{256, 256, 256, 128},
                                                                  .add = Cx{10, 20, 30, -40}},
                                    .ratio = 5,
                                    .name = "pic",
                                    .clipDepth = 9})),
         {0x9C, 0x06, 0x7F, 0x03, 0x00, 0x04, 0x00, 0x51, 0x38, 0xC8,
          0x10, 0xE9, 0x00, 0x40, 0x10, 0x02, 0x00, 0x0A, 0x05, 0x01,
          0xEF, 0x60, 0x05, 0x00, 'p',  'i',  'c',  0x00, 0x09, 0x00}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].first, cases[i].second) << i;
    }
}

TEST(SwfActions, EveryActionByteForByte) {
    CSwfDoAction doAction;
    doAction.AddAction(std::make_unique<CSwfActionStop>())
        .AddAction(std::make_unique<CSwfActionStopSounds>())
        .AddAction(std::make_unique<CSwfActionPlay>())
        .AddAction(std::make_unique<CSwfActionDivide>())
        .AddAction(std::make_unique<CSwfActionGetProperty>())
        .AddAction(std::make_unique<CSwfActionGotoFrame>(0x0102))
        .AddAction(std::make_unique<CSwfActionWaitForFrame2>(1))
        .AddAction(std::make_unique<CSwfActionPush>("5"));
    EXPECT_EQ(ParseOne(doAction).body, (Bytes{0x07, 0x09, 0x06, 0x0D, 0x22, // code-only actions
                                              0x81, 0x02, 0x00, 0x02, 0x01, // GotoFrame 0x0102
                                              0x8D, 0x01, 0x00, 0x01,       // WaitForFrame2 1
                                              0x96, 0x03, 0x00, 0x00, 0x35, 0x00, // Push "5"
                                              0x00}));                            // end of actions
}

// Edge widths and forms, and new style arrays that switch the index widths for the records
// after them (the record's own indices still use the widths before it). DefineShape3 writes
// colours as RGBA, the other shape tags as RGB.
TEST(SwfShapes, RecordsAndTheIndexWidthsInForce) {
    CSwfDefineShape3 shape(7, CSwfRect(0, 0, 400, 400));
    EXPECT_EQ(shape.AddFillStyle(CSwfSolidFill{{1, 2, 3, 4}}), 1u); // 1 fill bit, 0 line bits
    shape.AddRecord(CSwfStyleChangeRecord{.moveTo = Point{100, -200}, .fillStyle0 = 1});
    const std::tuple<int32_t, int32_t, int32_t, int32_t, uint32_t, bool> edges[] = {
        // dx or control dx, dy or control dy, anchor dx, dy (curves), bits, vertical
        {400, 0, 0, 0, 10, false},       {0, 0, 0, 0, 2, true},        {-3, 5, 0, 0, 4, false},
        {0, -7, 0, 0, 4, true},          {100, -50, 30, 70, 8, false}, {0, 0, 0, 0, 2, false},
        {-32768, 0, 0, 32767, 17, false}};
    for (size_t i = 0; i < std::size(edges); ++i) {
        auto [a, b, c, d, bits, vertical] = edges[i];
        shape.AddRecord(i < 4 ? CSwfShapeRecord(CSwfStraightEdgeRecord{a, b})
                              : CSwfCurvedEdgeRecord{a, b, c, d});
    }
    CSwfStyles styles{.fills = {CSwfSolidFill{}, CSwfSolidFill{}, CSwfBitmapFill{.bitmapId = 3}},
                      .lines = {{20, {}}, {40, {9, 9, 9, 99}}}};
    shape.AddRecord(CSwfStyleChangeRecord{.fillStyle1 = 1, .newStyles = styles});
    shape.AddRecord(CSwfStyleChangeRecord{.fillStyle1 = 3, .lineStyle = 2});
    shape.AddRecord(CSwfEndShapeRecord{});
    EXPECT_EQ(shape.AddFillStyle(CSwfSolidFill{}), 0u) << "styles end with the first record";

    swfread::Shape s = ParseShape(shape);
    ASSERT_EQ(std::tuple(s.code, s.id, s.numFillBits, s.numLineBits, s.records.size()),
              std::tuple(32, 7, 1u, 0u, size_t{11}));
    EXPECT_EQ(s.fillStyles[0].colour, (Rgba{1, 2, 3, 4}));
    EXPECT_EQ(std::tuple(s.records[0].moveBits, s.records[0].moveX, s.records[0].moveY),
              std::tuple(9u, 100, -200));
    for (size_t i = 0; i < std::size(edges); ++i) {
        const swfread::ShapeRecord& r = s.records[i + 1];
        EXPECT_EQ(
            i < 4 ? std::tuple(r.dx, r.dy, 0, 0, r.numBits, r.verticalLine)
                  : std::tuple(r.controlDx, r.controlDy, r.anchorDx, r.anchorDy, r.numBits, false),
            edges[i])
            << i;
    }
    const swfread::ShapeRecord& change = s.records[8];
    EXPECT_EQ(std::tuple(change.fillStyle1, change.newNumFillBits, change.newNumLineBits),
              std::tuple(1u, 2u, 2u));
    ASSERT_EQ(change.newFillStyles.size(), 3u);
    EXPECT_EQ(std::tuple(change.newFillStyles[2].type, change.newFillStyles[2].bitmapId),
              std::tuple(0x41, 3));
    EXPECT_EQ(change.newLineStyles[1].colour, (Rgba{9, 9, 9, 99}));
    EXPECT_EQ(std::tuple(s.records[9].fillStyle1, s.records[9].lineStyle), std::tuple(3u, 2u));
}

// Style counts from 255 on take the 0xFF + u16 form; long lines are split into edges that fit
// (at most 17 bits) and add up to the line.
TEST(SwfShapes, LongStyleArraysAndLongLines) {
    CSwfDefineShape2 shape(1, CSwfRect(-400000, -400000, 400000, 400000));
    for (int i = 0; i < 300; ++i) {
        shape.AddFillStyle(CSwfSolidFill{{1, 2, 3, 4}});
        if (i < 255) {
            shape.AddLineStyle({});
        }
    }
    for (auto [dx, dy] : {std::pair{65535, 0}, {0, -65536}, {-320000, 0}, {200000, -70000}}) {
        shape.AddLine(dx, dy);
    }
    shape.AddRecord(CSwfEndShapeRecord{});
    swfread::Shape s = ParseShape(shape);
    EXPECT_EQ(std::tuple(s.code, s.fillCountExtended, s.fillStyles.size(), s.numFillBits),
              std::tuple(22, true, size_t{300}, 9u));
    EXPECT_EQ(s.fillStyles[299].colour, (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(std::tuple(s.lineCountExtended, s.lineStyles.size(), s.numLineBits),
              std::tuple(true, size_t{255}, 8u));
    std::vector<std::tuple<uint32_t, int32_t, int32_t>> pieces;
    for (size_t i = 0; i + 1 < s.records.size(); ++i) {
        pieces.emplace_back(s.records[i].numBits, s.records[i].dx, s.records[i].dy);
    }
    const std::vector<std::tuple<uint32_t, int32_t, int32_t>> expected = {
        {17, 65535, 0},      {17, 0, -32768},     {17, 0, -32768},     {17, -64000, 0},
        {17, -64000, 0},     {17, -64000, 0},     {17, -64000, 0},     {17, -64000, 0},
        {17, 50000, -17500}, {17, 50000, -17500}, {17, 50000, -17500}, {17, 50000, -17500}};
    EXPECT_EQ(pieces, expected);
}

} // namespace

} // namespace kestrova::test
