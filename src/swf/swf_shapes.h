// Display-list and frame control tags, DoAction, and the shape definition tags with their
// fill and line styles and shape records.
#pragma once

#include "swf/swf_actions.h"
#include "swf/swf_stream.h"
#include "swf/swf_tag.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrova::swf {

// ---- Control tags ------------------------------------------------------------------------

// Writes the colour as RGB.
class CSwfSetBackgroundColor : public CSwfTag {
public:
    explicit CSwfSetBackgroundColor(CSwfRGBA colour) : colour(colour) {}
    void Write(CSwfStream& s) const override;

private:
    CSwfRGBA colour = {};
};

// What a PlaceObject2 carries; each part that is given sets its has-flag in the tag.
struct CSwfPlacement {
    uint16_t depth = 0;
    std::optional<uint16_t> characterId = {};
    bool move = false;
    std::optional<CSwfMatrix> matrix = {};
    std::optional<CSwfCxformWithAlpha> cxform = {};
    std::optional<uint16_t> ratio = {};
    std::optional<std::string> name = {};
    std::optional<uint16_t> clipDepth = {};
};

class CSwfPlaceObject2 : public CSwfTag {
public:
    explicit CSwfPlaceObject2(CSwfPlacement placement) : placement(std::move(placement)) {}
    void Write(CSwfStream& s) const override;

private:
    CSwfPlacement placement;
};

// Without a matrix the format's required one is written as the identity.
class CSwfPlaceObject : public CSwfTag {
public:
    CSwfPlaceObject(uint16_t characterId, uint16_t depth, std::optional<CSwfMatrix> matrix = {},
                    std::optional<CSwfCxform> cxform = {})
        : characterId(characterId), depth(depth), matrix(matrix), cxform(cxform) {}
    void Write(CSwfStream& s) const override;

private:
    uint16_t characterId, depth;
    std::optional<CSwfMatrix> matrix;
    std::optional<CSwfCxform> cxform;
};

class CSwfRemoveObject : public CSwfTag {
public:
    CSwfRemoveObject(uint16_t characterId, uint16_t depth)
        : characterId(characterId), depth(depth) {}
    void Write(CSwfStream& s) const override;

private:
    uint16_t characterId, depth;
};

class CSwfRemoveObject2 : public CSwfTag {
public:
    explicit CSwfRemoveObject2(uint16_t depth) : depth(depth) {}
    void Write(CSwfStream& s) const override;

private:
    uint16_t depth;
};

class CSwfProtect : public CSwfTag {
public:
    void Write(CSwfStream& s) const override;
};

class CSwfFrameLabel : public CSwfTag {
public:
    explicit CSwfFrameLabel(std::string name) : name(std::move(name)) {}
    void Write(CSwfStream& s) const override;

private:
    std::string name;
};

// A frame script: the actions in the order added, then the end-of-actions byte 0.
class CSwfDoAction : public CSwfTag {
public:
    CSwfDoAction& AddAction(std::unique_ptr<CSwfAction> action) {
        actions.push_back(std::move(action));
        return *this;
    }
    void Write(CSwfStream& s) const override;

private:
    std::vector<std::unique_ptr<CSwfAction>> actions;
};

// ---- Fill and line styles ----------------------------------------------------------------
// Colours are written as RGBA by DefineShape3 and as RGB by the other shape tags.

struct CSwfSolidFill {
    CSwfRGBA colour = {};
};

// A repeating (0x40) or clipped (0x41) bitmap fill. The matrix maps bitmap pixels to shape
// twips.
struct CSwfBitmapFill {
    uint16_t bitmapId = 0;
    CSwfMatrix matrix = {};
    bool repeat = false;
};

// A linear (0x10) or radial (0x12) gradient. The matrix maps the gradient square (-16384 to
// 16384 twips) to shape twips. Ratio 0 is the start of the gradient, 255 its end; records go
// in increasing ratio.
struct CSwfGradientFill {
    struct Record {
        uint8_t ratio = 0;
        CSwfRGBA colour = {};
    };
    bool linear = true;
    CSwfMatrix matrix = {};
    std::vector<Record> records = {};
};

using CSwfFillStyle = std::variant<CSwfSolidFill, CSwfBitmapFill, CSwfGradientFill>;

struct CSwfLineStyle {
    uint16_t widthTwips = 0;
    CSwfRGBA colour = {};
};

// A fill and a line style array; each is written as its count (u8 below 255, else 0xFF and a
// u16) and the styles.
struct CSwfStyles {
    std::vector<CSwfFillStyle> fills = {};
    std::vector<CSwfLineStyle> lines = {};

    void Write(CSwfStream& s, bool withAlpha) const;
};

// ---- Shape records -------------------------------------------------------------------------

// Moves the pen and/or selects styles (1-based indices, 0 for none). New styles replace the
// shape's styles from this record on, and their index widths apply to the records after it;
// this record's own indices are still written in the widths in force before it.
struct CSwfStyleChangeRecord {
    struct Point {
        int32_t x = 0, y = 0;
    };
    std::optional<Point> moveTo = {}; // twips
    std::optional<uint32_t> fillStyle0 = {};
    std::optional<uint32_t> fillStyle1 = {};
    std::optional<uint32_t> lineStyle = {};
    std::optional<CSwfStyles> newStyles = {};
};

// A line by (dx, dy) twips: general, horizontal (dy 0) or vertical (otherwise, (0, 0) too).
struct CSwfStraightEdgeRecord {
    int32_t dx = 0, dy = 0;
};

// A quadratic Bezier curve: control point and anchor point, each relative to the point before.
struct CSwfCurvedEdgeRecord {
    int32_t controlDx = 0, controlDy = 0, anchorDx = 0, anchorDy = 0;
};

struct CSwfEndShapeRecord {};

using CSwfShapeRecord = std::variant<CSwfStyleChangeRecord, CSwfStraightEdgeRecord,
                                     CSwfCurvedEdgeRecord, CSwfEndShapeRecord>;

// ---- Shape definition tags ------------------------------------------------------------------

// DefineShape: the bounds, the styles, then the records, which end with a CSwfEndShapeRecord.
// Colours are written as RGB.
class CSwfDefineShape : public CSwfCharacter {
public:
    CSwfDefineShape(uint16_t id, CSwfRect bounds) : CSwfDefineShape(id, bounds, kTagDefineShape) {}
    // Each returns the 1-based index of the new style, or 0 (the style is dropped) once a
    // record has been added.
    uint32_t AddFillStyle(CSwfFillStyle style);
    uint32_t AddLineStyle(CSwfLineStyle style);
    void AddRecord(CSwfShapeRecord record);
    // A straight line by (dx, dy) twips, as one edge record or, when a delta is longer than an
    // edge can store, as several equal pieces.
    void AddLine(int32_t dxTwips, int32_t dyTwips);
    void Write(CSwfStream& s) const override;

protected:
    CSwfDefineShape(uint16_t id, CSwfRect bounds, uint32_t tagCode)
        : CSwfCharacter(id), tagCode(tagCode), bounds(bounds) {}

private:
    uint32_t tagCode;
    CSwfRect bounds;
    CSwfStyles styles;
    std::vector<CSwfShapeRecord> records;
};

// DefineShape2: as DefineShape, colours RGB.
class CSwfDefineShape2 : public CSwfDefineShape {
public:
    CSwfDefineShape2(uint16_t id, CSwfRect bounds)
        : CSwfDefineShape(id, bounds, kTagDefineShape2) {}
};

// DefineShape3: colours in styles are written as RGBA.
class CSwfDefineShape3 : public CSwfDefineShape {
public:
    CSwfDefineShape3(uint16_t id, CSwfRect bounds)
        : CSwfDefineShape(id, bounds, kTagDefineShape3) {}
};

} // namespace kestrova::swf
