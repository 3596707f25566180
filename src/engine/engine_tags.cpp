#include "engine/engine_tags.h"
#include "engine/engine_namespace.h"

#include "swf/swf_actions.h"

namespace kestrova::engine {

namespace {

// PlaceObject2 of a character at a depth with the identity matrix, as every picture and
// sprite placement of the engine uses.
std::unique_ptr<CSwfPlaceObject2> PlaceAt(uint16_t depth, uint16_t characterId,
                                          std::optional<CSwfCxformWithAlpha> cxform = {}) {
    return std::make_unique<CSwfPlaceObject2>(CSwfPlacement{.depth = depth,
                                                            .characterId = characterId,
                                                            .matrix = CSwfMatrix{.compact = true},
                                                            .cxform = cxform,
                                                            .ratio = 0});
}

} // namespace

std::unique_ptr<CSwfDefineSprite> MakeSpriteOf(uint16_t spriteId, uint16_t shapeId,
                                               std::optional<CSwfCxformWithAlpha> cxform) {
    auto sprite = std::make_unique<CSwfDefineSprite>(spriteId);
    sprite->AddTag(PlaceAt(1, shapeId, cxform));
    sprite->AddTag(std::make_unique<CSwfShowFrame>());
    return sprite;
}

std::unique_ptr<CSwfPlaceObject2> MakePlacement(uint16_t depth, uint16_t characterId) {
    return PlaceAt(depth, characterId);
}

std::unique_ptr<CSwfDoAction> MakeGotoAndPlay(uint16_t frame) {
    auto action = std::make_unique<CSwfDoAction>();
    action->AddAction(std::make_unique<CSwfActionGotoFrame>(frame))
        .AddAction(std::make_unique<CSwfActionPlay>());
    return action;
}

} // namespace kestrova::engine
