#include "swf/swf_shapes.h"

#include <algorithm>

// ---- Control tags ------------------------------------------------------------------------

CSwfSetBackgroundColor::CSwfSetBackgroundColor(CSwfRGBA* colour) : colour(colour) {
    this->colour->hasAlpha = false;
}

void CSwfSetBackgroundColor::Write(CSwfStream& s) {
    CSwfStream body;
    colour->Write(body);
    Emit(s, kTagSetBackgroundColor, body);
}

CSwfPlaceObject2::CSwfPlaceObject2(bool hasClipDepth, bool hasRatio, bool hasCharacter, bool move,
                                   uint16_t depth, uint16_t characterId, CSwfMatrix* matrix,
                                   CSwfCxformWithAlpha* cxform, uint16_t ratio, CSwfString* name,
                                   uint16_t clipDepth)
    : hasClipDepth(hasClipDepth), hasRatio(hasRatio), hasCharacter(hasCharacter), move(move),
      depth(depth), characterId(characterId), matrix(matrix), cxform(cxform), ratio(ratio),
      name(name), clipDepth(clipDepth) {}

void CSwfPlaceObject2::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteBits(0, 1); // no clip actions
    body.WriteBits(hasClipDepth, 1);
    body.WriteBits(name != nullptr, 1);
    body.WriteBits(hasRatio, 1);
    body.WriteBits(cxform != nullptr, 1);
    body.WriteBits(matrix != nullptr, 1);
    body.WriteBits(hasCharacter, 1);
    body.WriteBits(move, 1);
    body.WriteU16(depth);
    if (hasCharacter) {
        body.WriteU16(characterId);
    }
    if (matrix) {
        matrix->Write(body);
    }
    if (cxform) {
        cxform->Write(body);
    }
    if (hasRatio) {
        body.WriteU16(ratio);
    }
    if (name) {
        WriteTerminated(body, *name);
    }
    if (hasClipDepth) {
        body.WriteU16(clipDepth);
    }
    Emit(s, kTagPlaceObject2, body);
}

CSwfPlaceObject::CSwfPlaceObject(uint16_t characterId, uint16_t depth, CSwfMatrix* matrix,
                                 CSwfCxform* cxform)
    : characterId(characterId), depth(depth), matrix(matrix), cxform(cxform) {}

void CSwfPlaceObject::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(characterId);
    body.WriteU16(depth);
    if (matrix) {
        matrix->Write(body);
    } else {
        body.WriteU8(0); // the format requires a matrix: an identity one
    }
    if (cxform) {
        cxform->Write(body);
    }
    Emit(s, kTagPlaceObject, body);
}

void CSwfRemoveObject::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(characterId);
    body.WriteU16(depth);
    Emit(s, kTagRemoveObject, body);
}

void CSwfRemoveObject2::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(depth);
    Emit(s, kTagRemoveObject2, body);
}

void CSwfProtect::Write(CSwfStream& s) {
    s.WriteTagHeader(kTagProtect, 0);
}

void CSwfFrameLabel::Write(CSwfStream& s) {
    CSwfStream body;
    WriteTerminated(body, *name);
    Emit(s, kTagFrameLabel, body);
}

void CSwfDoAction::Write(CSwfStream& s) {
    CSwfStream body;
    for (const auto& action : actions) {
        action->Write(body);
    }
    body.WriteU8(0); // ActionEndFlag
    Emit(s, kTagDoAction, body);
}

// ---- Fill and line styles ----------------------------------------------------------------

void CSwfSolidFill::Write(CSwfStream& s) const {
    s.WriteU8(0x00);
    colour->Write(s);
}

void CSwfBitmapFill::Write(CSwfStream& s) const {
    s.WriteU8(repeat ? 0x40 : 0x41);
    s.WriteU16(bitmapId);
    matrix->Write(s);
}

void CSwfGradientFill::AddGradientRecord(uint8_t ratio, CSwfRGBA* colour) {
    records.push_back(Record{ratio, std::unique_ptr<CSwfRGBA>(colour)});
}

void CSwfGradientFill::Write(CSwfStream& s) const {
    s.WriteU8(linear ? 0x10 : 0x12);
    matrix->Write(s);
    s.WriteU8(static_cast<uint32_t>(records.size()));
    for (const Record& record : records) {
        s.WriteU8(record.ratio);
        record.colour->Write(s);
    }
}

void CSwfGradientFill::SetAlpha(bool withAlpha) {
    for (Record& record : records) {
        record.colour->hasAlpha = withAlpha;
    }
}

void CSwfLineStyle::Write(CSwfStream& s) const {
    s.WriteU16(width);
    colour->Write(s);
}

static void WriteStyleCount(CSwfStream& s, uint32_t count) {
    if (count < 255) {
        s.WriteU8(count);
    } else {
        s.WriteU8(0xFF);
        s.WriteU16(count);
    }
}

template <typename Style> uint32_t CSwfStyleArray<Style>::Add(Style* style) {
    styles.emplace_back(style);
    return Count();
}

template <typename Style> void CSwfStyleArray<Style>::SetAlpha(bool withAlpha) {
    for (auto& style : styles) {
        style->SetAlpha(withAlpha);
    }
}

template <typename Style> void CSwfStyleArray<Style>::Write(CSwfStream& s) const {
    WriteStyleCount(s, Count());
    for (const auto& style : styles) {
        style->Write(s);
    }
}

template class CSwfStyleArray<CSwfFillStyle>;
template class CSwfStyleArray<CSwfLineStyle>;

// ---- Shape records -------------------------------------------------------------------------

CSwfStyleChangeRecord::CSwfStyleChangeRecord(bool newStyles, bool hasLineStyle, bool hasFillStyle1,
                                             bool hasFillStyle0, bool hasMoveTo, int32_t moveXTwips,
                                             int32_t moveYTwips, uint32_t fillStyle0,
                                             uint32_t fillStyle1, uint32_t lineStyle,
                                             CSwfFillStyleArray* newFillStyles,
                                             CSwfLineStyleArray* newLineStyles)
    : newStyles(newStyles), hasLineStyle(hasLineStyle), hasFillStyle1(hasFillStyle1),
      hasFillStyle0(hasFillStyle0), hasMoveTo(hasMoveTo), moveX(moveXTwips), moveY(moveYTwips),
      moveBits(SignedBits(moveXTwips, moveYTwips)), fillStyle0(fillStyle0), fillStyle1(fillStyle1),
      lineStyle(lineStyle), newFillStyles(newFillStyles), newLineStyles(newLineStyles) {
    // A record with new styles always carries both arrays, empty when none was given.
    if (newStyles && !this->newFillStyles) {
        this->newFillStyles = std::make_unique<CSwfFillStyleArray>();
    }
    if (newStyles && !this->newLineStyles) {
        this->newLineStyles = std::make_unique<CSwfLineStyleArray>();
    }
}

void CSwfStyleChangeRecord::Write(CSwfStream& s) const {
    s.WriteBits(0, 1); // TypeFlag: non-edge record
    s.WriteBits(newStyles, 1);
    s.WriteBits(hasLineStyle, 1);
    s.WriteBits(hasFillStyle1, 1);
    s.WriteBits(hasFillStyle0, 1);
    s.WriteBits(hasMoveTo, 1);
    if (hasMoveTo) {
        s.WriteBits(moveBits, 5);
        s.WriteSignedBits(moveX, moveBits);
        s.WriteSignedBits(moveY, moveBits);
    }
    if (hasFillStyle0) {
        s.WriteBits(fillStyle0, fillBits);
    }
    if (hasFillStyle1) {
        s.WriteBits(fillStyle1, fillBits);
    }
    if (hasLineStyle) {
        s.WriteBits(lineStyle, lineBits);
    }
    if (newStyles) {
        // The style arrays are byte records: readers continue at the next byte boundary, and
        // the two new widths fill exactly one byte, so the following records start aligned.
        s.Align();
        newFillStyles->Write(s);
        newLineStyles->Write(s);
        uint32_t fillBitsAfter = fillBits, lineBitsAfter = lineBits;
        UpdateStyleBits(fillBitsAfter, lineBitsAfter);
        s.WriteBits(fillBitsAfter, 4);
        s.WriteBits(lineBitsAfter, 4);
    }
}

void CSwfStyleChangeRecord::UpdateStyleBits(uint32_t& fillBitsAfter,
                                            uint32_t& lineBitsAfter) const {
    if (newStyles) {
        fillBitsAfter = BitsFor(newFillStyles->Count(), 0);
        lineBitsAfter = BitsFor(newLineStyles->Count(), 0);
    }
}

void CSwfStyleChangeRecord::SetAlpha(bool withAlpha) {
    if (newStyles) {
        newFillStyles->SetAlpha(withAlpha);
        newLineStyles->SetAlpha(withAlpha);
    }
}

CSwfStraightEdgeRecord::CSwfStraightEdgeRecord(int32_t dxTwips, int32_t dyTwips)
    : dx(dxTwips), dy(dyTwips), numBits(std::max(2u, SignedBits(dxTwips, dyTwips))) {}

void CSwfStraightEdgeRecord::Write(CSwfStream& s) const {
    s.WriteBits(1, 1); // TypeFlag: edge
    s.WriteBits(1, 1); // StraightFlag
    s.WriteBits(numBits - 2, 4);
    bool general = dx != 0 && dy != 0;
    s.WriteBits(general, 1);
    if (general) {
        s.WriteSignedBits(dx, numBits);
        s.WriteSignedBits(dy, numBits);
    } else if (dx != 0) {
        s.WriteBits(0, 1); // horizontal
        s.WriteSignedBits(dx, numBits);
    } else {
        s.WriteBits(1, 1); // vertical
        s.WriteSignedBits(dy, numBits);
    }
}

// All-zero deltas need only one bit each, but the field stores NumBits - 2, so 2 is the least.
CSwfCurvedEdgeRecord::CSwfCurvedEdgeRecord(int32_t controlDxTwips, int32_t controlDyTwips,
                                           int32_t anchorDxTwips, int32_t anchorDyTwips)
    : controlDx(controlDxTwips), controlDy(controlDyTwips), anchorDx(anchorDxTwips),
      anchorDy(anchorDyTwips),
      numBits(
          std::max(2u, SignedBits(controlDxTwips, controlDyTwips, anchorDxTwips, anchorDyTwips))) {}

void CSwfCurvedEdgeRecord::Write(CSwfStream& s) const {
    s.WriteBits(1, 1); // TypeFlag: edge
    s.WriteBits(0, 1); // StraightFlag: curve
    s.WriteBits(numBits - 2, 4);
    for (int32_t delta : {controlDx, controlDy, anchorDx, anchorDy}) {
        s.WriteSignedBits(delta, numBits);
    }
}

void CSwfEndShapeRecord::Write(CSwfStream& s) const {
    s.WriteBits(0, 6);
    s.Align();
}

CSwfShapeWithStyle::CSwfShapeWithStyle(CSwfFillStyleArray* fillStyles,
                                       CSwfLineStyleArray* lineStyles)
    : fillStyles(fillStyles), lineStyles(lineStyles), numFillBits(BitsFor(fillStyles->Count(), 0)),
      numLineBits(BitsFor(lineStyles->Count(), 0)), currentFillBits(numFillBits),
      currentLineBits(numLineBits) {}

void CSwfShapeWithStyle::AddRecord(CSwfShapeRecord* record) {
    record->SetFillBits(currentFillBits);
    record->SetLineBits(currentLineBits);
    record->SetAlpha(withAlpha);
    record->UpdateStyleBits(currentFillBits, currentLineBits);
    records.emplace_back(record);
}

void CSwfShapeWithStyle::SetAlpha(bool alpha) {
    withAlpha = alpha;
    fillStyles->SetAlpha(alpha);
    lineStyles->SetAlpha(alpha);
    for (auto& record : records) {
        record->SetAlpha(alpha);
    }
}

void CSwfShapeWithStyle::Write(CSwfStream& s) const {
    fillStyles->Write(s);
    lineStyles->Write(s);
    s.WriteBits(numFillBits, 4);
    s.WriteBits(numLineBits, 4);
    for (const auto& record : records) {
        record->Write(s);
    }
    s.Align();
}

// ---- Shape definition tags ------------------------------------------------------------------

CSwfDefineShape::CSwfDefineShape(CSwfRect* bounds, uint32_t tagCode, bool withAlpha)
    : tagCode(tagCode), withAlpha(withAlpha), bounds(bounds),
      fillStyles(std::make_unique<CSwfFillStyleArray>()),
      lineStyles(std::make_unique<CSwfLineStyleArray>()) {}

uint32_t CSwfDefineShape::AddFillStyle(CSwfFillStyle* style) {
    if (stylesEnded) {
        delete style;
        return 0;
    }
    style->SetAlpha(withAlpha);
    return fillStyles->Add(style);
}

uint32_t CSwfDefineShape::AddSolidFill(CSwfRGBA* colour) {
    return AddFillStyle(new CSwfSolidFill(colour));
}

uint32_t CSwfDefineShape::AddLineStyle(uint16_t widthTwips, CSwfRGBA* colour) {
    if (stylesEnded) {
        delete colour;
        return 0;
    }
    auto* style = new CSwfLineStyle(widthTwips, colour);
    style->SetAlpha(withAlpha);
    return lineStyles->Add(style);
}

void CSwfDefineShape::EndStyles() {
    if (stylesEnded) {
        return;
    }
    shape = std::make_unique<CSwfShapeWithStyle>(fillStyles.release(), lineStyles.release());
    shape->SetAlpha(withAlpha);
    stylesEnded = true;
}

void CSwfDefineShape::AddRecord(CSwfShapeRecord* record) {
    EndStyles(); // records always follow the styles
    shape->AddRecord(record);
}

void CSwfDefineShape::Write(CSwfStream& s) {
    EndStyles();
    CSwfStream body;
    body.WriteU16(id);
    bounds->Write(body);
    shape->Write(body);
    Emit(s, tagCode, body);
}
