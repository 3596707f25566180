// Control tags, actions and shape definitions, decoded with the test-side reader.
#include "swf/swf_shapes.h"

#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using swfread::Rgba;
using swfread::ShapeRecord;
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

TEST(SwfControlTags, SmallTagsByteForByte) {
    const std::pair<std::shared_ptr<CSwfTag>, Bytes> cases[] = {
        // The background is RGB: a colour's alpha is never written.
        {std::make_shared<CSwfSetBackgroundColor>(CSwfRGBA{0x40, 0x80, 0xFF, 0x7F}),
         {0x43, 0x02, 0x40, 0x80, 0xFF}},
        {std::make_shared<CSwfRemoveObject>(7, 3), {0x44, 0x01, 0x07, 0x00, 0x03, 0x00}},
        {std::make_shared<CSwfRemoveObject2>(0x0102), {0x02, 0x07, 0x02, 0x01}},
        {std::make_shared<CSwfProtect>(), {0x00, 0x06}},
        {std::make_shared<CSwfFreeCharacter>(0x0203), {0xC2, 0x00, 0x03, 0x02}},
        {std::make_shared<CSwfFrameLabel>("intro"), {0xC6, 0x0A, 'i', 'n', 't', 'r', 'o', 0x00}},
        // The engine's placement: character, one-byte identity matrix, ratio 0 (flags 0x16).
        {std::make_shared<CSwfPlaceObject2>(CSwfPlacement{
             .depth = 1, .characterId = 9, .matrix = CSwfMatrix{.compact = true}, .ratio = 0}),
         {0x88, 0x06, 0x16, 0x01, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00}},
        {std::make_shared<CSwfPlaceObject2>(CSwfPlacement{.depth = 3, .move = true}),
         {0x83, 0x06, 0x01, 0x03, 0x00}},
        // PlaceObject always has a matrix.
        {std::make_shared<CSwfPlaceObject>(5, 2), {0x05, 0x01, 0x05, 0x00, 0x02, 0x00, 0x00}},
    };
    for (const auto& [tag, bytes] : cases) {
        EXPECT_EQ(TagBytes(*tag), bytes);
    }
}

TEST(SwfControlTags, PlaceObject2WritesEveryPartInFieldOrder) {
    CSwfPlaceObject2 full(
        {.depth = 3,
         .characterId = 4,
         .move = true,
         .matrix = CSwfMatrix{.rotate = CSwfMatrix::Terms{-100, 100}},
         .cxform = CSwfCxformWithAlpha{.mult = {{256, 256, 256, 128}}, .add = {{10, 20, 30, -40}}},
         .ratio = 5,
         .name = "pic",
         .clipDepth = 9});
    swfread::PlaceObject2 p;
    std::string error;
    ASSERT_TRUE(swfread::ParsePlaceObject2(ParseOne(full), p, &error)) << error;
    EXPECT_EQ(std::tuple(p.flags, p.depth, *p.characterId, *p.ratio, *p.name, *p.clipDepth),
              std::tuple(0x7F, 3, 4, 5, "pic", 9));
    EXPECT_EQ(p.matrix->rotateSkew0, -100);
    EXPECT_EQ(std::tuple(p.cxform->add[3], p.cxform->mult[3]), std::tuple(-40, 128));
}

TEST(SwfActions, EveryActionByteForByte) {
    CSwfDoAction doAction;
    doAction.AddAction(std::make_unique<CSwfActionStop>())
        .AddAction(std::make_unique<CSwfActionStopSounds>())
        .AddAction(std::make_unique<CSwfActionPlay>())
        .AddAction(std::make_unique<CSwfActionDivide>())
        .AddAction(std::make_unique<CSwfActionGetProperty>())
        .AddAction(std::make_unique<CSwfActionGotoFrame>(0x0102))
        .AddAction(std::make_unique<CSwfActionGetURL>("a.swf", "_level0"))
        .AddAction(std::make_unique<CSwfActionWaitForFrame2>(1))
        .AddAction(std::make_unique<CSwfActionPush>("5"))
        .AddAction(std::make_unique<CSwfActionJump>(-5))
        .AddAction(std::make_unique<CSwfActionGetURL2>(2))
        .AddAction(std::make_unique<CSwfActionIf>(10))
        .AddAction(std::make_unique<CSwfActionGotoFrame2>(1))
        .AddAction(std::make_unique<CSwfActionBytes>(Bytes{0x07, 0x06}));
    const Bytes expected = {0x07, 0x09, 0x06, 0x0D, 0x22,                    // Stop .. GetProperty
                            0x81, 0x02, 0x00, 0x02, 0x01,                    // GotoFrame 0x0102
                            0x83, 0x0E, 0x00, 'a',  '.',  's',  'w', 'f', 0, // GetURL
                            '_',  'l',  'e',  'v',  'e',  'l',  '0', 0,      //
                            0x8D, 0x01, 0x00, 0x01,                          // WaitForFrame2 1
                            0x96, 0x03, 0x00, 0x00, 0x35, 0x00,              // Push "5"
                            0x99, 0x02, 0x00, 0xFB, 0xFF,                    // Jump -5
                            0x9A, 0x01, 0x00, 0x02,                          // GetURL2 2
                            0x9D, 0x02, 0x00, 0x0A, 0x00,                    // If 10
                            0x9F, 0x01, 0x00, 0x01,                          // GotoFrame2 play
                            0x07, 0x06, 0x00}; // ready-made bytes, end of actions
    EXPECT_EQ(ParseOne(doAction).body, expected);
}

// Edge widths and forms, and new style arrays that switch the index widths for the records
// after them (the record's own indices still use the widths before it).
TEST(SwfShapes, RecordsAndTheIndexWidthsInForce) {
    CSwfDefineShape3 shape(7, CSwfRect(0, 0, 400, 400));
    EXPECT_EQ(shape.AddFillStyle(CSwfSolidFill{{1, 2, 3, 4}}), 1u); // 1 fill bit, 0 line bits
    shape.AddRecord(CSwfStyleChangeRecord{.moveTo = Point{100, -200}, .fillStyle0 = 1});
    for (auto [dx, dy] : {std::pair{400, 0}, {0, 0}, {-3, 5}, {0, -7}}) {
        shape.AddRecord(CSwfStraightEdgeRecord{dx, dy});
    }
    shape.AddRecord(CSwfCurvedEdgeRecord{100, -50, 30, 70});
    shape.AddRecord(CSwfCurvedEdgeRecord{0, 0, 0, 0});
    shape.AddRecord(CSwfCurvedEdgeRecord{-32768, 0, 0, 32767});
    CSwfStyles styles{.fills = {CSwfSolidFill{}, CSwfSolidFill{}, CSwfBitmapFill{.bitmapId = 3}},
                      .lines = {{20, {}}, {40, {9, 9, 9, 99}}}};
    shape.AddRecord(CSwfStyleChangeRecord{.fillStyle1 = 1, .newStyles = styles});
    shape.AddRecord(CSwfStyleChangeRecord{.fillStyle1 = 3, .lineStyle = 2});
    shape.AddRecord(CSwfEndShapeRecord{});
    EXPECT_EQ(shape.AddFillStyle(CSwfSolidFill{}), 0u) << "styles end with the first record";

    swfread::Shape s = ParseShape(shape);
    EXPECT_EQ(std::tuple(s.code, s.id, s.numFillBits, s.numLineBits), std::tuple(32, 7, 1u, 0u));
    ASSERT_EQ(s.records.size(), 11u);
    EXPECT_EQ(std::tuple(s.records[0].moveBits, s.records[0].moveX, s.records[0].moveY),
              std::tuple(9u, 100, -200));
    using K = ShapeRecord::Kind;
    auto edge = [&](size_t i) {
        const ShapeRecord& e = s.records[i];
        return std::tuple(e.kind, e.numBits, e.generalLine, e.verticalLine, e.dx, e.dy);
    };
    EXPECT_EQ(edge(1), std::tuple(K::StraightEdge, 10u, false, false, 400, 0));
    EXPECT_EQ(edge(2), std::tuple(K::StraightEdge, 2u, false, true, 0, 0));
    EXPECT_EQ(edge(3), std::tuple(K::StraightEdge, 4u, true, false, -3, 5));
    EXPECT_EQ(edge(4), std::tuple(K::StraightEdge, 4u, false, true, 0, -7));
    auto curve = [&](size_t i) {
        const ShapeRecord& c = s.records[i];
        return std::tuple(c.numBits, c.controlDx, c.controlDy, c.anchorDx, c.anchorDy);
    };
    EXPECT_EQ(curve(5), std::tuple(8u, 100, -50, 30, 70));
    EXPECT_EQ(curve(6), std::tuple(2u, 0, 0, 0, 0));
    EXPECT_EQ(curve(7), std::tuple(17u, -32768, 0, 0, 32767));
    const ShapeRecord& change = s.records[8];
    EXPECT_EQ(std::tuple(change.fillStyle1, change.newNumFillBits, change.newNumLineBits),
              std::tuple(1u, 2u, 2u));
    ASSERT_EQ(change.newFillStyles.size(), 3u);
    EXPECT_EQ(std::tuple(change.newFillStyles[2].type, change.newFillStyles[2].bitmapId),
              std::tuple(0x41, 3));
    EXPECT_EQ(change.newLineStyles[1].colour, (Rgba{9, 9, 9, 99}));
    EXPECT_EQ(std::tuple(s.records[9].fillStyle1, s.records[9].lineStyle), std::tuple(3u, 2u));
}

// DefineShape and DefineShape2 write RGB colours, DefineShape3 RGBA, in solid fills, line
// styles and gradient records alike; the reader fails on leftover bytes.
TEST(SwfShapes, ColoursFollowTheShapeKind) {
    const CSwfRGBA colour{10, 20, 30, 40};
    const std::tuple<std::shared_ptr<CSwfDefineShape>, int, uint8_t> cases[] = {
        {std::make_shared<CSwfDefineShape>(1, CSwfRect(0, 0, 100, 100)), 2, 255},
        {std::make_shared<CSwfDefineShape2>(1, CSwfRect(0, 0, 100, 100)), 22, 255},
        {std::make_shared<CSwfDefineShape3>(1, CSwfRect(0, 0, 100, 100)), 32, 40},
    };
    for (const auto& [shape, code, alpha] : cases) {
        shape->AddFillStyle(CSwfSolidFill{colour});
        shape->AddLineStyle({20, colour});
        shape->AddFillStyle(
            CSwfGradientFill{.linear = false,
                             .matrix = {.scale = CSwfMatrix::Terms{1 << 16, 1 << 15}},
                             .records = {{0, colour}, {255, {0, 0, 255, 20}}}});
        shape->AddRecord(CSwfEndShapeRecord{});
        swfread::Shape s = ParseShape(*shape);
        EXPECT_EQ(s.code, code);
        ASSERT_EQ(s.fillStyles.size(), 2u);
        EXPECT_EQ(s.fillStyles[0].colour, (Rgba{10, 20, 30, alpha}));
        EXPECT_EQ(s.lineStyles[0].colour, (Rgba{10, 20, 30, alpha}));
        EXPECT_EQ(std::tuple(s.fillStyles[1].type, s.fillStyles[1].matrix.scaleY),
                  std::tuple(0x12, 1 << 15));
        ASSERT_EQ(s.fillStyles[1].gradient.size(), 2u);
        EXPECT_EQ(s.fillStyles[1].gradient[1].ratio, 255);
        EXPECT_EQ(s.fillStyles[1].gradient[0].colour, (Rgba{10, 20, 30, alpha}));
    }
}

// Style counts from 255 on take the 0xFF + u16 form; long lines are split into edges that fit
// (at most 17 bits) and add up to the line.
TEST(SwfShapes, LongStyleArraysAndLongLines) {
    CSwfDefineShape shape(1, CSwfRect(-400000, -400000, 400000, 400000));
    for (int i = 0; i < 300; ++i) {
        shape.AddFillStyle(CSwfSolidFill{{static_cast<uint8_t>(i), 0, 0}});
    }
    for (int i = 0; i < 255; ++i) {
        shape.AddLineStyle({});
    }
    const std::tuple<int32_t, int32_t, size_t> lines[] = {
        {65535, 0, 1}, {0, -65536, 2}, {-320000, 0, 5}, {200000, -70000, 4}};
    for (auto [dx, dy, edges] : lines) {
        shape.AddLine(dx, dy);
    }
    shape.AddRecord(CSwfEndShapeRecord{});
    swfread::Shape s = ParseShape(shape);
    EXPECT_EQ(std::tuple(s.fillCountExtended, s.fillStyles.size(), s.numFillBits),
              std::tuple(true, size_t{300}, 9u));
    EXPECT_EQ(std::tuple(s.lineCountExtended, s.lineStyles.size(), s.numLineBits),
              std::tuple(true, size_t{255}, 8u));
    size_t at = 0;
    for (auto [dx, dy, edges] : lines) {
        int64_t x = 0, y = 0;
        for (size_t i = 0; i < edges; ++i, ++at) {
            EXPECT_LE(s.records[at].numBits, 17u);
            x += s.records[at].dx;
            y += s.records[at].dy;
        }
        EXPECT_EQ(std::tuple(x, y), std::tuple(dx, dy));
    }
    EXPECT_EQ(s.records.size(), at + 1);
}

} // namespace
