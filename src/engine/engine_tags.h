// Small tag groups shared by the picture, preloader and lens steps.
#pragma once

#include "engine/engine_namespace.h"
#include "swf/swf_shapes.h"

#include <memory>
#include <optional>

namespace kestrova::engine {

// A sprite of one frame holding the shape at depth 1 (identity matrix, optional colour
// transform, ratio 0).
std::unique_ptr<CSwfDefineSprite> MakeSpriteOf(uint16_t spriteId, uint16_t shapeId,
                                               std::optional<CSwfCxformWithAlpha> cxform = {});
// PlaceObject2 of a character at a depth with the identity matrix and ratio 0.
std::unique_ptr<CSwfPlaceObject2> MakePlacement(uint16_t depth, uint16_t characterId);
// A DoAction holding GotoFrame(frame) then Play.
std::unique_ptr<CSwfDoAction> MakeGotoAndPlay(uint16_t frame);

} // namespace kestrova::engine
