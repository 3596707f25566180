// The engine layer is written against the layers below it (SWF writer, media layer) and names their
// types unqualified.
#pragma once

namespace kestrova::swf {}
namespace kestrova::media {}

namespace kestrova::engine {
using namespace swf;
using namespace media;
} // namespace kestrova::engine
