#include "engine/allocator_tuning.h"
#include "engine/engine_namespace.h"

#include <malloc.h>

namespace kestrova::engine {

void TuneAllocatorForPictures() {
    // Blocks up to 64 MB (a 4-megapixel picture at 4 bytes a pixel is 16 MB) come from the
    // heap; up to 256 MB of freed heap is kept rather than trimmed.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

} // namespace kestrova::engine
