// Process-wide allocator settings for converting lists of large pictures: each picture passes
// through buffers of several megabytes (decoded pixels, bitmap data, compressed output) that
// are served from the heap and kept for the next picture instead of being mapped, page-faulted
// and returned to the system every time. Called once at start-up, before any thread starts.
#pragma once
#include "engine/engine_namespace.h"

namespace kestrova::engine {

void TuneAllocatorForPictures();

} // namespace kestrova::engine
