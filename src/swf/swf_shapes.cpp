#include "swf/swf_shapes.h"

#include <algorithm>

namespace kestrova::swf {

// ---- Control tags ------------------------------------------------------------------------

void CSwfSetBackgroundColor::Write(CSwfStream& s) const {
    CSwfStream body;
    colour.Write(body, false);
    Emit(s, kTagSetBackgroundColor, body);
}

void CSwfPlaceObject2::Write(CSwfStream& s) const {
    const CSwfPlacement& p = placement;
    CSwfStream body;
    body.WriteBits(0, 1); // no clip actions
    body.WriteBits(p.clipDepth.has_value(), 1);
    body.WriteBits(p.name.has_value(), 1);
    body.WriteBits(p.ratio.has_value(), 1);
    body.WriteBits(p.cxform.has_value(), 1);
    body.WriteBits(p.matrix.has_value(), 1);
    body.WriteBits(p.characterId.has_value(), 1);
    body.WriteBits(p.move, 1);
    body.WriteU16(p.depth);
    if (p.characterId) {
        body.WriteU16(*p.characterId);
    }
    if (p.matrix) {
        p.matrix->Write(body);
    }
    if (p.cxform) {
        p.cxform->Write(body);
    }
    if (p.ratio) {
        body.WriteU16(*p.ratio);
    }
    if (p.name) {
        WriteString(body, *p.name);
    }
    if (p.clipDepth) {
        body.WriteU16(*p.clipDepth);
    }
    Emit(s, kTagPlaceObject2, body);
}

void CSwfPlaceObject::Write(CSwfStream& s) const {
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

void CSwfRemoveObject::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(characterId);
    body.WriteU16(depth);
    Emit(s, kTagRemoveObject, body);
}

void CSwfRemoveObject2::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(depth);
    Emit(s, kTagRemoveObject2, body);
}

void CSwfProtect::Write(CSwfStream& s) const {
    s.WriteTagHeader(kTagProtect, 0);
}

void CSwfFrameLabel::Write(CSwfStream& s) const {
    CSwfStream body;
    WriteString(body, name);
    Emit(s, kTagFrameLabel, body);
}

void CSwfDoAction::Write(CSwfStream& s) const {
    CSwfStream body;
    for (const auto& action : actions) {
        action->Write(body);
    }
    body.WriteU8(0); // ActionEndFlag
    Emit(s, kTagDoAction, body);
}

// ---- Fill and line styles ----------------------------------------------------------------

namespace {

void WriteStyleCount(CSwfStream& s, size_t count) {
    if (count < 255) {
        s.WriteU8(static_cast<uint32_t>(count));
    } else {
        s.WriteU8(0xFF);
        s.WriteU16(static_cast<uint32_t>(count));
    }
}

void WriteFill(CSwfStream& s, const CSwfSolidFill& fill, bool withAlpha) {
    s.WriteU8(0x00);
    fill.colour.Write(s, withAlpha);
}

void WriteFill(CSwfStream& s, const CSwfBitmapFill& fill, bool) {
    s.WriteU8(fill.repeat ? 0x40 : 0x41);
    s.WriteU16(fill.bitmapId);
    fill.matrix.Write(s);
}

void WriteFill(CSwfStream& s, const CSwfGradientFill& fill, bool withAlpha) {
    s.WriteU8(fill.linear ? 0x10 : 0x12);
    fill.matrix.Write(s);
    s.WriteU8(static_cast<uint32_t>(fill.records.size()));
    for (const CSwfGradientFill::Record& record : fill.records) {
        s.WriteU8(record.ratio);
        record.colour.Write(s, withAlpha);
    }
}

// Index widths of a style array: enough bits for its largest index.
uint32_t IndexBits(size_t count) {
    return BitsFor(static_cast<uint32_t>(count), 0);
}

// An edge's NumBits is stored less 2, so 2 is the least even for all-zero deltas.
uint32_t EdgeBits(int32_t a, int32_t b, int32_t c = 0, int32_t d = 0) {
    return std::max(2u, SignedBits(a, b, c, d));
}

// Writes one shape record. `fillBits`/`lineBits` are the index widths in force at the record
// and become those after it.
struct RecordWriter {
    CSwfStream& s;
    bool withAlpha;
    uint32_t& fillBits;
    uint32_t& lineBits;

    void operator()(const CSwfStyleChangeRecord& r) const {
        s.WriteBits(0, 1); // TypeFlag: non-edge record
        s.WriteBits(r.newStyles.has_value(), 1);
        s.WriteBits(r.lineStyle.has_value(), 1);
        s.WriteBits(r.fillStyle1.has_value(), 1);
        s.WriteBits(r.fillStyle0.has_value(), 1);
        s.WriteBits(r.moveTo.has_value(), 1);
        if (r.moveTo) {
            uint32_t moveBits = SignedBits(r.moveTo->x, r.moveTo->y);
            s.WriteBits(moveBits, 5);
            s.WriteSignedBits(r.moveTo->x, moveBits);
            s.WriteSignedBits(r.moveTo->y, moveBits);
        }
        if (r.fillStyle0) {
            s.WriteBits(*r.fillStyle0, fillBits);
        }
        if (r.fillStyle1) {
            s.WriteBits(*r.fillStyle1, fillBits);
        }
        if (r.lineStyle) {
            s.WriteBits(*r.lineStyle, lineBits);
        }
        if (r.newStyles) {
            // The style arrays are byte records: readers continue at the next byte boundary, and
            // the two new widths fill exactly one byte, so the following records start aligned.
            s.Align();
            r.newStyles->Write(s, withAlpha);
            fillBits = IndexBits(r.newStyles->fills.size());
            lineBits = IndexBits(r.newStyles->lines.size());
            s.WriteBits(fillBits, 4);
            s.WriteBits(lineBits, 4);
        }
    }

    void operator()(const CSwfStraightEdgeRecord& r) const {
        uint32_t numBits = EdgeBits(r.dx, r.dy);
        s.WriteBits(1, 1); // TypeFlag: edge
        s.WriteBits(1, 1); // StraightFlag
        s.WriteBits(numBits - 2, 4);
        bool general = r.dx != 0 && r.dy != 0;
        s.WriteBits(general, 1);
        if (general) {
            s.WriteSignedBits(r.dx, numBits);
            s.WriteSignedBits(r.dy, numBits);
        } else if (r.dx != 0) {
            s.WriteBits(0, 1); // horizontal
            s.WriteSignedBits(r.dx, numBits);
        } else {
            s.WriteBits(1, 1); // vertical
            s.WriteSignedBits(r.dy, numBits);
        }
    }

    void operator()(const CSwfCurvedEdgeRecord& r) const {
        uint32_t numBits = EdgeBits(r.controlDx, r.controlDy, r.anchorDx, r.anchorDy);
        s.WriteBits(1, 1); // TypeFlag: edge
        s.WriteBits(0, 1); // StraightFlag: curve
        s.WriteBits(numBits - 2, 4);
        for (int32_t delta : {r.controlDx, r.controlDy, r.anchorDx, r.anchorDy}) {
            s.WriteSignedBits(delta, numBits);
        }
    }

    void operator()(const CSwfEndShapeRecord&) const {
        s.WriteBits(0, 6);
        s.Align();
    }
};

} // namespace

void CSwfStyles::Write(CSwfStream& s, bool withAlpha) const {
    WriteStyleCount(s, fills.size());
    for (const CSwfFillStyle& fill : fills) {
        std::visit([&](const auto& f) { WriteFill(s, f, withAlpha); }, fill);
    }
    WriteStyleCount(s, lines.size());
    for (const CSwfLineStyle& line : lines) {
        s.WriteU16(line.widthTwips);
        line.colour.Write(s, withAlpha);
    }
}

// ---- Shape definition tags ------------------------------------------------------------------

uint32_t CSwfDefineShape::AddFillStyle(CSwfFillStyle style) {
    if (!records.empty()) {
        return 0;
    }
    styles.fills.push_back(std::move(style));
    return static_cast<uint32_t>(styles.fills.size());
}

uint32_t CSwfDefineShape::AddLineStyle(CSwfLineStyle style) {
    if (!records.empty()) {
        return 0;
    }
    styles.lines.push_back(style);
    return static_cast<uint32_t>(styles.lines.size());
}

void CSwfDefineShape::AddRecord(CSwfShapeRecord record) {
    records.push_back(std::move(record));
}

void CSwfDefineShape::AddLine(int32_t dxTwips, int32_t dyTwips) {
    // An edge's bit count is stored less 2 in 4 bits, so its deltas have at most 17 signed
    // bits: 65535 twips (about 3277 pixels) each way.
    constexpr int64_t kMaxDelta = 65535;
    const int64_t dx = dxTwips;
    const int64_t dy = dyTwips;
    const int64_t longest = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
    const int64_t pieces = std::max<int64_t>(1, (longest + kMaxDelta - 1) / kMaxDelta);
    for (int64_t i = 0; i < pieces; ++i) {
        // Each piece ends where the exact fraction of the line ends, so the pieces add up.
        AddRecord(
            CSwfStraightEdgeRecord{static_cast<int32_t>(dx * (i + 1) / pieces - dx * i / pieces),
                                   static_cast<int32_t>(dy * (i + 1) / pieces - dy * i / pieces)});
    }
}

void CSwfDefineShape::Write(CSwfStream& s) const {
    const bool withAlpha = tagCode == kTagDefineShape3;
    CSwfStream body;
    body.WriteU16(id);
    bounds.Write(body);
    // SHAPEWITHSTYLE: the styles, their index widths, the records.
    styles.Write(body, withAlpha);
    uint32_t fillBits = IndexBits(styles.fills.size());
    uint32_t lineBits = IndexBits(styles.lines.size());
    body.WriteBits(fillBits, 4);
    body.WriteBits(lineBits, 4);
    for (const CSwfShapeRecord& record : records) {
        std::visit(RecordWriter{body, withAlpha, fillBits, lineBits}, record);
    }
    body.Align();
    Emit(s, tagCode, body);
}

} // namespace kestrova::swf
