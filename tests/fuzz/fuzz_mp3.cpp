// The MP3 frame scanner: whatever it collects must be whole frames that parse again.
#include <cstdlib>

#include "support/test_namespace.h"
#include "swf/mp3_frames.h"

using namespace kestrova::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMp3Frames frames;
    if (!CollectMp3Frames(data, size, frames)) {
        return 0;
    }
    size_t offset = 0;
    uint32_t count = 0;
    while (offset + 4 <= frames.data.size()) {
        CMp3FrameHeader header;
        if (!ParseMp3FrameHeader(frames.data.data() + offset, header) || header.frameLength == 0) {
            std::abort();
        }
        offset += header.frameLength;
        ++count;
    }
    if (offset != frames.data.size() || count != frames.frameCount) {
        std::abort();
    }
    return 0;
}
