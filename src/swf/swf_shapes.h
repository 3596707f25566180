// Display-list and frame control tags, DoAction, and the shape definition tags with their
// fill and line styles and shape records.
#pragma once

#include "swf/swf_actions.h"
#include "swf/swf_stream.h"
#include "swf/swf_tag.h"

#include <cstdint>
#include <memory>
#include <vector>

// ---- Control tags ------------------------------------------------------------------------

// Writes the colour as RGB (its alpha flag is cleared). Owns the colour.
class CSwfSetBackgroundColor : public CSwfControlTag {
public:
    explicit CSwfSetBackgroundColor(CSwfRGBA* colour);
    void Write(CSwfStream& s) override;

private:
    std::unique_ptr<CSwfRGBA> colour;
};

// Owns the matrix, colour transform and name it is given; each one that is given sets its
// has-flag in the tag.
class CSwfPlaceObject2 : public CSwfControlTag {
public:
    CSwfPlaceObject2(bool hasClipDepth, bool hasRatio, bool hasCharacter, bool move, uint16_t depth,
                     uint16_t characterId, CSwfMatrix* matrix, CSwfCxformWithAlpha* cxform,
                     uint16_t ratio, CSwfString* name, uint16_t clipDepth);
    void Write(CSwfStream& s) override;

private:
    bool hasClipDepth, hasRatio, hasCharacter, move;
    uint16_t depth, characterId;
    std::unique_ptr<CSwfMatrix> matrix;
    std::unique_ptr<CSwfCxformWithAlpha> cxform;
    uint16_t ratio;
    std::unique_ptr<CSwfString> name;
    uint16_t clipDepth;
};

// Owns the matrix and the colour transform (which may be none).
class CSwfPlaceObject : public CSwfControlTag {
public:
    CSwfPlaceObject(uint16_t characterId, uint16_t depth, CSwfMatrix* matrix, CSwfCxform* cxform);
    void Write(CSwfStream& s) override;

private:
    uint16_t characterId, depth;
    std::unique_ptr<CSwfMatrix> matrix;
    std::unique_ptr<CSwfCxform> cxform;
};

class CSwfRemoveObject : public CSwfControlTag {
public:
    CSwfRemoveObject(uint16_t characterId, uint16_t depth)
        : characterId(characterId), depth(depth) {}
    void Write(CSwfStream& s) override;

private:
    uint16_t characterId, depth;
};

class CSwfRemoveObject2 : public CSwfControlTag {
public:
    explicit CSwfRemoveObject2(uint16_t depth) : depth(depth) {}
    void Write(CSwfStream& s) override;

private:
    uint16_t depth;
};

class CSwfProtect : public CSwfControlTag {
public:
    void Write(CSwfStream& s) override;
};

// Owns the name; it is always written with its terminator.
class CSwfFrameLabel : public CSwfControlTag {
public:
    explicit CSwfFrameLabel(CSwfString* name) : name(name) {}
    void Write(CSwfStream& s) override;

private:
    std::unique_ptr<CSwfString> name;
};

// A frame script: the actions in the order added, then the end-of-actions byte 0.
class CSwfDoAction : public CSwfControlTag {
public:
    void AddAction(CSwfAction* action) { actions.emplace_back(action); }
    void Write(CSwfStream& s) override;

private:
    std::vector<std::unique_ptr<CSwfAction>> actions;
};

// ---- Fill and line styles ----------------------------------------------------------------

class CSwfFillStyle {
public:
    virtual ~CSwfFillStyle() = default;
    virtual void Write(CSwfStream& s) const = 0;
    // DefineShape3 writes colours with alpha, DefineShape and DefineShape2 without.
    virtual void SetAlpha(bool) {}
};

// Owns the colour.
class CSwfSolidFill : public CSwfFillStyle {
public:
    explicit CSwfSolidFill(CSwfRGBA* colour) : colour(colour) {}
    void Write(CSwfStream& s) const override;
    void SetAlpha(bool withAlpha) override { colour->hasAlpha = withAlpha; }

private:
    std::unique_ptr<CSwfRGBA> colour;
};

// A repeating (0x40) or clipped (0x41) bitmap fill. The matrix maps bitmap pixels to shape
// twips; owned.
class CSwfBitmapFill : public CSwfFillStyle {
public:
    CSwfBitmapFill(bool repeat, uint16_t bitmapId, CSwfMatrix* matrix)
        : repeat(repeat), bitmapId(bitmapId), matrix(matrix) {}
    void Write(CSwfStream& s) const override;

private:
    bool repeat;
    uint16_t bitmapId;
    std::unique_ptr<CSwfMatrix> matrix;
};

// A linear (0x10) or radial (0x12) gradient. The matrix maps the gradient square (-16384 to
// 16384 twips) to shape twips; owned, like the colours of the records.
class CSwfGradientFill : public CSwfFillStyle {
public:
    CSwfGradientFill(bool linear, CSwfMatrix* matrix) : linear(linear), matrix(matrix) {}
    // Ratio 0 is the start of the gradient, 255 its end; records go in increasing ratio.
    void AddGradientRecord(uint8_t ratio, CSwfRGBA* colour);
    void Write(CSwfStream& s) const override;
    void SetAlpha(bool withAlpha) override;

private:
    struct Record {
        uint8_t ratio;
        std::unique_ptr<CSwfRGBA> colour;
    };
    bool linear;
    std::unique_ptr<CSwfMatrix> matrix;
    std::vector<Record> records;
};

// Owns the colour.
class CSwfLineStyle {
public:
    CSwfLineStyle(uint16_t widthTwips, CSwfRGBA* colour) : width(widthTwips), colour(colour) {}
    virtual ~CSwfLineStyle() = default;
    void Write(CSwfStream& s) const;
    void SetAlpha(bool withAlpha) { colour->hasAlpha = withAlpha; }

private:
    uint16_t width;
    std::unique_ptr<CSwfRGBA> colour;
};

// Count as u8 below 255, else 0xFF and a u16 count; then the styles. Built for the two style
// kinds below.
template <typename Style> class CSwfStyleArray {
public:
    virtual ~CSwfStyleArray() = default;
    // Takes ownership; returns the 1-based index of the style.
    uint32_t Add(Style* style);
    uint32_t Count() const { return static_cast<uint32_t>(styles.size()); }
    void SetAlpha(bool withAlpha);
    void Write(CSwfStream& s) const;

private:
    std::vector<std::unique_ptr<Style>> styles;
};

class CSwfFillStyleArray : public CSwfStyleArray<CSwfFillStyle> {};
class CSwfLineStyleArray : public CSwfStyleArray<CSwfLineStyle> {};

// ---- Shape records -------------------------------------------------------------------------

class CSwfShapeRecord {
public:
    virtual ~CSwfShapeRecord() = default;
    virtual void Write(CSwfStream& s) const = 0;
    // Widths of the style indices, as in force where the record stands in the shape.
    virtual void SetFillBits(uint32_t) {}
    virtual void SetLineBits(uint32_t) {}
    // A record bringing new style arrays changes the index widths of the records after it.
    virtual void UpdateStyleBits(uint32_t& /*fillBits*/, uint32_t& /*lineBits*/) const {}
    virtual void SetAlpha(bool) {}
};

// Moves the pen and/or selects styles. With new styles, the given arrays (owned) replace the
// shape's styles from this record on, and their NumFillBits/NumLineBits apply to the records
// that follow. The indices of this record are still written in the widths in force before
// it, as the format reads them before the new arrays.
class CSwfStyleChangeRecord : public CSwfShapeRecord {
public:
    CSwfStyleChangeRecord(bool newStyles, bool hasLineStyle, bool hasFillStyle1, bool hasFillStyle0,
                          bool hasMoveTo, int32_t moveXTwips, int32_t moveYTwips,
                          uint32_t fillStyle0, uint32_t fillStyle1, uint32_t lineStyle,
                          CSwfFillStyleArray* newFillStyles, CSwfLineStyleArray* newLineStyles);
    void Write(CSwfStream& s) const override;
    void SetFillBits(uint32_t bits) override { fillBits = bits; }
    void SetLineBits(uint32_t bits) override { lineBits = bits; }
    void UpdateStyleBits(uint32_t& fillBitsAfter, uint32_t& lineBitsAfter) const override;
    void SetAlpha(bool withAlpha) override;

private:
    bool newStyles, hasLineStyle, hasFillStyle1, hasFillStyle0, hasMoveTo;
    int32_t moveX, moveY;
    uint32_t moveBits;
    uint32_t fillStyle0, fillStyle1, lineStyle;
    std::unique_ptr<CSwfFillStyleArray> newFillStyles;
    std::unique_ptr<CSwfLineStyleArray> newLineStyles;
    uint32_t fillBits = 0, lineBits = 0;
};

// A line by (dx, dy) twips: general, horizontal (dy 0) or vertical (otherwise, (0, 0) too).
class CSwfStraightEdgeRecord : public CSwfShapeRecord {
public:
    CSwfStraightEdgeRecord(int32_t dxTwips, int32_t dyTwips);
    void Write(CSwfStream& s) const override;

private:
    int32_t dx, dy;
    uint32_t numBits;
};

// A quadratic Bezier curve: control point and anchor point, each relative to the point before.
class CSwfCurvedEdgeRecord : public CSwfShapeRecord {
public:
    CSwfCurvedEdgeRecord(int32_t controlDxTwips, int32_t controlDyTwips, int32_t anchorDxTwips,
                         int32_t anchorDyTwips);
    void Write(CSwfStream& s) const override;

private:
    int32_t controlDx, controlDy, anchorDx, anchorDy;
    uint32_t numBits;
};

class CSwfEndShapeRecord : public CSwfShapeRecord {
public:
    void Write(CSwfStream& s) const override;
};

// SHAPEWITHSTYLE: the two style arrays, their index widths, and the shape records.
class CSwfShapeWithStyle {
public:
    // Takes ownership of both arrays.
    CSwfShapeWithStyle(CSwfFillStyleArray* fillStyles, CSwfLineStyleArray* lineStyles);
    virtual ~CSwfShapeWithStyle() = default;
    // Takes ownership; gives the record the index widths in force at its place.
    void AddRecord(CSwfShapeRecord* record);
    void SetAlpha(bool withAlpha);
    void Write(CSwfStream& s) const;
    uint32_t NumFillBits() const { return numFillBits; }
    uint32_t NumLineBits() const { return numLineBits; }

private:
    std::unique_ptr<CSwfFillStyleArray> fillStyles;
    std::unique_ptr<CSwfLineStyleArray> lineStyles;
    uint32_t numFillBits, numLineBits;
    // Widths for the next record added (changed by records with new styles).
    uint32_t currentFillBits, currentLineBits;
    bool withAlpha = false;
    std::vector<std::unique_ptr<CSwfShapeRecord>> records;
};

// ---- Shape definition tags ------------------------------------------------------------------

// DefineShape: add styles, EndStyles, add records ending with a CSwfEndShapeRecord. Colours
// are written as RGB. Owns the bounds.
class CSwfDefineShape : public CSwfIdCharacter {
public:
    explicit CSwfDefineShape(CSwfRect* bounds) : CSwfDefineShape(bounds, kTagDefineShape, false) {}
    // Each returns the 1-based index of the new style, or 0 once the styles have ended
    // (the style is then deleted).
    uint32_t AddFillStyle(CSwfFillStyle* style);
    uint32_t AddSolidFill(CSwfRGBA* colour);
    uint32_t AddLineStyle(uint16_t widthTwips, CSwfRGBA* colour);
    void EndStyles();
    void AddRecord(CSwfShapeRecord* record);
    // A straight line by (dx, dy) twips, as one edge record or, when a delta is longer than an
    // edge can store, as several equal pieces.
    void AddLine(int32_t dxTwips, int32_t dyTwips);
    void Write(CSwfStream& s) override;

protected:
    CSwfDefineShape(CSwfRect* bounds, uint32_t tagCode, bool withAlpha);

private:
    uint32_t tagCode;
    bool withAlpha;
    std::unique_ptr<CSwfRect> bounds;
    std::unique_ptr<CSwfFillStyleArray> fillStyles;
    std::unique_ptr<CSwfLineStyleArray> lineStyles;
    std::unique_ptr<CSwfShapeWithStyle> shape;
    bool stylesEnded = false;
};

// DefineShape2: as DefineShape, colours RGB.
class CSwfDefineShape2 : public CSwfDefineShape {
public:
    explicit CSwfDefineShape2(CSwfRect* bounds)
        : CSwfDefineShape(bounds, kTagDefineShape2, false) {}
};

// DefineShape3: colours in styles are written as RGBA.
class CSwfDefineShape3 : public CSwfDefineShape {
public:
    explicit CSwfDefineShape3(CSwfRect* bounds) : CSwfDefineShape(bounds, kTagDefineShape3, true) {}
};
