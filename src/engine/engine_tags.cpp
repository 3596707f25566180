#include "engine/engine_tags.h"

#include "swf/swf_actions.h"

namespace {

// PlaceObject2 of a character at a depth with the identity matrix, as every picture and
// sprite placement of the engine uses.
CSwfPlaceObject2* PlaceAt(uint16_t depth, uint16_t characterId,
                          CSwfCxformWithAlpha* cxform = nullptr) {
    auto* identity = new CSwfMatrix(false, 0, 0, false, 0, 0, 0, 0);
    identity->SetEmpty();
    return new CSwfPlaceObject2(false, true, true, false, depth, characterId, identity, cxform, 0,
                                nullptr, 0);
}

} // namespace

CSwfDefineSprite* MakeSpriteOf(uint16_t shapeId, CSwfCxformWithAlpha* cxform) {
    auto* sprite = new CSwfDefineSprite;
    sprite->AddTag(PlaceAt(1, shapeId, cxform));
    sprite->AddTag(new CSwfShowFrame);
    return sprite;
}

CSwfPlaceObject2* MakePlacement(uint16_t depth, uint16_t characterId) {
    return PlaceAt(depth, characterId);
}

CSwfDoAction* MakeGotoAndPlay(uint16_t frame) {
    auto* action = new CSwfDoAction;
    action->AddAction(new CSwfActionGotoFrame(frame));
    action->AddAction(new CSwfActionPlay);
    return action;
}
