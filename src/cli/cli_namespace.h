// The cli layer is written against the layers below it (SWF writer, media layer, engine) and names
// their types unqualified.
#pragma once

namespace kestrova::swf {}
namespace kestrova::media {}
namespace kestrova::engine {}

namespace kestrova::cli {
using namespace swf;
using namespace media;
using namespace engine;
} // namespace kestrova::cli
