// The lens: a translucent coloured square over the whole movie at depth 10.
#include "engine/engine_tags.h"
#include "engine/movie_builder.h"

void AddLens(MovieBuilder& builder, const ConvertOptions& opts) {
    const int32_t r = opts.lensColor & 0xFF;
    const int32_t g = (opts.lensColor >> 8) & 0xFF;
    const int32_t b = (opts.lensColor >> 16) & 0xFF;
    const int32_t a = opts.lensAlpha;
    constexpr int32_t kSide = 20000; // 1000 pixels from the origin, whatever the movie size

    auto* shape = new CSwfDefineShape(new CSwfRect(0, 0, kSide, kSide));
    int fill = shape->AddSolidFill(new CSwfRGBA(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                static_cast<uint8_t>(b), static_cast<uint8_t>(a)));
    shape->EndStyles();
    shape->AddRecord(new CSwfStyleChangeRecord(false, false, true, false, true, kSide, 0, 0, fill,
                                               0, nullptr, nullptr));
    shape->AddRecord(new CSwfStraightEdgeRecord(0, kSide));
    shape->AddRecord(new CSwfStraightEdgeRecord(-kSide, 0));
    shape->AddRecord(new CSwfStraightEdgeRecord(0, -kSide));
    shape->AddRecord(new CSwfStraightEdgeRecord(kSide, 0));
    shape->AddRecord(new CSwfEndShapeRecord);
    builder.Add(shape);

    // Multiply terms only, in 8.8: the fill colour times r/256, g/256, b/256 at opacity a/256.
    auto* tint = new CSwfCxformWithAlpha(true, false, 0, 0, 0, 0, r, g, b, a);
    CSwfDefineSprite* sprite = MakeSpriteOf(shape->GetId(), tint);
    builder.Add(sprite);
    builder.Add(MakePlacement(10, sprite->GetId()));
}
