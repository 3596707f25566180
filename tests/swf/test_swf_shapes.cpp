// Control tags, actions and shape definitions, decoded with the test-side reader.
#include "swf/swf_shapes.h"

#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using swfread::ShapeRecord;
using swftest::ParseOne;
using swftest::TagBytes;

swfread::Shape ParseShape(CSwfTag& tag) {
    swfread::Shape shape;
    std::string error;
    EXPECT_TRUE(swfread::ParseDefineShape(ParseOne(tag), shape, &error)) << error;
    return shape;
}

Bytes RecordBits(const CSwfShapeRecord& record) {
    CSwfStream s;
    record.Write(s);
    s.Align();
    return s.Bytes();
}

// ---- Control tags ------------------------------------------------------------------------

TEST(SwfControlTags, SmallTagsByteForByte) {
    // The colour's alpha (top byte) is dropped: the background is RGB.
    CSwfSetBackgroundColor background(new CSwfRGBA(0x7FFF8040u, true));
    EXPECT_EQ(TagBytes(background), (Bytes{0x43, 0x02, 0x40, 0x80, 0xFF}));
    CSwfRemoveObject remove(7, 3);
    EXPECT_EQ(TagBytes(remove), (Bytes{0x44, 0x01, 0x07, 0x00, 0x03, 0x00}));
    CSwfRemoveObject2 remove2(0x0102);
    EXPECT_EQ(TagBytes(remove2), (Bytes{0x02, 0x07, 0x02, 0x01}));
    CSwfProtect protect;
    EXPECT_EQ(TagBytes(protect), (Bytes{0x00, 0x06}));
    // A label is a terminated STRING even when the string object is unterminated.
    CSwfFrameLabel label(new CSwfString("intro", false));
    EXPECT_EQ(TagBytes(label), (Bytes{0xC6, 0x0A, 'i', 'n', 't', 'r', 'o', 0x00}));
}

TEST(SwfControlTags, PlaceObjectCarriesMatrixAndColourTransform) {
    CSwfPlaceObject place(5, 2, new CSwfMatrix(false, 0, 0, false, 0, 0, 20, -40),
                          new CSwfCxform(true, false, 0, 0, 0, 128, 256, 512));
    swfread::Tag tag = ParseOne(place);
    ASSERT_EQ(tag.code, 4);
    swfread::BitReader r(tag.body);
    EXPECT_EQ(r.U16(), 5);
    EXPECT_EQ(r.U16(), 2);
    swfread::Matrix m = swfread::ReadMatrix(r);
    EXPECT_EQ(m.translateX, 20);
    EXPECT_EQ(m.translateY, -40);
    swfread::Cxform c = swfread::ReadCxform(r, false);
    EXPECT_TRUE(c.hasMultTerms);
    EXPECT_FALSE(c.hasAddTerms);
    EXPECT_EQ(c.mult[0], 128);
    EXPECT_EQ(c.mult[2], 512);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.Overrun());
}

TEST(SwfControlTags, PlaceObject2FlagsFollowWhatIsGiven) {
    // Character, matrix and ratio: flag byte 0x16.
    CSwfPlaceObject2 typical(false, true, true, false, 1, 9,
                             new CSwfMatrix(true, 2 << 16, 1 << 16, false, 0, 0, 200, 100), nullptr,
                             7, nullptr, 0);
    swfread::PlaceObject2 p;
    std::string error;
    ASSERT_TRUE(swfread::ParsePlaceObject2(ParseOne(typical), p, &error)) << error;
    EXPECT_EQ(p.flags, 0x16);
    EXPECT_EQ(p.depth, 1);
    EXPECT_EQ(p.characterId, 9);
    ASSERT_TRUE(p.matrix.has_value());
    EXPECT_EQ(p.matrix->scaleX, 2 << 16);
    EXPECT_EQ(p.matrix->translateY, 100);
    EXPECT_EQ(p.ratio, 7);
    EXPECT_FALSE(p.cxform.has_value());

    // Everything at once, in the field order of the format.
    CSwfPlaceObject2 full(true, true, true, true, 3, 4,
                          new CSwfMatrix(false, 0, 0, true, -100, 100, 0, 0),
                          new CSwfCxformWithAlpha(true, true, 10, 20, 30, -40, 256, 256, 256, 128),
                          5, new CSwfString("pic"), 9);
    ASSERT_TRUE(swfread::ParsePlaceObject2(ParseOne(full), p, &error)) << error;
    EXPECT_EQ(p.flags, 0x7F);
    EXPECT_TRUE(p.move);
    EXPECT_EQ(p.matrix->rotateSkew0, -100);
    EXPECT_EQ(p.cxform->add[3], -40);
    EXPECT_EQ(p.cxform->mult[3], 128);
    EXPECT_EQ(p.ratio, 5);
    EXPECT_EQ(p.name, "pic");
    EXPECT_EQ(p.clipDepth, 9);

    // A move with nothing else is the flag byte and the depth.
    CSwfPlaceObject2 move(false, false, false, true, 3, 0, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(TagBytes(move), (Bytes{0x83, 0x06, 0x01, 0x03, 0x00}));
}

// ---- Actions -------------------------------------------------------------------------------

TEST(SwfActions, EveryActionByteForByte) {
    CSwfString five("5"); // a pushed string stays with its owner
    const uint8_t ready[] = {0x07, 0x06};
    CSwfDoAction doAction;
    doAction.AddAction(new CSwfActionStop());
    doAction.AddAction(new CSwfActionStopSounds());
    doAction.AddAction(new CSwfActionPlay());
    doAction.AddAction(new CSwfActionDivide());
    doAction.AddAction(new CSwfActionGetProperty());
    doAction.AddAction(new CSwfActionGotoFrame(0x0102));
    doAction.AddAction(new CSwfActionGetURL(new CSwfString("a.swf"), new CSwfString("_level0")));
    doAction.AddAction(new CSwfActionWaitForFrame2(1));
    doAction.AddAction(new CSwfActionPush(&five));
    doAction.AddAction(new CSwfActionJump(-5));
    doAction.AddAction(new CSwfActionGetURL2(2));
    doAction.AddAction(new CSwfActionIf(10));
    doAction.AddAction(new CSwfActionGotoFrame2(1));
    doAction.AddAction(new CSwfActionBytes(ready, sizeof(ready)));
    swfread::Tag tag = ParseOne(doAction);
    const Bytes expected = {0x07, 0x09,                   // Stop, StopSounds
                            0x06, 0x0D, 0x22,             // Play, Divide, GetProperty
                            0x81, 0x02, 0x00, 0x02, 0x01, // GotoFrame 0x0102
                            0x83, 0x0E, 0x00, 'a',  '.',  's',  'w', 'f', 0, // GetURL
                            '_',  'l',  'e',  'v',  'e',  'l',  '0', 0,      //
                            0x8D, 0x01, 0x00, 0x01,                          // WaitForFrame2 1
                            0x96, 0x03, 0x00, 0x00, 0x35, 0x00,              // Push "5"
                            0x99, 0x02, 0x00, 0xFB, 0xFF,                    // Jump -5
                            0x9A, 0x01, 0x00, 0x02,                          // GetURL2 2
                            0x9D, 0x02, 0x00, 0x0A, 0x00,                    // If 10
                            0x9F, 0x01, 0x00, 0x01,                          // GotoFrame2 play
                            0x07, 0x06,                                      // ready-made bytes
                            0x00};                                           // end of actions
    EXPECT_EQ(tag.body, expected);
    std::vector<swfread::ActionRecord> actions;
    std::string error;
    ASSERT_TRUE(swfread::ParseDoAction(tag, actions, &error)) << error;
    EXPECT_EQ(actions.size(), 15u); // 13 actions and the two ready-made ones
}

// ---- Shape records ---------------------------------------------------------------------------

TEST(SwfShapeRecords, StraightEdgeForms) {
    // Horizontal 400 twips: NumBits 10 (field 8), general 0, vertical 0, 400 in 10 bits.
    EXPECT_EQ(RecordBits(CSwfStraightEdgeRecord(400, 0)), (Bytes{0xE0, 0x64, 0x00}));
    // (0, 0) is a vertical line of 0 with the least NumBits, 2.
    EXPECT_EQ(RecordBits(CSwfStraightEdgeRecord(0, 0)), (Bytes{0xC1, 0x00}));

    Bytes general = RecordBits(CSwfStraightEdgeRecord(-3, 5));
    swfread::BitReader r(general);
    EXPECT_EQ(r.UB(2), 3u);
    EXPECT_EQ(r.UB(4) + 2, 4u);
    EXPECT_TRUE(r.Flag());
    EXPECT_EQ(r.SB(4), -3);
    EXPECT_EQ(r.SB(4), 5);
}

// Lines longer than an edge record holds (65535 twips) are split into pieces that add up to
// the line and each fit the record; shorter lines stay one record.
TEST(SwfShapes, LongLinesAreSplitIntoEdgesThatFit) {
    struct Case {
        int32_t dx, dy;
        size_t edges;
    };
    for (const Case& c :
         {Case{65535, 0, 1}, Case{0, -65536, 2}, Case{-320000, 0, 5}, Case{200000, -70000, 4}}) {
        CSwfDefineShape shape(new CSwfRect(-400000, -400000, 400000, 400000));
        shape.AddLine(c.dx, c.dy);
        shape.AddRecord(new CSwfEndShapeRecord());
        CSwfStream out;
        shape.Write(out);
        ASSERT_FALSE(out.Failed()) << c.dx << "," << c.dy;
        swfread::Shape s = ParseShape(shape);
        ASSERT_EQ(s.records.size(), c.edges + 1) << c.dx << "," << c.dy;
        int64_t x = 0, y = 0;
        for (size_t i = 0; i < c.edges; ++i) {
            EXPECT_LE(s.records[i].numBits, 17u);
            x += s.records[i].dx;
            y += s.records[i].dy;
        }
        EXPECT_EQ(x, c.dx);
        EXPECT_EQ(y, c.dy);
    }
}

TEST(SwfShapes, LongStyleArraysUseTheExtendedCount) {
    CSwfDefineShape shape(new CSwfRect(0, 0, 100, 100));
    uint32_t last = 0;
    for (int i = 0; i < 300; ++i) {
        last = shape.AddSolidFill(new CSwfRGBA(i & 0xFF, 0, 0));
    }
    EXPECT_EQ(last, 300u);
    for (int i = 0; i < 255; ++i) {
        last = shape.AddLineStyle(20, new CSwfRGBA(0, i, 0));
    }
    EXPECT_EQ(last, 255u);
    shape.EndStyles();
    shape.AddRecord(new CSwfStyleChangeRecord(false, true, false, true, false, 0, 0, 300, 0, 255,
                                              nullptr, nullptr));
    shape.AddRecord(new CSwfEndShapeRecord());

    swfread::Tag tag = ParseOne(shape);
    // id (2 bytes), 9-byte RECT, then 0xFF and the u16 300.
    ASSERT_GT(tag.body.size(), 14u);
    EXPECT_EQ(tag.body[11], 0xFF);
    EXPECT_EQ(tag.body[12], 0x2C);
    EXPECT_EQ(tag.body[13], 0x01);
    swfread::Shape s = ParseShape(shape);
    EXPECT_TRUE(s.fillCountExtended);
    EXPECT_EQ(s.fillStyles.size(), 300u);
    EXPECT_EQ(s.fillStyles[299].colour.r, 299 & 0xFF);
    // 255 is already written in the extended form: the short count only goes to 254.
    EXPECT_TRUE(s.lineCountExtended);
    EXPECT_EQ(s.lineStyles.size(), 255u);
    EXPECT_EQ(s.numFillBits, 9u);
    EXPECT_EQ(s.numLineBits, 8u);
    EXPECT_EQ(s.records[0].fillStyle0, 300u);
    EXPECT_EQ(s.records[0].lineStyle, 255u);

    CSwfLineStyleArray lines;
    for (int i = 0; i < 254; ++i) {
        lines.Add(new CSwfLineStyle(1, new CSwfRGBA(0, 0, 0)));
    }
    CSwfStream out;
    lines.Write(out);
    EXPECT_EQ(out.Bytes()[0], 254);
    EXPECT_EQ(out.Length(), 1u + 254 * 5);
}

TEST(SwfShapes, CurvedEdges) {
    CSwfDefineShape2 shape(new CSwfRect(0, 0, 400, 400));
    shape.AddSolidFill(new CSwfRGBA(255, 0, 0));
    shape.EndStyles();
    shape.AddRecord(new CSwfStyleChangeRecord(false, false, false, true, true, 100, 200, 1, 0, 0,
                                              nullptr, nullptr));
    shape.AddRecord(new CSwfCurvedEdgeRecord(100, -50, 30, 70));
    shape.AddRecord(new CSwfCurvedEdgeRecord(0, 0, 0, 0));
    shape.AddRecord(new CSwfCurvedEdgeRecord(-32768, 0, 0, 32767));
    shape.AddRecord(new CSwfEndShapeRecord());
    swfread::Shape s = ParseShape(shape);
    EXPECT_EQ(s.code, 22);
    ASSERT_EQ(s.records.size(), 5u);
    EXPECT_EQ(std::tuple(s.records[0].moveBits, s.records[0].moveX, s.records[0].moveY),
              std::tuple(9u, 100, 200));
    // Kind, width, control and anchor deltas; all zero takes the smallest width the field holds.
    auto curve = [&](size_t i) {
        const ShapeRecord& c = s.records[i];
        return std::tuple(c.kind, c.numBits, c.controlDx, c.controlDy, c.anchorDx, c.anchorDy);
    };
    const auto kCurved = ShapeRecord::Kind::CurvedEdge;
    EXPECT_EQ(curve(1), std::tuple(kCurved, 8u, 100, -50, 30, 70));
    EXPECT_EQ(curve(2), std::tuple(kCurved, 2u, 0, 0, 0, 0));
    EXPECT_EQ(curve(3), std::tuple(kCurved, 17u, -32768, 0, 0, 32767));
}

// New style arrays replace the styles from their record on: the record's own indices use the
// widths before it, the records after it the widths of the new arrays.
TEST(SwfShapes, NewStylesSwitchIndexWidthsForLaterRecords) {
    CSwfDefineShape3 shape(new CSwfRect(0, 0, 400, 400));
    shape.AddSolidFill(new CSwfRGBA(1, 2, 3)); // NumFillBits 1, NumLineBits 0
    shape.EndStyles();
    shape.AddRecord(new CSwfStyleChangeRecord(false, false, false, true, true, 10, 10, 1, 0, 0,
                                              nullptr, nullptr));
    shape.AddRecord(new CSwfStraightEdgeRecord(100, 0));
    auto* fills = new CSwfFillStyleArray();
    fills->Add(new CSwfSolidFill(new CSwfRGBA(10, 20, 30, 40)));
    fills->Add(new CSwfSolidFill(new CSwfRGBA(50, 60, 70)));
    fills->Add(new CSwfBitmapFill(true, 3, new CSwfMatrix(false, 0, 0, false, 0, 0, 0, 0)));
    auto* lines = new CSwfLineStyleArray();
    lines->Add(new CSwfLineStyle(20, new CSwfRGBA(0, 0, 0)));
    lines->Add(new CSwfLineStyle(40, new CSwfRGBA(9, 9, 9, 99)));
    shape.AddRecord(
        new CSwfStyleChangeRecord(true, true, true, false, false, 0, 0, 0, 1, 0, fills, lines));
    shape.AddRecord(
        new CSwfStyleChangeRecord(false, true, true, false, true, 0, 0, 0, 3, 2, nullptr, nullptr));
    shape.AddRecord(new CSwfStraightEdgeRecord(0, 100));
    shape.AddRecord(new CSwfEndShapeRecord());

    swfread::Shape s = ParseShape(shape);
    EXPECT_EQ(s.code, 32);
    ASSERT_EQ(s.records.size(), 6u);
    const ShapeRecord& change = s.records[2];
    EXPECT_TRUE(change.stateNewStyles);
    EXPECT_EQ(change.fillStyle1, 1u);
    ASSERT_EQ(change.newFillStyles.size(), 3u);
    // DefineShape3 writes the new colours as RGBA too.
    EXPECT_EQ(change.newFillStyles[0].colour, (swfread::Rgba{10, 20, 30, 40}));
    EXPECT_EQ(change.newFillStyles[1].colour, (swfread::Rgba{50, 60, 70, 255}));
    EXPECT_EQ(change.newFillStyles[2].type, 0x40);
    EXPECT_EQ(change.newFillStyles[2].bitmapId, 3);
    ASSERT_EQ(change.newLineStyles.size(), 2u);
    EXPECT_EQ(change.newLineStyles[1].width, 40);
    EXPECT_EQ(change.newLineStyles[1].colour.a, 99);
    EXPECT_EQ(change.newNumFillBits, 2u);
    EXPECT_EQ(change.newNumLineBits, 2u);
    EXPECT_EQ(s.records[3].fillStyle1, 3u);
    EXPECT_EQ(s.records[3].lineStyle, 2u);
    EXPECT_EQ(s.records[4].dy, 100);
    EXPECT_EQ(s.records[5].kind, ShapeRecord::Kind::End);
}

// DefineShape and DefineShape2 write RGB colours (alpha dropped), DefineShape3 RGBA, in solid
// fills, line styles and gradient records alike; the reader fails on leftover bytes.
TEST(SwfShapes, ColoursFollowTheShapeKind) {
    CSwfDefineShape rgb(new CSwfRect(0, 0, 100, 100));
    rgb.AddSolidFill(new CSwfRGBA(10, 20, 30, 40));
    rgb.AddLineStyle(20, new CSwfRGBA(0x80402010u, true));
    auto* linear =
        new CSwfGradientFill(true, new CSwfMatrix(true, 1 << 16, 1 << 15, false, 0, 0, 50, 50));
    linear->AddGradientRecord(0, new CSwfRGBA(255, 0, 0, 10));
    linear->AddGradientRecord(255, new CSwfRGBA(0, 0, 255, 20));
    rgb.AddFillStyle(linear);
    rgb.EndStyles();
    // Styles after EndStyles are refused and released.
    EXPECT_EQ(rgb.AddSolidFill(new CSwfRGBA(1, 1, 1)), 0u);
    EXPECT_EQ(rgb.AddLineStyle(1, new CSwfRGBA(1, 1, 1)), 0u);
    rgb.AddRecord(new CSwfEndShapeRecord());
    swfread::Shape s = ParseShape(rgb);
    ASSERT_EQ(s.fillStyles.size(), 2u);
    EXPECT_EQ(s.fillStyles[0].colour, (swfread::Rgba{10, 20, 30, 255}));
    EXPECT_EQ(s.lineStyles[0].colour, (swfread::Rgba{0x10, 0x20, 0x40, 255}));
    EXPECT_EQ(s.fillStyles[1].type, 0x10);
    EXPECT_EQ(s.fillStyles[1].matrix.scaleY, 1 << 15);
    ASSERT_EQ(s.fillStyles[1].gradient.size(), 2u);
    EXPECT_EQ(s.fillStyles[1].gradient[1].ratio, 255);
    EXPECT_EQ(s.fillStyles[1].gradient[1].colour, (swfread::Rgba{0, 0, 255, 255}));

    CSwfDefineShape3 rgba(new CSwfRect(0, 0, 100, 100));
    rgba.AddSolidFill(new CSwfRGBA(10, 20, 30));
    rgba.AddLineStyle(20, new CSwfRGBA(1, 2, 3, 128));
    auto* radial = new CSwfGradientFill(false, new CSwfMatrix(false, 0, 0, false, 0, 0, 0, 0));
    radial->AddGradientRecord(0, new CSwfRGBA(1, 2, 3));
    radial->AddGradientRecord(128, new CSwfRGBA(4, 5, 6, 7));
    rgba.AddFillStyle(radial);
    rgba.EndStyles();
    rgba.AddRecord(new CSwfEndShapeRecord());
    s = ParseShape(rgba);
    EXPECT_EQ(s.fillStyles[0].colour, (swfread::Rgba{10, 20, 30, 255}));
    EXPECT_EQ(s.lineStyles[0].colour, (swfread::Rgba{1, 2, 3, 128}));
    EXPECT_EQ(s.fillStyles[1].type, 0x12);
    ASSERT_EQ(s.fillStyles[1].gradient.size(), 2u);
    EXPECT_EQ(s.fillStyles[1].gradient[0].colour, (swfread::Rgba{1, 2, 3, 255}));
    EXPECT_EQ(s.fillStyles[1].gradient[1].colour, (swfread::Rgba{4, 5, 6, 7}));
}

} // namespace
