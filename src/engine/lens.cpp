// The lens: a translucent coloured square over the whole movie at depth 10.
#include "engine/engine_namespace.h"
#include "engine/engine_tags.h"
#include "engine/movie_builder.h"

namespace kestrova::engine {

void AddLens(MovieBuilder& builder, const ConvertOptions& opts) {
    const int32_t r = opts.lensColor & 0xFF;
    const int32_t g = (opts.lensColor >> 8) & 0xFF;
    const int32_t b = (opts.lensColor >> 16) & 0xFF;
    const int32_t a = opts.lensAlpha;
    constexpr int32_t kSide = 20000; // 1000 pixels from the origin, whatever the movie size

    // The lens comes first in its movie, so its ids are always free.
    const uint16_t shapeId = builder.NewId();
    auto shape = std::make_unique<CSwfDefineShape>(shapeId, CSwfRect(0, 0, kSide, kSide));
    uint32_t fill =
        shape->AddFillStyle(CSwfSolidFill{{static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                           static_cast<uint8_t>(b), static_cast<uint8_t>(a)}});
    shape->AddRecord(CSwfStyleChangeRecord{.moveTo = CSwfStyleChangeRecord::Point{kSide, 0},
                                           .fillStyle1 = fill});
    shape->AddRecord(CSwfStraightEdgeRecord{0, kSide});
    shape->AddRecord(CSwfStraightEdgeRecord{-kSide, 0});
    shape->AddRecord(CSwfStraightEdgeRecord{0, -kSide});
    shape->AddRecord(CSwfStraightEdgeRecord{kSide, 0});
    shape->AddRecord(CSwfEndShapeRecord{});
    builder.Add(std::move(shape));

    // Multiply terms only, in 8.8: the fill colour times r/256, g/256, b/256 at opacity a/256.
    const CSwfCxformWithAlpha tint{.mult = CSwfCxformWithAlpha::Terms{r, g, b, a}};
    const uint16_t spriteId = builder.NewId();
    builder.Add(MakeSpriteOf(spriteId, shapeId, tint));
    builder.Add(MakePlacement(10, spriteId));
}

} // namespace kestrova::engine
