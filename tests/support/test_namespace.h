// Tests name the types of every layer unqualified.
#pragma once

namespace kestrova::swf {}
namespace kestrova::media {}
namespace kestrova::engine {}
namespace kestrova::app {}
namespace kestrova::cli {}

namespace kestrova::test {
using namespace swf;
using namespace media;
using namespace engine;
using namespace app;
using namespace cli;
} // namespace kestrova::test
